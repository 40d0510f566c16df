#!/usr/bin/env bash
# Builds the .deb from the build tree, unpacks it into a scratch root and checks the layout:
# the program with lame.exe beside it, the command, the menu entry, the icons, the dependencies.
# Usage: package_layout.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

(cd "$scratch" && cpack --config "$build/CPackConfig.cmake" -G DEB >/dev/null)
deb=$(ls "$scratch"/tunewright_*.deb)
dpkg-deb -x "$deb" "$scratch/root"
root=$scratch/root
fail() { echo "FAIL: $*" >&2; exit 1; }

[ -x "$root/usr/lib/tunewright/tunewright" ] || fail "no program in /usr/lib/tunewright"
[ "$(readlink "$root/usr/lib/tunewright/lame.exe")" = /usr/bin/lame ] || fail "lame.exe does not point at /usr/bin/lame"
[ "$(readlink -f "$root/usr/bin/tunewright")" = "$(readlink -f "$root/usr/lib/tunewright/tunewright")" ] \
    || fail "/usr/bin/tunewright does not reach the program"

desktop=$root/usr/share/applications/tunewright.desktop
grep -qx 'Exec=tunewright %F' "$desktop" || fail "desktop entry: Exec"
grep -qx 'MimeType=audio/mpeg;' "$desktop" || fail "desktop entry: MimeType"
grep -qx 'Icon=tunewright' "$desktop" || fail "desktop entry: Icon"
grep -q '^Categories=.*AudioVideo;' "$desktop" || fail "desktop entry: category"
grep -q '^Comment=.*qualità' "$desktop" || fail "desktop entry: Italian comment"
for side in 16 32 48 64 128 256; do
    file "$root/usr/share/icons/hicolor/${side}x${side}/apps/tunewright.png" \
        | grep -q "PNG image data, $side x $side" || fail "icon ${side}x${side}"
done

depends=$(dpkg-deb -f "$deb" Depends)
for package in lame fonts-liberation qttranslations5-l10n libqt5widgets5 libqt5core5a; do
    grep -q "\b$package\b" <<<"$depends" || fail "Depends lacks $package: $depends"
done
echo "package layout ok: $(basename "$deb")"
