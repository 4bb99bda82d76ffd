#!/usr/bin/env bash
# Installs the Debian 12 packages the program, its tests, its benchmarks and its Debian package
# need (the accessibility test's bus and bridge, the package tools and lintian); only what is
# missing, so a second run is quick.
set -euo pipefail
packages=(build-essential cmake pkg-config libgtk2.0-dev libhidapi-dev libgtest-dev
          libbenchmark-dev xvfb xauth xdotool imagemagick x11-utils fonts-liberation
          dbus at-spi2-core libatk-adaptor libgail-common python3-pyatspi
          dpkg-dev file fakeroot lintian desktop-file-utils)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi
