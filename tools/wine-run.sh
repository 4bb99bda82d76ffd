#!/usr/bin/env bash
# wine-run.sh DEFAULT_PREFIX --init | PROGRAM [ARGUMENTS...]
# Runs a Windows console program under Wine, headless and quiet, in $WINEPREFIX or else in
# DEFAULT_PREFIX. --init makes the prefix once, so that programs run in parallel do not race
# to make it. The program's exit code is passed on.
set -uo pipefail
export WINEPREFIX=${WINEPREFIX:-$1}
shift
export WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko installer dialogs; console programs need no display.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wine=$(command -v wine64 || command -v wine || echo /usr/lib/wine/wine64)
if [ "${1:-}" = --init ]; then
  mkdir -p "$WINEPREFIX"
  "$wine" wineboot --init >/dev/null 2>&1
  exec "$(command -v wineserver || echo /usr/lib/wine/wineserver)" -w
fi
exec "$wine" "$@"
