#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on the built-in simulated QN718.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target qn718-programmer-demo qn718-programmer
# The servers are those of the build (none unless configured) or QN718_UPDATE_SERVER and
# QN718_REMOTE_SERVER when set.
exec build/qn718-programmer-demo "$@"
