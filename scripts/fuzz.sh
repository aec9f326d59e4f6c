#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) into build-fuzz/ and runs each in turn.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]   mutate for SECONDS per target (default 60), all targets by default
#   scripts/fuzz.sh --ci                    every input in fuzz/corpus once, then 8 s of mutation per target
#
# Targets: text fb2 epub docx odt rtf html sfb zip workfile. New inputs found go to build-fuzz/corpus/<target>;
# an input that fails is written to fuzz/corpus/<target>/ and stays there as a regression test.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh

ci=0
seconds=60
if [ "${1:-}" = "--ci" ]; then
  ci=1
  seconds=8
  shift
elif [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(text fb2 epub docx odt rtf html sfb zip workfile)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_FUZZ=ON \
  -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON ${VELMORA_CMAKE_ARGS:-} >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}"

export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
# The bounds every import keeps (10 s, 256 MiB), with room for the sanitizers' own memory.
limits=(-timeout=10 -rss_limit_mb=1024 -malloc_limit_mb=256)

status=0
for t in "${targets[@]}"; do
  seeds=fuzz/corpus/$t
  work=build-fuzz/corpus/$t
  mkdir -p "$work"
  dict=()
  case $t in
    fb2|epub|docx|odt|html) dict=(-dict=fuzz/dict/xml.dict) ;;
    rtf) dict=(-dict=fuzz/dict/rtf.dict) ;;
    zip) dict=(-dict=fuzz/dict/zip.dict) ;;
  esac
  echo "== fuzz_$t: ${seconds}s"
  if [ $ci -eq 1 ]; then
    # Every input that ever failed, and the seeds, first.
    build-fuzz/fuzz/fuzz_$t "${limits[@]}" -runs=0 "$seeds" || status=1
  fi
  build-fuzz/fuzz/fuzz_$t "${limits[@]}" "${dict[@]}" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$seeds/failed-" "$work" "$seeds" || status=1
done
exit $status
