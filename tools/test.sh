#!/usr/bin/env bash
# Builds Corvash and runs every test. With an argument "address" or "thread"
# it builds and tests under that sanitizer in its own build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
sanitize="${1:-}"
build="build"
[ -z "$sanitize" ] || build="build-$sanitize"
# The plain build is optimised as the demo's is; sanitizer builds stay
# unoptimised, which keeps their reports exact and their compile short.
if [ -z "$sanitize" ]; then type=RelWithDebInfo; benchmarks=ON; else type=Debug; benchmarks=OFF; fi
# The folder list is the project's own here: a build folder made before a
# folder was added or renamed must not keep the old list in its cache.
cmake -S . -B "$build" -G Ninja -U CORVASH_DIRS -DCMAKE_BUILD_TYPE=$type -DCORVASH_SANITIZE="$sanitize" \
  -DCORVASH_WITH_BENCHMARKS=$benchmarks
cmake --build "$build"
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
ctest --test-dir "$build" --output-on-failure -j2 --timeout 300
