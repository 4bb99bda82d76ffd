#!/usr/bin/env bash
# wine-run.sh DEFAULT_PREFIX [--gui] --init | --stop | PROGRAM [ARGUMENTS...]
# Runs a Windows console program under Wine, headless and quiet, in $WINEPREFIX or else in
# DEFAULT_PREFIX. --init makes the prefix once, so that programs run in parallel do not race
# to make it, and keeps its server running until --stop. The program's exit code is passed on.
# --gui: a window program on $DISPLAY, in a prefix of its own (the prefix's name with "-gui"):
# a prefix made without a display has no desktop for windows.
set -uo pipefail
export WINEPREFIX=${WINEPREFIX:-$1}
shift
export WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko installer dialogs.
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ "${1:-}" = --gui ]; then
  shift
  export WINEPREFIX=$WINEPREFIX-gui
  if [ -z "${DISPLAY:-}" ]; then
    echo "wine-run.sh: --gui needs a display (run under xvfb-run)" >&2
    exit 1
  fi
else
  # Console programs need no display.
  unset DISPLAY WAYLAND_DISPLAY
fi
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
if [ "${1:-}" = --init ]; then
  mkdir -p "$WINEPREFIX"
  # One server for the whole run: one that quits after each program races the next to start.
  # Detached from ctest's pipes, which would otherwise wait for it.
  "$wineserver" -p </dev/null >/dev/null 2>&1
  exec "$wine" wineboot --init </dev/null >/dev/null 2>&1
fi
if [ "${1:-}" = --stop ]; then
  exec "$wineserver" -k
fi
exec "$wine" "$@"
