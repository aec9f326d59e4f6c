#!/usr/bin/env bash
# Installs what is missing, then configures and builds everything into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/bootstrap.sh
# VELMORA_CMAKE_ARGS: further CMake settings, e.g. -DVELMORA_WERROR=ON in CI.
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo ${VELMORA_CMAKE_ARGS:-} >/dev/null
cmake --build build -j"$(nproc)"
