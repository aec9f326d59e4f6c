#!/usr/bin/env bash
# Builds Velmora and runs every test through CTest (offscreen: no display needed).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cd build
ctest --output-on-failure -j2 "$@"
