#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite; exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

# xvfb-run, xrdb and xprop make the screens of the scaling rows.
ensure_packages "${base_packages[@]}" dpkg-dev file fusefat dosfstools procps xvfb xauth \
    x11-xserver-utils x11-utils
export QT_QPA_PLATFORM=offscreen

build_tree build
(cd build && ctest --output-on-failure --timeout 900 -j "$(nproc)")

# The engine once more under AddressSanitizer and UndefinedBehaviorSanitizer; any report
# ends the test with a failure.
build_tree build-sanitize -DTUNEWRIGHT_SANITIZE=ON -DTUNEWRIGHT_ENGINE_ONLY=ON
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
(cd build-sanitize && ctest --output-on-failure --timeout 900 -j "$(nproc)" -L engine)

# A short run of each fuzz target from the committed seeds; any finding fails the suite.
scripts/fuzz.sh 20
