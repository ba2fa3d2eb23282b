# Shared by the run and test scripts: Debian packages and the build.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

BUILD_PACKAGES="cmake g++ make qt6-base-dev libxcb1-dev libbenchmark-dev doctest-dev"
RUN_PACKAGES="libqt6widgets6 qt6-qpa-plugins qt6-wayland fonts-liberation2 xvfb"
CHECK_PACKAGES="clang clang-tidy clang-format libclang-rt-14-dev git"
WINDOWS_PACKAGES="g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 wine wine64 wine32 nsis"
DESKTOP_TEST_PACKAGES="xvfb xdotool trayer openbox x11-utils imagemagick strace dbus desktop-file-utils file weston
    adwaita-qt6 qt6ct fonts-dejavu-core fontconfig dpkg-dev lintian appstream
    at-spi2-core python3-pyatspi gir1.2-atspi-2.0"

# Installs whichever of the named Debian packages are missing.
ensure_packages() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing Debian packages: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq \
        "${missing[@]}" >/dev/null
}

# The Windows cross compilers, and Wine with its 32-bit half from Debian's i386 architecture.
ensure_windows_packages() {
    dpkg --print-foreign-architectures | grep -qx i386 || {
        local sudo=""
        [ "$(id -u)" -eq 0 ] || sudo="sudo"
        $sudo dpkg --add-architecture i386
        $sudo apt-get update -qq
    }
    # shellcheck disable=SC2086
    ensure_packages $WINDOWS_PACKAGES
}

# Wine in a prefix of the project's own, with its server kept up between calls.
start_wine() {
    export WINEPREFIX="$ROOT/build-wine/prefix"
    mkdir -p "$(dirname "$WINEPREFIX")"
    [ -d "$WINEPREFIX" ] || wine wineboot --init </dev/null >/dev/null 2>&1 || true
    # Its streams go nowhere: a server that outlives this script must hold no pipe of ours.
    wineserver -p </dev/null >/dev/null 2>&1 || true # already up: that is fine
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# A Windows program or a Wine tool under Wine, as the tests run them.
wine() { "$ROOT/scripts/wine.sh" "$@"; }

# Whether this machine runs 32-bit x86 code, which the 32-bit half of Wine needs.
runs_32_bit_code() { "$ROOT/scripts/wine.sh" --runs-32-bit; }

# build PRESET [build options...]: configures and builds with one of CMakePresets.json's
# presets (build/, build-sanitize/, build-windows-ARCH/ ...).
build() {
    local preset=$1
    shift
    (cd "$ROOT" && cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" \
        -j "$(nproc)" "$@")
}
