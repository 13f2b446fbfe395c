#!/usr/bin/env bash
# A longer fuzzing campaign than the test run gives: each libFuzzer target from the committed
# seeds for the given seconds (command line and number conversion 300, whole program 600 by
# default), printing executions, new inputs and coverage. Crashes land beside this file.
set -euo pipefail
repo=$(cd "$(dirname "$0")/../.." && pwd)
cmake -S "$repo" -B "$repo/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$repo/build" -j"$(nproc)" --target tavelon-fuzzers >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in command-line:${1:-300} parse-integer:${1:-300} program:${2:-600}; do
  name=${target%%:*}
  mkdir -p "$work/$name"
  "$repo/build/tests/fuzz/fuzz-$name" -max_total_time="${target##*:}" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$(dirname "$0")/crash-$name-" "$work/$name" \
    "$repo/tests/fuzz/seeds/$name" >"$work/$name.log" 2>&1 || echo "$name: a crash, see bench/fuzz/crash-$name-*"
  echo "$name: $(grep -E '^#[0-9]+ +DONE' "$work/$name.log" | tail -1)"
  grep -E 'stat::(number_of_executed_units|new_units_added)' "$work/$name.log"
done
