#!/usr/bin/env bash
# Starts the demo executable on the simulated device as a fresh install would start (empty
# profile, no servers named) and checks from outside that the main window appears with its
# title, that the program reaches the connected state (the simulated device then sees the live
# status requests that only a connected page sends) and that no message window came up.
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
# The build's own servers: a build without an update server must not check, nor complain.
env -u QN718_UPDATE_SERVER -u QN718_REMOTE_SERVER -u LC_ALL -u LC_MESSAGES LANG=C.UTF-8 HOME=$work USERPROFILE=$work \
  QN718_SIM_MEMORY_FILE=$work/memory QN718_SIM_TRACE_FILE=$work/trace NO_AT_BRIDGE=1 "$copy" &
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
    # Every message window is titled "Message"; the first start of a fresh install has none.
    message=$(xdotool search --onlyvisible --name '^Message$' 2>/dev/null | head -n 1)
    if [ -n "$message" ]; then
      echo "FAIL: a message window came up at start-up" >&2
      exit 1
    fi
    exit 0
  fi
  sleep 0.1
done
echo "FAIL: the program never reached the connected state" >&2
cat "$work/trace" 2>/dev/null | head -20 >&2
exit 1
