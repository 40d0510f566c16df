#!/usr/bin/env bash
# Builds the libFuzzer target with clang (AddressSanitizer and UndefinedBehaviorSanitizer on)
# and runs it for SECONDS (default 60), starting from the committed seeds.
# Usage: scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

seconds=${1:-60}
ensure_packages "${base_packages[@]}" clang libclang-rt-14-dev
CC=clang CXX=clang++ build_tree build-fuzz -DTUNEWRIGHT_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null

export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
mkdir -p build-fuzz/corpus
build-fuzz/tests/fuzz/fuzz_bytes -max_total_time="$seconds" -print_final_stats=1 \
    build-fuzz/corpus tests/fuzz/corpus > build-fuzz/fuzz_bytes.log 2>&1 || status=$?
echo "== fuzz_bytes: $(grep -E '^#[0-9]+.*DONE' build-fuzz/fuzz_bytes.log | tail -n 1)"
grep -E 'stat::number_of_executed_units|ERROR|SUMMARY' build-fuzz/fuzz_bytes.log || true
exit "${status:-0}"
