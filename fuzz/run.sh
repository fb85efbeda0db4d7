#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every fuzz target for a while and reports, for each, the inputs it
# tried and the crashes it found. Exit status 1 when any target crashed.
# Usage: fuzz/run.sh [build folder] [seconds per target]
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build-fuzz}" && pwd)
seconds=${2:-60}
# The build names its targets (fuzz/CMakeLists.txt), one a line.
if [[ ! -s "$build/fuzz-targets.txt" ]]; then
  echo "no $build/fuzz-targets.txt: configure $build with -C fuzz/FuzzCache.cmake first" >&2
  exit 1
fi
mapfile -t targets <"$build/fuzz-targets.txt"

# Leaks count as crashes; a report names its frames.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1:symbolize=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}

failed=0
printf '%-20s %14s %8s\n' target executions crashes
for target in "${targets[@]}"; do
  work=$build/fuzz-work/$target
  # The grown corpus is kept from run to run; crashes are this run's only.
  rm -rf "$work/artifacts"
  mkdir -p "$work/corpus" "$work/artifacts"
  "$build/bin/$target" -max_total_time="$seconds" -print_final_stats=1 -timeout=10 \
      -rss_limit_mb=2048 -artifact_prefix="$work/artifacts/" \
      "$work/corpus" "$root/fuzz/corpus/$target" >"$work/log.txt" 2>&1
  status=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/log.txt" | tail -1)
  if [[ -z "$executions" ]]; then
    # A run that stopped on a crash prints no final statistics.
    executions=$(grep -o '^#[0-9]*' "$work/log.txt" | tail -1 | tr -d '#')
  fi
  crashes=$(find "$work/artifacts" -type f | wc -l)
  printf '%-20s %14s %8s\n' "$target" "${executions:-?}" "$crashes"
  if [[ $status -ne 0 || $crashes -ne 0 ]]; then
    failed=1
    echo "---- $target (exit status $status), end of $work/log.txt:"
    tail -40 "$work/log.txt"
    find "$work/artifacts" -type f -printf '  kept input: %p\n'
  fi
done
exit $failed
