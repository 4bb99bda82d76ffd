#!/usr/bin/env bash
# demo_window_wine.sh WINE_RUN... -- DEMO_EXE [SCREENSHOT]
# The Windows window program on its simulated device under Wine, checked from outside: the
# main window appears with its title, the program reaches the connected state (the simulated
# device then sees live status requests, which only the connected page sends), and the window
# shows the configuration page: a screenshot of it has the page's size and, in the page's own
# area below the status rows, the many colours of its controls, not a plain background.
# SCREENSHOT: where to keep the screenshot (default: thrown away).
set -u
wine_run=()
while [ "$1" != -- ]; do wine_run+=("$1"); shift; done
demo=$2
keep=${3:-}
work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT

if [ -z "${DISPLAY:-}" ]; then
  echo "no display: run under xvfb-run" >&2
  exit 1
fi

# Wine shows the Unix root as drive Z:. The update check goes to a closed loopback port.
QN718_UPDATE_SERVER=127.0.0.1:1 QN718_REMOTE_SERVER=127.0.0.1:1 \
  QN718_SIM_MEMORY_FILE="Z:$work/memory" QN718_SIM_TRACE_FILE="Z:$work/trace" LANG=C.UTF-8 \
  "${wine_run[@]}" "$demo" >"$work/out" 2>&1 &
pid=$!

title="Quarnell programmer QN718 v.2.20.0"
window=""
for _ in $(seq 1 600); do
  window=$(xdotool search --name "^${title}\$" 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "FAIL: no window titled '$title'" >&2
  cat "$work/out" >&2
  exit 1
fi
echo "window $window: $(xdotool getwindowname "$window")"

connected=0
for _ in $(seq 1 300); do
  if grep -q '^08' "$work/trace" 2>/dev/null; then
    connected=1
    break
  fi
  sleep 0.1
done
if [ "$connected" = 0 ]; then
  echo "FAIL: the program never reached the connected state" >&2
  head -n 20 "$work/trace" "$work/out" >&2 2>/dev/null
  exit 1
fi
echo "connected: live status requests seen"

# The page is drawn after the state changes; give it a moment, then look at it.
page_shown() {
  import -window "$window" "$work/shot.png" 2>/dev/null || return 1
  read -r width height < <(identify -format '%w %h\n' "$work/shot.png")
  # The connected window holds the status rows and the page below them: taller than wide
  # screens' status rows alone, and the page's part of many colours (text, entries, frames).
  [ "$height" -ge 400 ] && [ "$width" -ge 500 ] || return 1
  colours=$(convert "$work/shot.png" -crop "${width}x$((height / 2))+0+$((height / 2))" +repage \
    -format '%k' info:)
  echo "screenshot ${width}x${height}, ${colours} colours in its lower half"
  [ "$colours" -ge 8 ] || return 1
  # The simulated device reports the ignition on: its light must be lit in its own pure red,
  # which a theme that draws buttons natively would not show.
  red=$(convert "$work/shot.png" -fill black +opaque 'rgb(255,0,0)' -fill white \
    -opaque 'rgb(255,0,0)' -format '%[fx:int(mean*w*h+0.5)]' info:)
  echo "${red} pixels of the lit ignition light's red"
  [ "$red" -ge 500 ]
}
shown=0
for _ in $(seq 1 30); do
  if page_shown; then shown=1; break; fi
  sleep 0.5
done
[ -n "$keep" ] && cp "$work/shot.png" "$keep" 2>/dev/null
if [ "$shown" = 0 ]; then
  echo "FAIL: the window does not show the configuration page" >&2
  exit 1
fi
kill -0 "$pid" 2>/dev/null || { echo "FAIL: the program ended" >&2; exit 1; }
echo "the configuration page is shown"
