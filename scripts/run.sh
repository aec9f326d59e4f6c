#!/usr/bin/env bash
# Builds Velmora and starts it on the reader's library folder (created on first start).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
library="${VELMORA_LIBRARY:-${XDG_DATA_HOME:-$HOME/.local/share}/velmora}"
mkdir -p "$library"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Няма графичен екран (DISPLAY); стартирам във виртуален екран Xvfb." >&2
  # The virtual screen lives as long as its command: after the first start unpacks the library, that is
  # the program started again by the unpacker.
  exec xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
    build/velmora --library "$0" "$@"
    while pgrep -f -- "velmora --library $0" >/dev/null; do sleep 1; done' "$library" "$@"
fi
exec build/velmora --library "$library" "$@"
