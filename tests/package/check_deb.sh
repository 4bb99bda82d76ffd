#!/usr/bin/env bash
# Builds the Debian package with CPack from the build folder and checks it the way a user's
# machine would meet it: contents and modes, the udev rule, the desktop entry, lintian, and the
# programs answering --version and --help from an unpacked copy.
set -u
build=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

(cd "$build" && cpack -G DEB --config CPackConfig.cmake -B "$work/out") >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; echo "FAIL: cpack" >&2; exit 1; }
debs=("$work"/out/*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "FAIL: expected one package, got ${debs[*]}" >&2; exit 1; }
deb=${debs[0]}
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "qn718-programmer_${version}_${arch}.deb" ] || fail "file name $(basename "$deb")"
echo "package: $(basename "$deb")"

# Control fields; the dependencies come from the binaries, so the libraries they link appear.
[ "$(dpkg-deb -f "$deb" Package)" = qn718-programmer ] || fail "Package field"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version field"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libgtk2.0-0 libhidapi-hidraw0 libc6; do
  grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

# Files and modes, as dpkg will install them.
dpkg-deb -c "$deb" | awk '{print $1, $2, $6}' >"$work/contents"
expect() {  # mode owner path
  grep -qxF -- "$1 $2 ./$3" "$work/contents" || fail "missing or wrong mode: $1 $2 $3"
}
expect -rwxr-xr-x root/root usr/bin/qn718-programmer
expect -rwxr-xr-x root/root usr/bin/qn718-programmer-demo
expect -rwxr-xr-x root/root usr/bin/qn718-cli
expect -rwxr-xr-x root/root usr/bin/qn718-cli-demo
expect -rw-r--r-- root/root usr/share/applications/qn718-programmer.desktop
expect -rw-r--r-- root/root usr/share/icons/hicolor/scalable/apps/qn718-programmer.svg
for size in 16 22 24 32 48 64 128 256; do
  expect -rw-r--r-- root/root "usr/share/icons/hicolor/${size}x${size}/apps/qn718-programmer.png"
done
expect -rw-r--r-- root/root usr/lib/udev/rules.d/70-qn718.rules
expect -rw-r--r-- root/root usr/share/man/man1/qn718-programmer.1.gz
expect -rw-r--r-- root/root usr/share/man/man1/qn718-programmer-demo.1.gz
expect -rw-r--r-- root/root usr/share/man/man1/qn718-cli.1.gz
expect -rw-r--r-- root/root usr/share/man/man1/qn718-cli-demo.1.gz
expect -rw-r--r-- root/root usr/share/doc/qn718-programmer/copyright
expect -rwxr-xr-x root/root usr/bin/qn718-relay
expect -rw-r--r-- root/root usr/share/man/man1/qn718-relay.1.gz
expect -rw-r--r-- root/root usr/lib/systemd/system/qn718-relay.service
expect -rw-r--r-- root/root usr/lib/sysusers.d/qn718-relay.conf
if grep -v '^d' "$work/contents" | grep -q -e ' \./usr/local/' -e ' \./home' -e 'tests'; then
  fail "stray files: $(grep -e ' \./usr/local/' -e tests "$work/contents")"
fi

root=$work/root
dpkg-deb -x "$deb" "$root"

# The rule: hidraw nodes of vendor 12aa, for the user at the seat without any group.
rule=$root/usr/lib/udev/rules.d/70-qn718.rules
grep -v '^#' "$rule" | grep -q 'KERNEL=="hidraw\*".*ATTRS{idVendor}=="12aa".*TAG+="uaccess"' ||
  fail "udev rule text: $(cat "$rule")"
identifiers=$(grep -v '^#' "$rule" | grep -c 'idVendor')
[ "$identifiers" -eq 1 ] || fail "the rule should be one line for the vendor, found $identifiers"

desktop=$root/usr/share/applications/qn718-programmer.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate"
grep -qx 'Exec=qn718-programmer' "$desktop" || fail "desktop entry Exec"
grep -qx 'Icon=qn718-programmer' "$desktop" || fail "desktop entry Icon"
grep -q '^Categories=.*Electronics;' "$desktop" || fail "desktop entry Categories"

# The manual pages render without complaints from groff.
for page in qn718-programmer qn718-cli qn718-relay; do
  warnings=$(zcat "$root/usr/share/man/man1/$page.1.gz" | groff -man -Tutf8 -ww -z 2>&1)
  [ -z "$warnings" ] || fail "manual page $page: $warnings"
done

# lintian: no errors; warnings are shown.
lintian --fail-on error "$deb" >"$work/lintian" 2>&1 ||
  { cat "$work/lintian" >&2; fail "lintian reports errors"; }
grep -v 'running with root privileges' "$work/lintian"

# From the unpacked root, without a display: answered before any window or device work.
for program in qn718-programmer qn718-programmer-demo; do
  out=$(env -u DISPLAY HOME="$work" "$root/usr/bin/$program" --version 2>&1)
  rc=$?
  [ $rc -eq 0 ] && [ "$out" = "qn718-programmer $version" ] || fail "$program --version: rc $rc, '$out'"
  out=$(env -u DISPLAY HOME="$work" "$root/usr/bin/$program" --help 2>&1)
  rc=$?
  [ $rc -eq 0 ] && grep -q "^Usage: $program \[--lang CODE\]" <<<"$out" && grep -q '^Exit status:' <<<"$out" ||
    fail "$program --help: rc $rc, '$out'"
done
for program in qn718-cli qn718-cli-demo; do
  out=$(env -u DISPLAY HOME="$work" "$root/usr/bin/$program" --version 2>&1)
  rc=$?
  [ $rc -eq 0 ] && [ "$out" = "qn718-cli $version" ] || fail "$program --version: rc $rc, '$out'"
  out=$(env -u DISPLAY HOME="$work" "$root/usr/bin/$program" --help 2>&1)
  rc=$?
  [ $rc -eq 0 ] && grep -q "^Usage: $program \[OPTIONS\] COMMAND" <<<"$out" && grep -q '^Exit status:' <<<"$out" ||
    fail "$program --help: rc $rc, '$out'"
done
out=$("$root/usr/bin/qn718-relay" --version 2>&1)
[ "$out" = "qn718-relay $version" ] || fail "qn718-relay --version: '$out'"
"$root/usr/bin/qn718-relay" --help | grep -q '^Usage: qn718-relay serve' || fail "qn718-relay --help"
# The unit starts the installed program as its own user, whom the package's sysusers file makes.
unit=$root/usr/lib/systemd/system/qn718-relay.service
grep -qx 'ExecStart=/usr/bin/qn718-relay serve' "$unit" || fail "unit ExecStart"
grep -qx 'User=qn718-relay' "$unit" || fail "unit User"
grep -q '^u qn718-relay ' "$root/usr/lib/sysusers.d/qn718-relay.conf" || fail "sysusers entry"
[ -e "$work/.qn718rc" ] && fail "--version wrote the user settings"

[ $failures -eq 0 ] && echo "package checks passed"
exit $((failures > 0))
