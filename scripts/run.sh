#!/usr/bin/env bash
# Installs what is missing, builds into build/ and starts Tunewright.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

ensure_packages "${base_packages[@]}"
build_tree build

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "Tunewright needs a display and none is set; start it on a virtual one with: xvfb-run -a scripts/run.sh" >&2
    exit 1
fi
exec build/app/tunewright "$@"
