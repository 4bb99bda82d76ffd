#!/usr/bin/env bash
# Installs the Debian 12 packages the program, its tests, its benchmarks and its Debian package
# need (the accessibility test's bus and bridge, the package tools and lintian); only what is
# missing, so a second run is quick.
# --windows: the Windows cross build and its tests instead (mingw-w64, Wine, GoogleTest's
# source), and hidapi's source from Debian's source package, unpacked into .deps/hidapi.
set -euo pipefail
cd "$(dirname "$0")/.."
sudo=""; [ "$(id -u)" -ne 0 ] && sudo="sudo"
if [ "${1:-}" = --windows ]; then
  # groff-base and bsdextrautils: the manual page as plain text for the zip.
  # The rest: GTK+ 2 built from Debian's sources (tools/build-gtk-windows.sh), the installer
  # (nsis), and the window tests under Wine on Xvfb.
  packages=(cmake g++-mingw-w64-x86-64-posix wine64 libgtest-dev dpkg-dev groff-base
            bsdextrautils g++ meson ninja-build pkg-config autoconf automake libtool
            gtk-doc-tools libglib2.0-dev-bin libatk1.0-dev libz-mingw-w64-dev nsis
            xvfb xauth xdotool imagemagick x11-utils fonts-liberation)
else
  packages=(build-essential cmake pkg-config libgtk2.0-dev libhidapi-dev libgtest-dev
            libbenchmark-dev xvfb xauth xdotool imagemagick x11-utils fonts-liberation
            dbus at-spi2-core libatk-adaptor libgail-common python3-pyatspi
            dpkg-dev file fakeroot lintian desktop-file-utils)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
fi

if [ "${1:-}" = --windows ]; then
  # apt-get source needs deb-src entries: the same archive, suites, components and key as the
  # machine's own Debian entries, whatever mirror those name.
  if ! grep -qsE '^deb-src[[:space:]]|^Types:.*deb-src' /etc/apt/sources.list \
      /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources ||
      [ -f /etc/apt/sources.list.d/qn718-deb-src.sources ]; then
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    entries=$(tools/deb-src-entries.sh "$codename")
    if [ -z "$entries" ]; then
      echo "install-deps.sh: no Debian $codename entry in apt's sources to derive deb-src from" >&2
      exit 1
    fi
    if [ "$entries" != "$(cat /etc/apt/sources.list.d/qn718-deb-src.sources 2>/dev/null)" ]; then
      printf '%s\n' "$entries" | $sudo tee /etc/apt/sources.list.d/qn718-deb-src.sources >/dev/null
      $sudo apt-get update -qq
    fi
  fi
fi

if [ "${1:-}" = --windows ] && [ ! -f .deps/hidapi/windows/hid.c ]; then
  download=$(mktemp -d)
  (cd "$download" && apt-get source --download-only -qq hidapi 2>/dev/null)
  mkdir -p .deps
  rm -rf .deps/hidapi
  dpkg-source --no-check -x "$download"/hidapi_*.dsc .deps/hidapi >/dev/null
  rm -rf "$download"
fi
