#!/usr/bin/env bash
# Cross-builds Tunewright for 64-bit Windows, runs its tests under Wine and writes
# build-windows/tunewright-<version>-win64.zip and the setup program beside it,
# tunewright-<version>-win64-setup.exe.
#
# Qt's base module and LAME are built from Debian's own source packages, fetched from the
# archive this machine's apt already uses; both builds are cached under
# ${XDG_CACHE_HOME:-$HOME/.cache}/tunewright/, so only the first run takes long.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/common.sh

ensure_packages g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 xvfb imagemagick \
    xdotool zip unzip dpkg-dev cmake make g++ python3 perl lame fonts-liberation nsis \
    qttranslations5-l10n patch

readonly triplet=x86_64-w64-mingw32
readonly root=$PWD
readonly cache=${XDG_CACHE_HOME:-$HOME/.cache}/tunewright
readonly out=$root/build-windows
mkdir -p "$cache" "$out"
started=$(date +%s)
say() { echo "[windows $(($(date +%s) - started)) s] $*"; }

# --- Sources ---------------------------------------------------------------------------------

# apt-get with a private deb-src list built from the machine's own archive URIs, so the
# system's sources stay as they are.
readonly aptdir=$cache/apt
# private_apt apt-get|apt-cache ARGS...
private_apt() {
    "$1" -o Dir::Etc::SourceList=/dev/null -o Dir::Etc::SourceParts="$aptdir/sources.d" \
        -o Dir::State::Lists="$aptdir/lists" -o Dir::Cache="$aptdir/cache" \
        -o APT::Sandbox::User=root "${@:2}"
}

write_source_list() {
    mkdir -p "$aptdir/sources.d" "$aptdir/lists/partial" "$aptdir/cache/archives/partial"
    local list=$aptdir/sources.d/tunewright-src.list
    : >"$list"
    # One-line sources.list entries, then deb822 .sources stanzas.
    cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null |
        sed -n 's/^[[:space:]]*deb[[:space:]]\+/deb-src /p' >>"$list" || true
    local file
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -e "$file" ] || continue
        awk '
            function flush() {
                if (types ~ /(^| )deb( |$)/ && enabled != "no")
                    for (i = 1; i <= nu; i++) for (j = 1; j <= ns; j++)
                        printf "deb-src %s%s %s %s\n", opts, uri[i], suite[j], comps
                types = ""; enabled = ""; opts = ""; comps = ""; nu = 0; ns = 0
            }
            /^[[:space:]]*$/ { flush(); next }
            /^#/ { next }
            /^Types:/ { types = $0 }
            /^Enabled:/ { enabled = tolower($2) }
            /^URIs:/ { for (i = 2; i <= NF; i++) uri[++nu] = $i }
            /^Suites:/ { for (i = 2; i <= NF; i++) suite[++ns] = $i }
            /^Components:/ { comps = $0; sub(/^Components:[[:space:]]*/, "", comps) }
            /^Signed-By:/ { opts = "[signed-by=" $2 "] " }
            END { flush() }' "$file" >>"$list"
    done
    grep -q . "$list" || { echo "No Debian archive found in apt's sources" >&2; exit 1; }
}

# fetch_source PACKAGE VERSION: unpacks Debian's source package, with Debian's patches, into
# the cache and prints its directory.
fetch_source() {
    local package=$1 version=$2
    local dir=$cache/src/$package-$version
    if [ ! -e "$dir/.complete" ]; then
        rm -rf "$dir"
        mkdir -p "$cache/src"
        (cd "$cache/src" &&
            private_apt apt-get source --download-only "$package=$version" >/dev/null)
        dpkg-source --no-check -x "$cache/src/${package}_${version#*:}.dsc" "$dir" >/dev/null
        touch "$dir/.complete"
    fi
    echo "$dir"
}

source_version() {
    private_apt apt-cache showsrc --only-source "$1" 2>/dev/null |
        awk '/^Version:/ {print $2}' | sort -V | tail -n 1
}

write_source_list
say "reading Debian's source index"
private_apt apt-get update -qq
readonly qt_version=$(source_version qtbase-opensource-src)
readonly lame_version=$(source_version lame)
[ -n "$qt_version" ] && [ -n "$lame_version" ] || { echo "Source packages not found" >&2; exit 1; }
readonly compiler=$($triplet-g++ --version | head -n 1)
say "qtbase $qt_version, lame $lame_version, $compiler"

# --- LAME ------------------------------------------------------------------------------------

# Debian's source with our patch: LAME's own Unicode entry point (wmain, _wfopen), which its
# frontend leaves out under MinGW, so names in any script reach it, and paths of up to 4096
# bytes instead of MinGW's 260, with the stack its tables of paths then need. -municode only
# for make: configure's test programs have no wmain.
readonly lame_patch=$root/scripts/windows/lame-unicode.patch
readonly lame_ldflags="-static -Wl,--stack,8388608"
readonly lame_configure=(--host=$triplet --disable-shared --enable-static --disable-gtktest
    --disable-rpath "LDFLAGS=$lame_ldflags")
readonly lame_key=$(echo "$lame_version $compiler ${lame_configure[*]} $(sha1sum <"$lame_patch")" |
    sha1sum | cut -c1-12)
readonly lame_prefix=$cache/lame-$lame_key
if [ ! -e "$lame_prefix/.complete" ]; then
    say "building lame.exe"
    src=$(fetch_source lame "$lame_version")
    rm -rf "$lame_prefix" "$cache/build-lame"
    mkdir -p "$cache/build-lame"
    cp -a "$src" "$cache/build-lame/src"
    patch -d "$cache/build-lame/src" -p1 --quiet <"$lame_patch"
    (cd "$cache/build-lame/src" && ./configure "${lame_configure[@]}" --prefix="$lame_prefix" \
        >../configure.log 2>&1 &&
        make -j "$(nproc)" LDFLAGS="$lame_ldflags -municode" >../make.log 2>&1 &&
        make install LDFLAGS="$lame_ldflags -municode" >/dev/null) ||
        { tail -n 30 "$cache"/build-lame/*.log >&2; exit 1; }
    $triplet-strip "$lame_prefix/bin/lame.exe"
    touch "$lame_prefix/.complete"
    rm -rf "$cache/build-lame"
fi
readonly lame_exe=$lame_prefix/bin/lame.exe

# --- Qt --------------------------------------------------------------------------------------

# Shared libraries, so the zip carries Qt as replaceable DLLs. Debian's repack drops wintab and
# sqlite, hence the tablet and SQL features are off; the offscreen plugin needs FreeType.
readonly qt_configure=(-xplatform win32-g++ -device-option CROSS_COMPILE=$triplet- -release
    -shared -opensource -confirm-license -nomake examples -nomake tests -no-opengl
    -no-direct2d -no-dbus -no-icu -no-openssl -qt-zlib -qt-libpng -qt-pcre -qt-freetype
    -no-libjpeg -no-gif -no-feature-sql -no-feature-network -no-feature-xml
    -no-feature-concurrent -no-feature-printer -no-feature-tabletevent)
readonly qt_key=$(echo "$qt_version $compiler ${qt_configure[*]}" | sha1sum | cut -c1-12)
readonly qt_prefix=$cache/qt-$qt_key
if [ ! -e "$qt_prefix/.complete" ]; then
    say "building Qt for Windows (about half an hour on two cores)"
    src=$(fetch_source qtbase-opensource-src "$qt_version")
    rm -rf "$qt_prefix" "$cache/build-qt"
    mkdir -p "$cache/build-qt"
    (cd "$cache/build-qt" && "$src/configure" "${qt_configure[@]}" -prefix "$qt_prefix" \
        >configure.log 2>&1 && make -j "$(nproc)" >make.log 2>&1 &&
        make install >install.log 2>&1) ||
        { tail -n 40 "$cache"/build-qt/*.log >&2; exit 1; }
    touch "$qt_prefix/.complete"
    rm -rf "$cache/build-qt"
fi
say "Qt ready in $qt_prefix"

# --- Wine ------------------------------------------------------------------------------------

# A private prefix, made once. Without the overrides the first start offers to download Mono
# and Gecko and waits for a click.
export WINEPREFIX=$cache/wine WINEDLLOVERRIDES="mscoree,mshtml=" WINEDEBUG=-all
if [ ! -e "$WINEPREFIX/.complete" ]; then
    say "making the Wine prefix"
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    touch "$WINEPREFIX/.complete"
fi
# Wine hands WINEQT_* to Windows programs as QT_* (and keeps the host's QT_* to itself).
export WINEQT_QPA_PLATFORM=offscreen WINEQT_FORCE_STDERR_LOGGING=1
runtime_dir=$(dirname "$($triplet-g++ -print-file-name=libstdc++-6.dll)")
pthread_dir=$(dirname "$($triplet-g++ -print-file-name=libwinpthread-1.dll)")
WINEPATH="$(winepath -w "$qt_prefix/bin");$(winepath -w "$runtime_dir");$(winepath -w "$pthread_dir")"
export WINEPATH

# --- Licences --------------------------------------------------------------------------------

licenses=$out/licenses
rm -rf "$licenses"
mkdir -p "$licenses/Qt" "$licenses/LAME" "$licenses/Liberation" "$licenses/MinGW-w64"
qt_src=$(fetch_source qtbase-opensource-src "$qt_version")
lame_src=$(fetch_source lame "$lame_version")
cp "$qt_src"/LICENSE.{LGPL3,GPL2,GPL3,GPL3-EXCEPT} "$licenses/Qt/"
cp "$qt_src/debian/copyright" "$licenses/Qt/debian-copyright"
cp "$lame_src/COPYING" "$lame_src/LICENSE" "$licenses/LAME/"
cp "$lame_src/debian/copyright" "$licenses/LAME/debian-copyright"
cp "$lame_patch" "$licenses/LAME/"
cp /usr/share/doc/fonts-liberation/copyright "$licenses/Liberation/copyright"
mkdir -p "$licenses/Qt-translations"
cp /usr/share/doc/qttranslations5-l10n/copyright "$licenses/Qt-translations/copyright"
cp /usr/share/doc/mingw-w64-common/copyright "$licenses/MinGW-w64/mingw-w64-copyright"
cp /usr/share/doc/gcc-mingw-w64-base/copyright "$licenses/MinGW-w64/gcc-runtime-copyright"
cat >"$licenses/SOURCES.txt" <<SOURCES
Built from Debian's packages:
  Qt base module (Qt5Core, Qt5Gui, Qt5Widgets and plugins): source package qtbase-opensource-src $qt_version
  lame.exe: source package lame $lame_version, changed by LAME/lame-unicode.patch (Unicode names, long paths)
  Liberation Sans Narrow (fonts/): package fonts-liberation $(dpkg-query -W -f='${Version}' fonts-liberation)
  translations/qtbase_it.qm: package qttranslations5-l10n $(dpkg-query -W -f='${Version}' qttranslations5-l10n) (LICENSES/Qt-translations)
  libgcc_s_seh-1.dll, libstdc++-6.dll: package gcc-mingw-w64-x86-64-posix-runtime $(dpkg-query -W -f='${Version}' gcc-mingw-w64-x86-64-posix-runtime)
  libwinpthread-1.dll: package mingw-w64-x86-64-dev $(dpkg-query -W -f='${Version}' mingw-w64-x86-64-dev)
Compiler: $compiler
Qt's configure options: ${qt_configure[*]}
SOURCES

# --- Tunewright ------------------------------------------------------------------------------

say "cross-building Tunewright"
cmake -S . -B "$out" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_PREFIX_PATH="$qt_prefix" -DLAME_EXE="$lame_exe" -DTUNEWRIGHT_LICENSES="$licenses" \
    >/dev/null
cmake --build "$out" -j "$(nproc)"

say "running the tests under Wine"
if ! (cd "$out" && ctest -V --timeout 300 >ctest.log 2>&1); then
    grep -E "^(FAIL|   Loc|   Actual|   Expected|[0-9]+/[0-9]+ Test)" "$out/ctest.log" >&2
    echo "Tests failed under Wine; the whole output is in $out/ctest.log" >&2
    exit 1
fi
grep -E "^[0-9]+/[0-9]+ Test|^Totals|^SKIP" -A1 "$out/ctest.log" | grep -v "^--$" || true

say "writing the zip"
(cd "$out" && cpack -G ZIP >/dev/null)
readonly version=$(sed -n 's/^project(Tunewright VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt).0
readonly zip=$out/tunewright-$version-win64.zip
unzip -l "$zip"
readonly unpacked=$out/unpacked
rm -rf "$unpacked"
unzip -q "$zip" -d "$unpacked"
readonly bundle=$unpacked/tunewright-$version-win64

# --- A look at the window --------------------------------------------------------------------

# start_display WxH: a virtual screen for the Windows platform plugin, stopped on exit.
start_display() {
    display=:$((90 + RANDOM % 100))
    Xvfb "$display" -screen 0 "${1}x24" -nolisten tcp >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null || true' EXIT
}

say "screenshot under Wine"
start_display 1024x800
(cd "$bundle" && DISPLAY=$display WINEQT_QPA_PLATFORM= wine tunewright.exe >/dev/null 2>&1 &)
for _ in $(seq 60); do
    DISPLAY=$display xdotool search --name '^Tunewright$' >/dev/null 2>&1 && break
    sleep 1
done
sleep 3
DISPLAY=$display import -window root -crop 750x750+137+25 "$out/screenshot-windows.png"
wineserver -k || true
kill $xvfb 2>/dev/null || true
mkdir -p docs
cp "$out/screenshot-windows.png" docs/screenshot-windows.png

# A fresh prefix at 144 DPI, as a 150 % Windows laptop: the window test's screen check there
# (the window 1125 pixels wide, inside the screen, no text cut), the style Windows gives the
# frameless window (system menu and minimise box, no caption, no frame), and a screenshot.
say "the window at 150 % under Wine"
(
    export WINEPREFIX=$out/wine-150
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
    wineserver -w
    start_display 1920x1200
    (cd "$out/tests/tst_window" && DISPLAY=$display WINEQT_QPA_PLATFORM= SCREEN_SIDE=1125 \
        timeout 120 wine tst_window.exe fitsScreen 2>&1 | tr -d '\r' | grep -E '^(FAIL|   |Totals)') |
        tee "$out/screens-150.log"
    grep -q '^Totals: 3 passed, 0 failed' "$out/screens-150.log" ||
        { echo "The window does not fit at 150 % under Wine" >&2; exit 1; }
    (cd "$bundle" && DISPLAY=$display WINEQT_QPA_PLATFORM= wine tunewright.exe >/dev/null 2>&1 &)
    style=$(DISPLAY=$display wine "$out/tests/windowstyle.exe" | tr -d '\r')
    sleep 3
    DISPLAY=$display import -window root -crop 1125x1125+397+37 "$out/screenshot-windows-150.png"
    wineserver -k || true
    echo "window style: $style"
    [ "$style" = 0x960a0000 ] || { echo "Not the frameless style with a taskbar menu" >&2; exit 1; }
)

# --- Real conversions with the zip's own lame.exe --------------------------------------------

say "a folder run through the program: names in several scripts, paths over 300 characters"
check=$out/conversion
rm -rf "$check"
deep=$check/$(printf 'cartella%.0s' {1..20})/$(printf 'sottocartella%.0s' {1..12})
mkdir -p "$deep/sorgente" "$deep/uscita"
# A Lyrics3 v2.00 block and an ID3v1 tag after one second of tone.
tail_bytes() {
    printf 'LYRICSBEGININD0000211LYR00007la \xe8\x00\xff000033LYRICS200'
    printf 'TAGCanzone \xe8'
    head -c 111 /dev/zero
    printf '2026\xff'
}
names=("song.mp3" "Tōkyō 東京.mp3" "Пётр.mp3" "Dvořák.mp3" "caffè.mp3")
for name in "${names[@]}"; do
    cat tests/data/low.mp3 <(tail_bytes) >"$deep/sorgente/$name"
done
cp "$out/tests/spy/tunewright-spy.exe" "$bundle/"
# Windows paths with forward slashes, as a file dialog gives them; the bundle's own Qt, lame.exe
# and fonts, plus the offscreen platform and the test library from the Qt build. The deep ones
# are spelled by hand: winepath cuts paths at 260 characters (Z: is Wine's drive for /).
windows_path() { winepath -w "$1" | tr '\\' /; }
shown=$(cd "$bundle" && WINEQT_QPA_PLATFORM_PLUGIN_PATH=$(winepath -w "$qt_prefix/plugins/platforms") \
    SPY_DESTINATION="Z:$deep/uscita" timeout 300 wine tunewright-spy.exe "Z:$deep/sorgente" \
    2>/dev/null | tr -d '\r' | sed -n 1p)
rm "$bundle/tunewright-spy.exe"
echo "program: $shown"
[ "$shown" = "1 0x6801 Annulla Liberation Sans Narrow 100 Operazione completata" ] ||
    { echo "The conversion did not end as expected" >&2; exit 1; }
for name in "${names[@]}"; do
    lame --quiet --resample 44.1 -b 192 "$deep/sorgente/$name" "$check/debian-lame.mp3"
    cat "$check/debian-lame.mp3" <(tail_bytes) | cmp - "$deep/uscita/$name" ||
        { echo "$name is not Debian lame's audio followed by the source's blocks" >&2; exit 1; }
done
echo "${#names[@]} files in a ${#deep}-character folder: Debian lame's audio and the source's blocks"
# For the setup's check: a source and what it must become.
cp "$deep/sorgente/song.mp3" "$check/song.mp3"
cp "$deep/uscita/song.mp3" "$check/expected.mp3"
wineserver -w

source scripts/windows/setup.sh
say "done: $zip ($(du -h "$zip" | cut -f1)) and $setup ($(du -h "$setup" | cut -f1))"
