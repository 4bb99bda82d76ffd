#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: once in a normal build
# and once under AddressSanitizer and UndefinedBehaviorSanitizer. GUI tests run under Xvfb.
# Then the Windows cross build, whose unit and command-line tests run under Wine.
set -uo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh || exit 1

total_passed=0
total_failed=0
status=0

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" "$@" >/dev/null || return 1
  cmake --build "$dir" -j2 || return 1
  local home log
  home=$(mktemp -d)
  log=$(mktemp)
  # -noreset: without it the server resets whenever its last client leaves, and a program
  # that connects in that moment finds no display.
  (cd "$dir" && env -u GTK_MODULES NO_AT_BRIDGE=1 LANG=C.UTF-8 HOME="$home" USERPROFILE="$home" \
      xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
      ctest --output-on-failure -j2 --timeout 300) 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  count_summary "$log" || rc=1
  rm -rf "$home" "$log"
  return "$rc"
}

# Adds the counts of a ctest summary in the log to the totals; false when there is none.
count_summary() {
  local line passed failed
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$1" | tail -n 1)
  if [ -n "$line" ]; then
    failed=$(sed -E 's/.*tests passed, ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
    local all
    all=$(sed -E 's/.*tests failed out of ([0-9]+).*/\1/' <<<"$line")
    passed=$((all - failed))
    total_passed=$((total_passed + passed))
    total_failed=$((total_failed + failed))
  else
    return 1
  fi
}

# The Windows cross build (GTK+ 2 for Windows built once per machine, outside the clone), its
# tests under Wine in fresh private prefixes (the window programs' on Xvfb), its setup program
# and its zip.
run_windows_suite() {
  tools/build-windows.sh build-windows >/dev/null || return 1
  local prefix log
  prefix=$(mktemp -d)
  log=$(mktemp)
  (cd build-windows && WINEPREFIX="$prefix/wine" \
      xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" \
      ctest --output-on-failure -j2 --timeout 900) 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  count_summary "$log" || rc=1
  # Wine leaves its servers running for a few seconds; they must not outlive the prefixes.
  local wineserver
  wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
  WINEPREFIX="$prefix/wine" "$wineserver" -k 2>/dev/null
  WINEPREFIX="$prefix/wine-gui" "$wineserver" -k 2>/dev/null
  rm -rf "$prefix" "$log"
  return "$rc"
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo || status=1
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
run_suite build-sanitize -DCMAKE_BUILD_TYPE=Debug -DQN718_SANITIZE=ON -DQN718_BUILD_BENCH=OFF \
  || status=1
unset ASAN_OPTIONS UBSAN_OPTIONS
run_windows_suite || status=1

echo "${total_passed} passed, ${total_failed} failed"
exit "$status"
