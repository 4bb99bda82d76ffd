#!/usr/bin/env bash
# The Windows cross build: installs what it needs, builds the core, the simulator, the unit
# tests and the command-line programs with mingw-w64 into build-windows/bin, and packs the zip.
# Then `ctest` in build-windows runs the tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh --windows
dir=${1:-build-windows}
cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j2
(cd "$dir" && cpack -G ZIP >/dev/null && ls "$PWD"/*.zip)
