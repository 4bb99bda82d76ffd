#!/usr/bin/env bash
# qn718-relay as it is run: "serve" on loopback, the control commands against its socket, their
# output and exit statuses, a program's login over TCP, and a clean stop on SIGTERM.
set -u
relay=$1
work=$(mktemp -d)
server=
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
socket=$work/technician.sock
export QN718_RELAY_SOCKET=$socket

"$relay" serve --listen 127.0.0.1 --port 0 2>"$work/log" &
server=$!
for _ in $(seq 50); do
  grep -q ' port ' "$work/log" && [ -S "$socket" ] && break
  sleep 0.1
done
port=$(sed -n 's/.* port \([0-9]*\),.*/\1/p' "$work/log" | head -1)
[ -n "$port" ] || { cat "$work/log" >&2; echo "FAIL: the server did not start" >&2; exit 1; }
[ "$(stat -c %a "$socket")" = 660 ] || fail "socket mode $(stat -c %a "$socket")"

code=$("$relay" new --minutes 5 2>"$work/err")
[ $? -eq 0 ] || fail "new: $(cat "$work/err")"
[[ $code =~ ^[0-9]{3}-[0-9]{3}-[0-9]{3}$ ]] || fail "new printed '$code'"
grep -q 'valid for 5 minutes' "$work/err" || fail "new's note: $(cat "$work/err")"
[ "$("$relay" sessions)" = "waiting - 300" ] || fail "sessions: $("$relay" sessions)"

# A program logs in with the code as typed, dashes left out, and stays until the server lets it
# go; it notes the answer, then everything after the keep-alives.
python3 - "$port" "${code//-/}" >"$work/program" <<'PY' &
import socket, sys
s = socket.create_connection(("127.0.0.1", int(sys.argv[1])), timeout=10)
s.sendall(sys.argv[2].encode() + b"\n")
print(s.recv(2).decode(), flush=True)
rest = b""
while True:
    chunk = s.recv(100)
    if not chunk:
        break
    rest += chunk
print(rest.replace(b" ", b"").decode(), flush=True)
PY
program=$!
for _ in $(seq 50); do
  [ -s "$work/program" ] && break
  sleep 0.1
done
[ "$(head -1 "$work/program")" = OK ] || fail "login answered '$(cat "$work/program")'"
"$relay" sessions | grep -q '^connected 127.0.0.1 ' || fail "sessions after login: $("$relay" sessions)"

[ "$("$relay" close "$code")" = closed ] || fail "close"
"$relay" close "$code" 2>"$work/err" && fail "a closed session closed again"
grep -q 'no such session' "$work/err" || fail "close twice: $(cat "$work/err")"
[ -z "$("$relay" sessions)" ] || fail "sessions after close: $("$relay" sessions)"
wait "$program"
[ "$(sed -n 2p "$work/program")" = '@!' ] || fail "the program was not let go: $(cat "$work/program")"

"$relay" new --minutes 0 2>/dev/null; [ $? -eq 2 ] || fail "--minutes 0 is not a usage error"
"$relay" frobnicate 2>/dev/null; [ $? -eq 2 ] || fail "an unknown command is not a usage error"
"$relay" sessions --technician-socket "$work/none" 2>/dev/null; [ $? -eq 1 ] ||
  fail "a missing socket is not a failure"
"$relay" --help | grep -q '^Usage: qn718-relay serve' || fail "--help"
"$relay" --version | grep -q '^qn718-relay [0-9]' || fail "--version"
grep -q "$code" "$work/log" && fail "the code reached the log"
grep -q "${code//-/}" "$work/log" && fail "the code reached the log"

kill -TERM "$server"
wait "$server"
rc=$?
server=
[ $rc -eq 0 ] || fail "SIGTERM: exit $rc"
[ -e "$socket" ] && fail "the socket stayed behind"

[ $failures -eq 0 ] && echo "relay server checks passed"
exit $((failures > 0))
