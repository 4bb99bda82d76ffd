#!/usr/bin/env bash
# Runs the accessibility walk on a private session bus, so that it neither needs nor disturbs
# a desktop's own. Exit 77 (skipped) only when no session bus can be started at all.
set -u
if ! command -v dbus-run-session >/dev/null; then
  echo "skipped: dbus-run-session is missing" >&2
  exit 77
fi
# Debian's Python, where the AT-SPI bindings are installed (not a user's own interpreter).
python=/usr/bin/python3
[ -x "$python" ] || python=python3
exec timeout 100 dbus-run-session -- "$python" "$(dirname "$0")/page_test.py" "$@"
