#!/usr/bin/env bash
# Builds and runs the benchmarks (not part of the test suite). The folder run benchmark runs on
# a virtual display, so the program paints as it would for a person.
# Usage: scripts/bench.sh [ROUNDS] [FILES] [SECONDS]   (defaults 5, 16, 180)
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

ensure_packages "${base_packages[@]}" xvfb xauth
build_tree build

build/bench/bench_bytes
build/bench/bench_job
QT_QPA_PLATFORM=xcb xvfb-run -a build/bench/bench_conversion "$@" 2>/dev/null
