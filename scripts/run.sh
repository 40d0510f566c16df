#!/usr/bin/env bash
# Installs what is missing, builds the program into build/ and starts Tunewright.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Tunewright needs a display and none is set; start it on a virtual one with: xvfb-run -a scripts/run.sh" >&2
    exit 1
fi
ensure_packages "${base_packages[@]}"
# Only the program (with its lame.exe): the tests and benchmarks wait for scripts/test.sh.
TARGET=tunewright build_tree build
exec build/app/tunewright "$@"
