#!/usr/bin/env bash
# Installs, from Debian, whatever the build, the tests and the program need. Idempotent: only missing
# packages are installed, so a second run costs a second.
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-svg-dev qt6-qpa-plugins libqt6svg6 qt6-translations-l10n
  libsqlite3-dev libbenchmark-dev libxtst-dev libx11-dev libarchive-dev
  fonts-wine fonts-liberation2 fonts-dejavu-core
  antiword catdoc
  libhyphen-dev hyphen-bg
  libespeak-ng-dev espeak-ng-data qt6-multimedia-dev libqt6multimedia6 libsndfile1-dev
  xvfb xauth
  openbox xdotool wmctrl x11-utils x11-apps python3
  ca-certificates
  clang libclang-rt-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Инсталиране на липсващи пакети: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
