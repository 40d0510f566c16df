# Sourced by scripts/windows.sh once the zip and its checks are done: writes the setup program
# beside the zip and checks it under Wine in a prefix of its own, made afresh each run, so that
# nothing an earlier installation left can hide a missing step.

# nsis_lists: the installer's File lines and the uninstaller's Delete and RMDir lines, one per
# file and folder of the bundle, so the uninstaller removes exactly what was installed.
nsis_lists() {
    local files=$out/setup-files.nsh unfiles=$out/setup-unfiles.nsh
    : >"$files"
    : >"$unfiles"
    local dir file windows
    while read -r dir; do
        windows=${dir#.}
        echo "SetOutPath \"\$INSTDIR${windows//\//\\}\"" >>"$files"
        find "$bundle/$dir" -maxdepth 1 -type f | sort | while read -r file; do
            echo "File \"$file\"" >>"$files"
            echo "Delete \"\$INSTDIR${windows//\//\\}\\$(basename "$file")\"" >>"$unfiles"
        done
    done < <(cd "$bundle" && find . -type d | sort)
    # Deepest folders first; RMDir leaves a folder that still holds a file of the user's.
    (cd "$bundle" && find . -mindepth 1 -type d | sort -r) | while read -r dir; do
        dir=${dir#.}
        echo "RMDir \"\$INSTDIR${dir//\//\\}\"" >>"$unfiles"
    done
}

# The picture beside the first and last pages: the program's icon on the window's background.
setup_picture() {
    convert -size 164x314 xc:'#333333' \( app/resources/icons/128.png \) -gravity north \
        -geometry +0+40 -composite BMP3:"$out/setup-picture.bmp"
}

# build_setup VERSION FILE
build_setup() {
    makensis -V2 -DVERSION="$1" -DBUNDLE="$bundle" -DFILES="$out/setup-files.nsh" \
        -DUNFILES="$out/setup-unfiles.nsh" -DICON="$root/app/resources/tunewright.ico" \
        -DPICTURE="$out/setup-picture.bmp" -DOUTFILE="$2" scripts/windows/setup.nsi \
        >"$out/makensis.log" ||
        { cat "$out/makensis.log" >&2; exit 1; }
}

# What the setup registers, each checked by name: reg query exits 1 for a missing key.
readonly setup_keys=(
    'HKCU\Software\Classes\Applications\tunewright.exe\shell\open\command'
    'HKCU\Software\Classes\Applications\tunewright.exe\SupportedTypes'
    'HKCU\Software\Classes\Tunewright.mp3\shell\open\command'
    'HKCU\Software\Classes\Directory\shell\Tunewright\command'
    'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tunewright'
)

windows_variable() { wine cmd /c "echo %$1%" 2>/dev/null | tr -d '\r'; }
registered_value() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z]* *//p"; }
fail_setup() { echo "setup program: $*" >&2; exit 1; }

check_installed() {
    local key
    [ -e "$install/tunewright.exe" ] && [ -e "$install/lame.exe" ] &&
        [ -e "$install/platforms/qwindows.dll" ] && [ -e "$install/uninstall.exe" ] ||
        fail_setup "files missing in $install"
    [ -e "$start_menu/Tunewright.lnk" ] && [ -e "$send_to/Tunewright.lnk" ] ||
        fail_setup "a shortcut is missing"
    [ ! -e "$desktop/Tunewright.lnk" ] || fail_setup "a desktop shortcut nobody asked for"
    for key in "${setup_keys[@]}"; do
        wine reg query "$key" >/dev/null 2>&1 || fail_setup "no key $key"
    done
    wine reg query 'HKCU\Software\Classes\.mp3\OpenWithProgids' /v Tunewright.mp3 >/dev/null 2>&1 ||
        fail_setup "Tunewright.mp3 is not among .mp3's OpenWithProgids"
}

# The folder entry's command, run with the test program in the installed program's place: the
# folder's file must convert byte for byte.
check_folder_command() {
    local command expected folder=$out/setup-check
    command=$(wine reg query 'HKCU\Software\Classes\Directory\shell\Tunewright\command' /ve |
        tr -d '\r' | sed -n 's/^ *(Default) *REG_SZ *//p')
    expected="\"$(windows_variable LOCALAPPDATA)\\Programs\\Tunewright\\tunewright.exe\" \"%1\""
    [ "$command" = "$expected" ] || fail_setup "folder command is '$command', not '$expected'"
    rm -rf "$folder"
    mkdir -p "$folder/source" "$folder/out"
    cp "$check/song.mp3" "$folder/source/"
    cp "$out/tests/spy/tunewright-spy.exe" "$install/"
    local shown
    shown=$(cd "$folder" &&
        WINEQT_QPA_PLATFORM_PLUGIN_PATH=$(winepath -w "$qt_prefix/plugins/platforms") \
        SPY_DESTINATION="$(windows_path "$folder/out")" \
        timeout 300 wine "$install/tunewright-spy.exe" "$(winepath -w "$folder/source")" \
        2>/dev/null | tr -d '\r' | sed -n 1p)
    rm "$install/tunewright-spy.exe"
    [ "$shown" = "1 0x6801 Annulla Liberation Sans Narrow 100 Operazione completata" ] ||
        fail_setup "the folder command's run ended with '$shown'"
    cmp "$check/expected.mp3" "$folder/out/song.mp3" ||
        fail_setup "the folder command's output is not lame's audio and the source's blocks"
}

check_uninstalled() {
    local key
    [ ! -e "$install/tunewright.exe" ] && [ ! -e "$install/uninstall.exe" ] &&
        [ ! -e "$install/platforms" ] || fail_setup "the uninstaller left files in $install"
    [ -e "$install/mine.txt" ] && [ -e "$install/../mine.txt" ] ||
        fail_setup "the uninstaller removed a file of the user's"
    [ ! -e "$start_menu/Tunewright.lnk" ] && [ ! -e "$send_to/Tunewright.lnk" ] ||
        fail_setup "the uninstaller left a shortcut"
    for key in "${setup_keys[@]}" 'HKCU\Software\Classes\Tunewright.mp3' \
        'HKCU\Software\Classes\.mp3\OpenWithProgids'; do
        ! wine reg query "$key" >/dev/null 2>&1 || fail_setup "the uninstaller left $key"
    done
    [ "$(registered_value 'HKCU\Software\Classes\.mp3' 'Content Type')" = "audio/mpeg" ] ||
        fail_setup "the uninstaller took .mp3's own values"
}

# The setup's first page, as a person sees it.
screenshot_setup() {
    local display=:$((90 + RANDOM % 100))
    Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    local xvfb=$!
    DISPLAY=$display wine "$setup" >/dev/null 2>&1 &
    for _ in $(seq 60); do
        DISPLAY=$display xdotool search --name 'Tunewright' >/dev/null 2>&1 && break
        sleep 1
    done
    sleep 2
    DISPLAY=$display import -window root -trim +repage "$out/screenshot-setup.png"
    wineserver -k || true
    kill $xvfb 2>/dev/null || true
    cp "$out/screenshot-setup.png" docs/screenshot-setup.png
}

say "writing the setup program"
nsis_lists
setup_picture
readonly setup=$out/tunewright-$version-win64-setup.exe
build_setup "$version" "$setup"
build_setup "$version.1" "$out/setup-newer.exe"

say "checking the setup program in a fresh Wine prefix"
(
    export WINEPREFIX=$out/setup-prefix WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1
    wineserver -w
    install=$(winepath -u "$(windows_variable LOCALAPPDATA)\\Programs\\Tunewright")
    appdata=$(winepath -u "$(windows_variable APPDATA)")
    start_menu="$appdata/Microsoft/Windows/Start Menu/Programs"
    send_to="$appdata/Microsoft/Windows/SendTo"
    desktop=$(winepath -u "$(windows_variable USERPROFILE)\\Desktop")
    # .mp3 already has a value of its own, which the uninstaller must leave.
    wine reg add 'HKCU\Software\Classes\.mp3' /v 'Content Type' /d audio/mpeg /f >/dev/null 2>&1

    screenshot_setup
    wine "$setup" /S
    wineserver -w
    check_installed
    check_folder_command
    echo "installed in $install; registered: ${setup_keys[*]}"

    wine "$out/setup-newer.exe" /S
    wineserver -w
    [ "$(registered_value 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tunewright' DisplayVersion)" = "$version.1" ] ||
        fail_setup "the newer setup did not replace the older installation"
    [ "$(wine reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall' |
        grep -ci tunewright)" = 1 ] || fail_setup "more than one uninstall entry"

    echo "made by the user" >"$install/mine.txt"
    echo "made by the user" >"$install/../mine.txt"
    wine "$install/uninstall.exe" /S
    wineserver -w
    check_uninstalled
    echo "the uninstaller removed everything the setup made, and nothing else"
)
rm -f "$out/setup-newer.exe"
