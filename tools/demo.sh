#!/usr/bin/env bash
# Builds the programs and runs the demo: corvash updates an emulated handheld
# under the autopilot (tools/run-demo.sh tells the story as it runs).
set -euo pipefail
cd "$(dirname "$0")/.."
echo "demo: installs the Debian packages it needs (if missing), builds corvash, k5210-emu, nbf and the"
echo "demo: package folder in build/ (not the tests), then updates an emulated handheld from ROM 2.03 to 2.04."
echo "demo: about 4 minutes on 2 cores for a first build, seconds after that; the update itself takes about 10 s."
tools/install-deps.sh
cmake -S . -B build -G Ninja -U CORVASH_DIRS -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target package_folder k5210-emu nbf
exec tools/run-demo.sh build
