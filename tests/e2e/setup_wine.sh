#!/usr/bin/env bash
# setup_wine.sh WINE_RUN... -- SETUP_EXE DEMO_CHECK
# The setup program under Wine: a silent install (/S) into a folder of the test's own, the
# installed files where the programs look for them, the installed demo window program started
# and checked by DEMO_CHECK (demo_window_wine.sh), then a silent uninstall that leaves nothing.
set -u
wine_run=()
while [ "$1" != -- ]; do wine_run+=("$1"); shift; done
setup=$2
demo_check=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

# No space in it: NSIS takes /D= only unquoted, and Wine quotes an argument with a space.
folder="$work/QN718-programmer"
# /D must come last and unquoted, as NSIS reads it.
"${wine_run[@]}" "$setup" /S "/D=Z:${folder//\//\\}" || fail "setup exited with $?"
for file in bin/qn718-programmer.exe bin/qn718-programmer-demo.exe bin/qn718-cli.exe \
            bin/qn718-cli-demo.exe bin/hidapi.dll bin/libgtk-win32-2.0-0.dll \
            lib/gtk-2.0/2.10.0/engines/libwimp.dll share/themes/MS-Windows/gtk-2.0/gtkrc \
            share/themes/QN718-Dark/gtk-2.0/gtkrc share/themes/QN718-HighContrast/gtk-2.0/gtkrc \
            doc/qn718-programmer.txt doc/qn718-cli.txt uninstall.exe; do
  [ -f "$folder/$file" ] || fail "not installed: $file"
done
[ "$failures" = 0 ] || exit 1

"$demo_check" "${wine_run[@]}" -- "$folder/bin/qn718-programmer-demo.exe" ||
  fail "the installed demo program"

"${wine_run[@]}" "$folder/uninstall.exe" /S || fail "uninstall exited with $?"
# The uninstaller copies itself away and runs from there: wait for it to finish.
for _ in $(seq 1 100); do
  [ -e "$folder" ] || break
  sleep 0.2
done
[ -e "$folder" ] && fail "left after uninstalling: $(cd "$folder" && find . | head -n 5)"
[ "$failures" = 0 ] && echo "installed silently, started, uninstalled"
[ "$failures" = 0 ]
