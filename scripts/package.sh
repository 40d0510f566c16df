#!/usr/bin/env bash
# Builds the Debian package into build/: tunewright_<version>_<arch>.deb
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

ensure_packages "${base_packages[@]}" dpkg-dev file
build_tree build
(cd build && cpack -G DEB >/dev/null)
ls build/tunewright_*.deb
