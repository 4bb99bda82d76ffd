#!/usr/bin/env bash
# cli_demo_wine.sh WINE_RUN... -- DEMO_EXE
# The Windows qn718-cli-demo.exe under Wine against its simulated device: identifying, reading,
# the live status and flashing, each with its exit status, and a missing device refused.
set -u
wine_run=()
while [ "$1" != -- ]; do wine_run+=("$1"); shift; done
demo=$2
work=$(mktemp -d)
window=
trap '[ -n "$window" ] && kill "$window" 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# Wine shows the Unix root as drive Z:.
export QN718_SIM_MEMORY_FILE="Z:$work/memory" QN718_SIM_MOTION=0 LANG=C.UTF-8
unset QN718_SIM_PRODUCT QN718_SIM_TYPE QN718_SIM_FIRMWARE QN718_SIM_SUBVERSION QN718_SIM_STATUS

expect() {
  local want=$1 name=$2
  shift 2
  "${wine_run[@]}" "$demo" "$@" >"$work/out" 2>"$work/err"
  local rc=$?
  [ "$rc" -eq "$want" ] || fail "$name: exit $rc, expected $want; stderr: $(cat "$work/err")"
}
has() { grep -qF -- "$2" "$work/$1" || fail "$3: '$2' not in $1: $(cat "$work/$1")"; }

expect 0 identify identify
has out "device: QN718-0022" identify
expect 0 "identify --json" identify --json
has out '"firmware_number":22,"sub_version":[1,4],"compatible":true' "identify --json"
QN718_SIM_PRODUCT=none expect 3 "no device" identify
has err "No USB device found." "no device"

expect 0 "read --cfg" read --cfg "Z:$work/saved.cfg"
has saved.cfg "canlevel=" "read --cfg"
expect 0 status status
has out "Speed (km/h): " status

python3 "$(dirname "$0")/../../tools/make-demo-firmware.py" "$work/fw.bin" 24 20000
expect 0 "flash from the application" flash "Z:$work/fw.bin"
has err "Successfully programmed device." "flash from the application"
QN718_SIM_PRODUCT=bootloader expect 0 "flash from the bootloader" -q flash "Z:$work/fw.bin"

# A second copy under the same name is refused while the first runs: the tool finds it in the
# Windows process list.
cp "$demo" "$work/qn718-cli-e2e.exe"
"${wine_run[@]}" "$work/qn718-cli-e2e.exe" status --watch >"$work/watch" 2>&1 &
window=$!
# Wine takes a few seconds to start it.
for _ in $(seq 50); do
  grep -q "Speed" "$work/watch" && break
  sleep 0.2
done
demo=$work/qn718-cli-e2e.exe
expect 5 "second copy" identify
kill "$window" 2>/dev/null
wait "$window" 2>/dev/null
window=

[ "$failures" -eq 0 ] || exit 1
echo "qn718-cli-demo.exe under Wine: all checks passed"
