#!/usr/bin/env bash
# The Windows cross build: installs what it needs, builds GTK+ 2 for Windows from Debian's
# sources once per machine (tools/build-gtk-windows.sh), then the core, the simulator, the tests,
# the command-line programs and the window programs with mingw-w64 into build-windows/bin, the
# setup program qn718-programmer-<version>-setup.exe and the command-line zip.
# Then `ctest` in build-windows runs the tests under Wine.
# --no-gtk: the command-line programs and their tests only, without GTK.
set -euo pipefail
cd "$(dirname "$0")/.."
gtk=1
if [ "${1:-}" = --no-gtk ]; then gtk=0; shift; fi
tools/install-deps.sh --windows
dir=${1:-build-windows}
gtk_prefix=""
[ "$gtk" = 1 ] && gtk_prefix=$(tools/build-gtk-windows.sh | tail -n 1)
cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQN718_GTK_WINDOWS_PREFIX="$gtk_prefix" >/dev/null
cmake --build "$dir" -j2
(cd "$dir" && cpack -G ZIP >/dev/null && ls "$PWD"/*.zip)
if [ "$gtk" = 1 ]; then
  cmake --build "$dir" --target qn718_setup
  ls "$PWD/$dir"/qn718-programmer-*-setup.exe
fi
