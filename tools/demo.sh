#!/usr/bin/env bash
# Builds Corvash and runs the demo.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build
exec tools/run-demo.sh build
