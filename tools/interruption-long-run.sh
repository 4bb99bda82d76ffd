#!/usr/bin/env bash
# Random interruptions across every operation (not part of CI): each run picks an operation, a
# fault (vanish, short write, read error, spoiled reply) and a point among the operation's
# hidapi calls, and checks the same rules as the sweep. Prints a summary per operation.
#   tools/interruption-long-run.sh [COUNT] [SEED]     COUNT defaults to 10000
set -uo pipefail
cd "$(dirname "$0")/.."
count=${1:-10000}
cmake -S . -B build >/dev/null || exit 1
cmake --build build -j2 --target unit_tests >/dev/null || exit 1
export QN718_INTERRUPTIONS=$count
[ $# -ge 2 ] && export QN718_INTERRUPTION_SEED=$2
build/tests/unit_tests --gtest_filter=InterruptionLongRun.RandomInterruptions 2>/dev/null |
  grep -vE '^\[|^Running main|^Note: '
exit "${PIPESTATUS[0]}"
