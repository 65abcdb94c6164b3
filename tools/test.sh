#!/usr/bin/env bash
# Builds Corvash and runs every test. With an argument "address" or "thread"
# it builds and tests under that sanitizer in its own build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
sanitize="${1:-}"
build="build"
[ -z "$sanitize" ] || build="build-$sanitize"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVASH_SANITIZE="$sanitize" \
  -DCORVASH_WITH_BENCHMARKS=$([ -z "$sanitize" ] && echo ON || echo OFF)
cmake --build "$build"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
ctest --test-dir "$build" --output-on-failure -j2 --timeout 300
