#!/usr/bin/env bash
# Builds and runs the benchmarks (not part of the test suite). The conversion benchmarks run on
# a virtual display, so the program paints as it would for a person.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

ensure_packages "${base_packages[@]}" xvfb xauth
build_tree build

build/bench/bench_bytes
for part in rebuild folder; do
    QT_QPA_PLATFORM=xcb xvfb-run -a build/bench/bench_conversion "$part" 2>/dev/null
done
