#!/usr/bin/env bash
# Runs qn718-cli-demo against its simulated device, as a script on a production line would:
# each command's output and exit status, the refusals, and --help against the manual page.
set -u
demo=$1
man_page=$2
work=$(mktemp -d)
pids=()
trap 'for p in "${pids[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null; done; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Copies under names of their own: the tool refuses to run beside another copy of itself.
cli=$work/qn718-cli-e2e-$$
cp "$demo" "$cli"
export HOME=$work QN718_SIM_MEMORY_FILE=$work/memory QN718_SIM_MOTION=0 LANG=C.UTF-8
unset QN718_SIM_PRODUCT QN718_SIM_TYPE QN718_SIM_FIRMWARE QN718_SIM_SUBVERSION QN718_SIM_STATUS

# expect STATUS NAME COMMAND...: runs the command, output in $work/out and $work/err.
expect() {
  local want=$1 name=$2
  shift 2
  "$@" >"$work/out" 2>"$work/err"
  local rc=$?
  [ "$rc" -eq "$want" ] || fail "$name: exit $rc, expected $want; stderr: $(cat "$work/err")"
}
has() { grep -qF -- "$2" "$work/$1" || fail "$3: '$2' not in $1: $(cat "$work/$1")"; }

expect 0 identify "$cli" identify
has out "device: QN718-0022" identify
has out "speed signal: present" identify
expect 0 "identify --json" "$cli" identify --json
has out '"firmware_number":22,"sub_version":[1,4],"compatible":true' "identify --json"
QN718_SIM_STATUS=0 expect 0 "identify without CAN speed" "$cli" identify --json
has out '"speed_signal":"absent"' "identify without CAN speed"

# Every write keeps what the device held; restore writes it back; a station of one device.
expect 0 defaults "$cli" -q defaults
expect 0 history "$cli" history
has out "QN718-0022  level" history
expect 0 "restore --last" "$cli" -q restore --last
expect 0 station "$cli" station --count 1 --report "$work/report.csv"
has out "Devices: 1, passed: 1, failed: 0" station
has report.csv "time,type,firmware_before,firmware_after,result,seconds,reason" station

# The refusals, each with its own status.
QN718_SIM_PRODUCT=none expect 3 "no device" "$cli" identify
has err "No USB device found." "no device"
start=$(date +%s%N)
QN718_SIM_PRODUCT=none expect 3 "no device after --wait" "$cli" --wait 1 read
[ $(( ($(date +%s%N) - start) / 1000000 )) -ge 1000 ] || fail "--wait 1 did not wait"
QN718_SIM_PRODUCT=none expect 3 "Polish message" "$cli" --lang pl status
has err "Nie znaleziono urządzenia USB." "Polish message"
QN718_SIM_TYPE=719 expect 4 "incompatible device" "$cli" identify
has out "compatible: no" "incompatible device"
QN718_SIM_SUBVERSION=silent expect 4 "unconfirmed firmware" "$cli" read
QN718_SIM_SUBVERSION=silent expect 4 "unconfirmed identify" "$cli" identify
has out "compatible: unconfirmed" "unconfirmed identify"
QN718_SIM_PRODUCT=bootloader expect 4 "bootloader without flash" "$cli" read
has err "bootloader" "bootloader without flash"
expect 2 "unknown command" "$cli" erase
has err "Try 'qn718-cli-e2e-$$ --help'." "unknown command"

# write of a saved file reproduces the device's block.
printf 'canlevel=300\r\ncarnumber=0\r\nvon_speed=1\r\nprog_output=2\r\n' >"$work/custom.cfg"
expect 0 "write" "$cli" write "$work/custom.cfg"
has err "Configuration saved." "write"
expect 0 "read --cfg" "$cli" read --cfg "$work/saved.cfg"
cp "$work/memory" "$work/memory.saved"
has saved.cfg "canlevel=300" "read --cfg"
expect 0 "read to standard output" "$cli" read
cmp -s "$work/out" "$work/saved.cfg" || fail "read to standard output differs from --cfg"
expect 0 defaults "$cli" -q defaults
[ ! -s "$work/err" ] || fail "--quiet defaults said: $(cat "$work/err")"
cmp -s "$work/memory" "$work/memory.saved" && fail "defaults left the memory as it was"
expect 0 "write the saved file" "$cli" write "$work/saved.cfg"
cmp -s "$work/memory" "$work/memory.saved" || fail "the saved file did not reproduce the block"

# Invalid input is refused before anything reaches the device.
export QN718_SIM_TRACE_FILE=$work/trace
printf 'canlevel=256\r\n' >"$work/bad.cfg"
expect 2 "bad level" "$cli" write "$work/bad.cfg"
has err "CAN-bus level should be" "bad level"
expect 2 "missing file" "$cli" write "$work/none.cfg"
printf 'not a configuration\n' >"$work/empty.cfg"
expect 2 "no configuration lines" "$cli" write "$work/empty.cfg"
head -c 20000 /dev/zero >"$work/zero.bin"
expect 2 "corrupted firmware" "$cli" flash "$work/zero.bin"
has err "File corrupted!" "corrupted firmware"
expect 2 "bad send code" "$cli" send 2
[ ! -s "$work/trace" ] || fail "refused input reached the device: $(tr '\n' ' ' <"$work/trace")"
unset QN718_SIM_TRACE_FILE

expect 0 send "$cli" send 02
has out '01 - 31 - "1"' send

expect 0 status "$cli" status
[ "$(wc -l <"$work/out")" -eq 9 ] || fail "status: $(cat "$work/out")"
has out "Speed (km/h): " status
"$cli" status --watch --json >"$work/watch" 2>"$work/err" &
watch_pid=$!
pids+=("$watch_pid")
sleep 1.5
# A second copy under the same name is refused while the first runs.
expect 5 "second copy" "$cli" identify
kill -INT "$watch_pid"
wait "$watch_pid"
rc=$?
[ "$rc" -eq 0 ] || fail "status --watch ended with $rc on an interrupt"
[ "$(grep -c '"speed_kmh":' "$work/watch")" -ge 2 ] || fail "status --watch: $(cat "$work/watch")"

# Flashing, from the running application and from the bootloader.
python3 "$(dirname "$0")/../../tools/make-demo-firmware.py" "$work/fw.bin" 24 20000
expect 0 "flash from the application" "$cli" flash "$work/fw.bin"
has err "Switching to flash programming mode" "flash from the application"
has err "100%" "flash from the application"
has err "Successfully programmed device." "flash from the application"
QN718_SIM_PRODUCT=bootloader expect 0 "flash from the bootloader" "$cli" -q flash "$work/fw.bin"
[ ! -s "$work/err" ] || fail "--quiet flash said: $(cat "$work/err")"

# The window program holds the device: the tool refuses.
mkdir "$work/window"
cp "$(command -v sleep)" "$work/window/qn718-programmer-demo"
"$work/window/qn718-programmer-demo" 30 &
pids+=($!)
sleep 0.2
expect 5 "window running" "$cli" identify
has err "qn718-programmer-demo" "window running"

# --help and the manual page name the same commands, options and exit statuses.
expect 0 --help "$cli" --help
manual=$(sed 's/\\-/-/g; s/\\fB//g; s/\\fR//g; s/\\fI//g' "$man_page")
for word in $(grep -oE -- '--[a-z]+|^  [a-z]+ ' "$work/out" | tr -d ' ' | sort -u); do
  grep -qF -- "$word" <<<"$manual" || fail "the manual page lacks $word"
done
for code in $(sed -n '/^Exit status:/,$p' "$work/out" | grep -oE '^  [0-9]' | tr -d ' '); do
  grep -qx "\.IP $code" <<<"$manual" || fail "the manual page lacks exit status $code"
done
expect 0 --version "$cli" --version
[ "$(cat "$work/out")" = "qn718-cli 2.20.0" ] || fail "--version: $(cat "$work/out")"

[ $failures -eq 0 ] && echo "all qn718-cli-demo checks passed"
exit $((failures > 0))
