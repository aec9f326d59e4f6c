#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer, ASan, UBSan) into build-fuzz/ and runs each in turn.
#
#   scripts/fuzz.sh [SECONDS] [TARGET...]   mutate for SECONDS per target (default 60), all targets by default
#   scripts/fuzz.sh --ci [SECONDS]          every input in fuzz/corpus once, then SECONDS (default 10) of
#                                           mutation per target, two targets at a time
#
# Targets: text fb2 epub docx odt rtf html sfb zip workfile catalogue. New inputs found go to build-fuzz/corpus/<target>;
# an input that fails is written to fuzz/corpus/<target>/ and stays there as a regression test. Each run's
# figures are in build-fuzz/logs/<target>.log.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh

all=(text fb2 epub docx odt rtf html sfb zip workfile catalogue)
ci=0
seconds=60
if [ "${1:-}" = "--ci" ]; then
  ci=1
  seconds=10
  shift
fi
if [[ "${1:-}" =~ ^[0-9]+$ ]]; then
  seconds=$1
  shift
fi
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=("${all[@]}")

# Optimized as far as the sanitizers and libFuzzer's coverage still see every line; line tables only, to
# keep the build short. Runs started beside each other share the build folder, one build at a time.
mkdir -p build-fuzz/logs
(
  flock 9
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" \
    -DVELMORA_FUZZ=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON ${VELMORA_CMAKE_ARGS:-} >/dev/null
  cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]/#/fuzz_}"
) 9>build-fuzz/.lock

# The sanitizers' quarantine of freed memory is kept small, so that the memory limit measures the reader.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:quarantine_size_mb=64"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8
# The bounds every import keeps: 10 s, and 256 MiB, doubled for the sanitizers' shadow memory and redzones;
# no single allocation past 256 MiB.
limits=(-timeout=10 -rss_limit_mb=512 -malloc_limit_mb=256)

run() {
  local t=$1 seeds=fuzz/corpus/$1 work=build-fuzz/corpus/$1 log=build-fuzz/logs/$1.log
  local dict=()
  # A CI run starts from the seeds alone and keeps nothing it finds but failures.
  [ $ci -eq 1 ] && work=$(mktemp -d) && log=build-fuzz/logs/ci-$1.log
  mkdir -p "$work"
  case $t in
    fb2|epub|docx|odt|html) dict=(-dict=fuzz/dict/xml.dict) ;;
    rtf) dict=(-dict=fuzz/dict/rtf.dict) ;;
    zip) dict=(-dict=fuzz/dict/zip.dict) ;;
  esac
  : >"$log"
  if [ $ci -eq 1 ]; then
    # Every input that ever failed, and the seeds, first.
    build-fuzz/fuzz/fuzz_$t "${limits[@]}" -runs=0 "$seeds" >>"$log" 2>&1 || { tail -40 "$log"; return 1; }
  fi
  build-fuzz/fuzz/fuzz_$t "${limits[@]}" "${dict[@]}" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$seeds/failed-" "$work" "$seeds" >>"$log" 2>&1 || { tail -40 "$log"; return 1; }
  echo "fuzz_$t: $(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -1)"
  [ $ci -eq 0 ] || rm -rf "$work"
}

status=0
if [ $ci -eq 1 ]; then
  # Two at a time: one per core.
  pids=()
  for t in "${targets[@]}"; do
    run "$t" &
    pids+=($!)
    if [ ${#pids[@]} -eq 2 ]; then
      wait "${pids[0]}" || status=1
      pids=("${pids[1]}")
    fi
  done
  for p in "${pids[@]}"; do wait "$p" || status=1; done
else
  for t in "${targets[@]}"; do
    echo "== fuzz_$t: ${seconds}s"
    run "$t" || status=1
  done
fi
exit $status
