#!/usr/bin/env bash
# Installs the Debian 12 packages the program, its tests and its benchmarks need; only what
# is missing, so a second run is quick.
set -euo pipefail
packages=(build-essential cmake pkg-config libgtk2.0-dev libhidapi-dev libgtest-dev
          libbenchmark-dev xvfb xauth xdotool imagemagick x11-utils fonts-liberation)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
