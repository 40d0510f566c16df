#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and UndefinedBehaviorSanitizer on)
# and runs each for SECONDS (default 60), side by side, starting from the committed seeds.
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

seconds=${1:-60}
ensure_packages "${base_packages[@]}" clang libclang-rt-14-dev
CC=clang CXX=clang++ build_tree build-fuzz -DTUNEWRIGHT_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null

export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
pids=()
for target in frameheader markers; do
    work=build-fuzz/corpus/$target
    mkdir -p "$work"
    build-fuzz/tests/fuzz/fuzz_$target -max_total_time="$seconds" -print_final_stats=1 \
        "$work" "tests/fuzz/corpus/$target" > "build-fuzz/fuzz_$target.log" 2>&1 &
    pids+=($!)
done
status=0
for i in "${!pids[@]}"; do
    wait "${pids[$i]}" || status=1
done
for target in frameheader markers; do
    echo "== fuzz_$target: $(grep -E '^#[0-9]+.*DONE' "build-fuzz/fuzz_$target.log" | tail -n 1)"
    grep -E 'stat::number_of_executed_units|ERROR|SUMMARY' "build-fuzz/fuzz_$target.log" || true
done
exit $status
