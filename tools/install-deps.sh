#!/usr/bin/env bash
# Installs the Debian packages that building and testing Corvash needs, and
# the packages named as arguments (tools/fuzz.sh adds clang's), when missing.
set -euo pipefail
packages=("$@"
          cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev googletest libbenchmark-dev
          libcli11-dev qt6-base-dev libgl-dev
          fonts-liberation2   # a face with Arial's metrics, the pages' dialog font
          dpkg-dev file       # cpack's Debian package with dependencies read from the binaries
          xvfb xauth xdotool) # a real X server for the tests of real windows, and input through it
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi
