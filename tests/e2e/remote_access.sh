#!/usr/bin/env bash
# Remote access end to end, as a customer and a technician use it: qn718-relay on loopback, the
# demo window driven with keys and clicks (Tools -> Enable remote access, the code typed in,
# Connect), and qn718-cli --remote identifying, reading, writing and flashing its simulated
# device, each with the output and exit status qn718-cli-demo gives over USB on a fresh device.
# The window's texts are read as a screen reader reads them. Then a wrong and a spent code.
#   remote_access.sh QN718_RELAY PROGRAMMER_DEMO QN718_CLI QN718_CLI_DEMO
set -u
# A private session bus for the accessibility texts, neither needing nor disturbing a desktop's.
if [ -z "${QN718_E2E_PRIVATE_BUS:-}" ] && command -v dbus-run-session >/dev/null; then
  QN718_E2E_PRIVATE_BUS=1 exec timeout 110 dbus-run-session -- "$0" "$@"
fi
relay=$(readlink -f "$1") demo=$2 cli=$(readlink -f "$3") cli_demo=$4
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
server='' program='' watch=''
# shellcheck disable=SC2086  # each is a process id or nothing
trap 'kill $watch $program $server 2>/dev/null
      wait 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
die() { echo "FAIL: $*" >&2; exit 1; }
[ -n "${DISPLAY:-}" ] || die "no display: run under xvfb-run"

# wait_for TENTHS COMMAND...: true as soon as the command is, false after TENTHS tenths of a second.
wait_for() {
  local tenths=$1
  shift
  for _ in $(seq "$tenths"); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# Copies under names of their own: only one copy of a program runs, and a copy started by
# someone else must not count as this one. The same simulated device for both tools.
export LANG=C.UTF-8 QN718_SIM_MOTION=0
unset LC_ALL LC_MESSAGES QN718_UPDATE_SERVER QN718_SIM_PRODUCT QN718_SIM_TYPE QN718_SIM_FIRMWARE \
  QN718_SIM_SUBVERSION QN718_SIM_STATUS
name=qn718-e2e-remote-$$
cp "$demo" "$work/$name"
cp "$cli_demo" "$work/qn718-cli-e2e-remote-$$"
cli_demo=$work/qn718-cli-e2e-remote-$$
python3 "$here/../../tools/make-demo-firmware.py" "$work/fw.bin" 24 20000
printf 'canlevel=300\r\ncarnumber=0\r\nvon_speed=1\r\n' >"$work/changed.cfg"

# The technician's steps; each runs once over USB and once through the relay.
steps=(identify read "write changed.cfg" read "flash fw.bin")
# Times and durations differ from run to run; a relayed flash shows the percentages the
# program reports (every eighth block), not every one (checked apart below).
mask() {
  sed -E '/^[0-9]+%$/d; s/[0-9]+(\.[0-9]+)? ?(s|ms|seconds?)\b/<time>/g; s/[0-9]{2}:[0-9]{2}:[0-9]{2}/<time>/g'
}
run_step() {  # run_step OUTPUT_PREFIX COMMAND...: output and status kept for the comparison
  local prefix=$1
  shift
  (cd "$work" && "$@") >"$prefix.out" 2>"$prefix.err"
  echo $? >"$prefix.status"
}
mkdir "$work/usb" "$work/usb-home"
for i in "${!steps[@]}"; do
  # shellcheck disable=SC2086  # the step's words are its arguments
  HOME=$work/usb-home QN718_SIM_MEMORY_FILE=$work/usb/memory run_step "$work/usb/$i" "$cli_demo" ${steps[$i]}
done

# The server, on a port of its own choosing.
socket=$work/technician.sock
export QN718_RELAY_SOCKET=$socket
"$relay" serve --listen 127.0.0.1 --port 0 2>"$work/relay.log" &
server=$!
wait_for 50 grep -q ' port ' "$work/relay.log" || die "the server did not start: $(cat "$work/relay.log")"
wait_for 20 test -S "$socket" || die "no technician socket"
port=$(sed -n 's/.* port \([0-9]*\),.*/\1/p' "$work/relay.log" | head -1)

# The customer's program, pointed at that server; its texts reach the accessibility bus.
mkdir "$work/home"
env -u NO_AT_BRIDGE HOME="$work/home" USERPROFILE="$work/home" GTK_MODULES=gail:atk-bridge \
  GNOME_ACCESSIBILITY=1 QN718_REMOTE_SERVER="127.0.0.1:$port" QN718_SIM_MEMORY_FILE="$work/memory" \
  QN718_SIM_TRACE_FILE="$work/trace" "$work/$name" 2>"$work/program.log" &
program=$!
find_window() { window=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1); [ -n "$window" ]; }
wait_for 100 find_window '^Quarnell programmer' || die "no main window"
main_window=$window
# Command 8 (status bits) is asked only once the page is connected; the menu item waits for it.
wait_for 150 grep -qs '^08' "$work/trace" || die "the program never connected to its device"

# Texts as a screen reader has them: has_text TEXT SECONDS finds TEXT among the program's
# accessible names. 77: no accessibility bus here, the texts cannot be checked.
has_text() {
  /usr/bin/python3 - "$name" "$1" "$2" <<'PY'
import sys, time
try:
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi
    desktop = Atspi.get_desktop(0)
    desktop.get_child_count()
except Exception:
    sys.exit(77)
app_name, text, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3])

def walk(node, depth=0):
    if depth > 40:
        return
    yield node
    try:
        count = node.get_child_count()
    except Exception:
        return
    for i in range(count):
        child = node.get_child_at_index(i)
        if child is not None:
            yield from walk(child, depth + 1)

def name_of(node):
    try:
        return node.get_name() or ""
    except Exception:
        return ""

end = time.monotonic() + seconds
while True:
    apps = [desktop.get_child_at_index(i) for i in range(desktop.get_child_count())]
    for app in apps:
        if app is not None and name_of(app) == app_name:
            app.clear_cache()
            if any(name_of(n) == text for n in walk(app)):
                sys.exit(0)
    if time.monotonic() > end:
        sys.exit(1)
    time.sleep(0.2)
PY
}
texts_checked=1
check_text() {  # check_text TEXT SECONDS WHAT
  [ $texts_checked -eq 1 ] || return 0
  has_text "$1" "$2"
  case $? in
    0) ;;
    77) texts_checked=0; echo "note: no accessibility bus; the window's texts are not checked" ;;
    *) fail "$3: '$1' not shown" ;;
  esac
}

# Tools is the menu bar's first menu and "Enable remote access" its last item.
xdotool windowfocus --sync "$main_window"
xdotool key --delay 100 F10 Up Return
wait_for 50 find_window '^Remote access$' || die "Tools -> Enable remote access opened no window"
remote_window=$window
xdotool windowfocus --sync "$remote_window"

# The customer types the code into the password entry and presses Connect.
connect_with() {
  xdotool mousemove --window "$remote_window" 250 25 click 1 key ctrl+a
  xdotool type --delay 20 "$1"
  xdotool mousemove --window "$remote_window" 60 100 click 1
}
session_connected() { "$relay" sessions | grep -q '^connected 127.0.0.1 '; }
session_gone() { [ -z "$("$relay" sessions)" ]; }

# The device worked live from afar (status --watch runs until interrupted): the window says so.
code=$("$relay" new --minutes 5 2>/dev/null) || die "no code from the server"
codes=("$code")
connect_with "$code"
wait_for 50 session_connected || die "the program did not log in with the code"
check_text "Connected to Quarnell server." 5 "after Connect"
HOME=$work/cli-home "$cli" --remote "$code" --relay-socket "$socket" status --watch \
  >"$work/watch.out" 2>"$work/watch.err" &
watch=$!
check_text "Remote access active (M)." 10 "while the device is worked"
if command -v import >/dev/null; then
  { import -window root "$work/screen.png" && [ -s "$work/screen.png" ]; } || fail "no screenshot"
fi
wait_for 50 grep -q 'Speed (km/h)' "$work/watch.out" || fail "status --watch: $(cat "$work/watch.err")"
kill -INT "$watch"
wait "$watch" || fail "status --watch ended with $? on an interrupt: $(cat "$work/watch.err")"
watch=''
wait_for 50 session_gone || die "the session outlived the tool: $("$relay" sessions)"

for i in "${!steps[@]}"; do
  code=$("$relay" new --minutes 5 2>/dev/null) || die "no code from the server"
  codes+=("$code")
  connect_with "$code"
  wait_for 50 session_connected || die "step $i: the program did not log in with the code"
  # shellcheck disable=SC2086
  HOME=$work/cli-home run_step "$work/$i" "$cli" --remote "$code" --relay-socket "$socket" ${steps[$i]}
  for part in status out err; do
    mask <"$work/usb/$i.$part" >"$work/usb.masked"
    mask <"$work/$i.$part" >"$work/remote.masked"
    diff -u "$work/usb.masked" "$work/remote.masked" >"$work/diff" ||
      fail "${steps[$i]}: $part differs from USB: $(cat "$work/diff")"
  done
  [ "$(cat "$work/$i.status")" = 0 ] || fail "${steps[$i]}: exit $(cat "$work/$i.status"): $(cat "$work/$i.err")"
  # The session ends with the tool; the window is ready for the next code.
  wait_for 50 session_gone || die "step $i: the session outlived the tool: $("$relay" sessions)"
done
grep -q '^canlevel=300' "$work/3.out" || fail "the written level was not read back: $(head -3 "$work/3.out")"
grep -qz $'Erasing flash memory...\n0%\n.*\n100%\nSuccessfully programmed device.' "$work/4.err" ||
  fail "flash progress: $(cat "$work/4.err")"
cmp -s "$work/memory" "$work/usb/memory" || fail "the relayed device's memory differs from USB's"

# A wrong code and a spent one: the server refuses the login, the program says so.
refused() {  # refused CODE WHAT
  connect_with "$1"
  if wait_for 50 find_window '^Message$'; then
    check_text "Login failed." 5 "$2"
    xdotool windowfocus --sync "$window" key Return
    wait_for 30 sh -c "! xdotool search --onlyvisible --name '^Message\$' >/dev/null" ||
      fail "$2: the message stayed"
  else
    fail "$2: no message"
  fi
  session_gone || fail "$2: a session came up: $("$relay" sessions)"
  xdotool windowfocus --sync "$remote_window"
}
refused 000-000-000 "a wrong code"
refused "${codes[0]}" "a spent code"
# (An expired code takes minutes of real time: the server's tests move its clock instead.)

grep -q "${codes[0]}" "$work/relay.log" && fail "a code reached the server's log"
kill -0 "$program" || fail "the program ended"
[ $failures -eq 0 ] && echo "remote access end to end: ${#steps[@]} steps as over USB, 2 refusals"
exit $((failures > 0))
