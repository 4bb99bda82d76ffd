#!/usr/bin/env bash
# Starts the demo executable on the simulated device and checks from outside that the main
# window appears with its title and that the program reaches the connected state (the
# simulated device then sees the live status requests that only a connected page sends).
set -u
demo=$1
work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; rm -rf "$work"' EXIT

if [ -z "${DISPLAY:-}" ]; then
  echo "no display: run under xvfb-run" >&2
  exit 1
fi

# A copy under a name of its own: only one copy of a program may run, and a demo started by
# someone else (or a parallel test run) must not count as this one.
copy=$work/qn718-e2e-$$
cp "$demo" "$copy"
# The update check at start-up goes to a closed loopback port, never to a real server.
HOME=$work USERPROFILE=$work QN718_UPDATE_SERVER=127.0.0.1:1 QN718_SIM_MEMORY_FILE=$work/memory QN718_SIM_TRACE_FILE=$work/trace \
  NO_AT_BRIDGE=1 "$copy" &
pid=$!

title="Quarnell programmer QN718 v.2.20.0"
window=""
for _ in $(seq 1 100); do
  window=$(xdotool search --name "^${title}\$" 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "FAIL: no window titled '$title'" >&2
  exit 1
fi
echo "window $window: $(xdotool getwindowname "$window")"

# Command 8 (status bits) is asked only in the connected state.
for _ in $(seq 1 150); do
  if grep -q '^08' "$work/trace" 2>/dev/null; then
    echo "connected: live status requests seen"
    kill -0 "$pid" || { echo "FAIL: the program ended" >&2; exit 1; }
    exit 0
  fi
  sleep 0.1
done
echo "FAIL: the program never reached the connected state" >&2
cat "$work/trace" 2>/dev/null | head -20 >&2
exit 1
