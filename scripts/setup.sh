#!/usr/bin/env bash
# Installs what this machine lacks (Debian packages), then configures and
# builds into build/. Sourced by run.sh and test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."

# fonts-freefont-ttf draws the control pictures (U+2400...) of the reception box.
packages=(build-essential cmake qt6-base-dev qt6-serialport-dev fonts-freefont-ttf "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installation de : ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" ${CMAKE_ARGS:-}
cmake --build build -j"$(nproc)"
