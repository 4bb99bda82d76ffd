#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on the built-in simulated QN718.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j2 --target qn718-programmer-demo qn718-programmer
# The demo has no servers of its own: the update check and remote access go to a closed
# loopback port unless one is named.
export QN718_UPDATE_SERVER=${QN718_UPDATE_SERVER:-127.0.0.1:1}
export QN718_REMOTE_SERVER=${QN718_REMOTE_SERVER:-127.0.0.1:1}
exec build/qn718-programmer-demo "$@"
