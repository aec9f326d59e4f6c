#!/usr/bin/env bash
# Builds everything with AddressSanitizer and UndefinedBehaviorSanitizer into build-asan/ and runs every
# test there. Leaks are not checked: those reported come from the system's font and Qt libraries.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
# The build itself runs the program (to pack the sample library), so the options apply from here on.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:strict_string_checks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG="-g -O1" -DVELMORA_SANITIZE=ON \
    -DVELMORA_WERROR=ON ${VELMORA_CMAKE_ARGS:-} >/dev/null
cmake --build build-asan -j"$(nproc)"
cd build-asan
ctest --output-on-failure -j2 "$@"
