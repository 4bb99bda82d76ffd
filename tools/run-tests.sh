#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite: once in a normal build
# and once under AddressSanitizer and UndefinedBehaviorSanitizer. GUI tests run under Xvfb.
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
  local line passed failed
  line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$line" ]; then
    failed=$(sed -E 's/.*tests passed, ([0-9]+) tests failed out of ([0-9]+).*/\1/' <<<"$line")
    local all
    all=$(sed -E 's/.*tests failed out of ([0-9]+).*/\1/' <<<"$line")
    passed=$((all - failed))
    total_passed=$((total_passed + passed))
    total_failed=$((total_failed + failed))
  else
    rc=1
  fi
  rm -rf "$home" "$log"
  return "$rc"
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo || status=1
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1
run_suite build-sanitize -DCMAKE_BUILD_TYPE=Debug -DQN718_SANITIZE=ON -DQN718_BUILD_BENCH=OFF \
  || status=1

echo "${total_passed} passed, ${total_failed} failed"
exit "$status"
