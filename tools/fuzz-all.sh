#!/usr/bin/env bash
# Runs every fuzz target to a number of executions, one after the other, from its seed corpus.
#   tools/fuzz-all.sh [RUNS] [TARGET...]     RUNS defaults to 10000000, TARGET to all of them
# Builds build-fuzz with clang first. New inputs go to build-fuzz/fuzz-work/<target>/, never
# into the kept corpus; a crash leaves its input there as crash-*. Prints one line per target.
set -uo pipefail
cd "$(dirname "$0")/.."
runs=${1:-10000000}
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(frame_fuzz link_fuzz settings_fuzz cfg_fuzz http_fuzz console_fuzz firmware_fuzz
    relay_fuzz)
fi

CC=clang CXX=clang++ cmake -S . -B build-fuzz -DQN718_FUZZ=ON -DQN718_BUILD_TESTS=OFF \
  -DQN718_BUILD_BENCH=OFF >/dev/null || exit 1
cmake --build build-fuzz -j2 --target "${targets[@]}" >/dev/null || exit 1

status=0
for target in "${targets[@]}"; do
  work=build-fuzz/fuzz-work/$target
  mkdir -p "$work"
  log=$work/run.log
  start=$(date +%s)
  # The link prints each closing to standard error; libFuzzer keeps its own output.
  build-fuzz/fuzz/$target -runs="$runs" -max_len=4096 -print_final_stats=1 -close_fd_mask=2 \
    -artifact_prefix="$work/" "$work" "fuzz/corpus/$target" >"$log" 2>&1
  rc=$?
  took=$(( $(date +%s) - start ))
  done_runs=$(grep -oE 'stat::number_of_executed_units: *[0-9]+' "$log" | grep -oE '[0-9]+$')
  crashes=$(ls "$work"/crash-* "$work"/leak-* "$work"/timeout-* "$work"/oom-* 2>/dev/null | wc -l)
  echo "$target: ${done_runs:-?} executions in ${took} s, exit $rc, findings $crashes"
  [ "$rc" -eq 0 ] && [ "$crashes" -eq 0 ] || status=1
done
exit "$status"
