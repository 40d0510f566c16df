# Shared by the scripts: install what is missing, then configure and build.

# Installs the given Debian packages that are not installed yet; runs apt-get update only when
# something is missing, and never asks a question.
ensure_packages() {
    local missing=()
    local package
    for package in "$@"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends \
        "${missing[@]}"
}

# build_tree DIR [cmake options...]: configures DIR once and builds it; with TARGET set, only
# that target and what it needs.
build_tree() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)" ${TARGET:+--target "$TARGET"}
}

base_packages=(cmake g++ make qtbase5-dev lame fonts-liberation qttranslations5-l10n)
