# Shared by the run and test scripts: Debian packages and the build.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

BUILD_PACKAGES="cmake g++ make qt6-base-dev libxcb1-dev libbenchmark-dev doctest-dev"
RUN_PACKAGES="libqt6widgets6 qt6-qpa-plugins qt6-wayland fonts-liberation2 xvfb"
CHECK_PACKAGES="clang clang-tidy clang-format libclang-rt-dev git"
WINDOWS_PACKAGES="g++-mingw-w64-i686-win32 g++-mingw-w64-x86-64-win32 wine wine64 nsis"
DESKTOP_TEST_PACKAGES="xvfb xdotool trayer openbox x11-utils imagemagick strace dbus desktop-file-utils file weston
    adwaita-qt6 qt6ct fonts-dejavu-core fontconfig dpkg-dev lintian appstream
    at-spi2-core python3-pyatspi gir1.2-atspi-2.0"

# The desktops people run, whose notification areas the scenarios meet: Debian 12's GNOME
# Shell with the AppIndicator extension, KDE Plasma on X11 and Wayland (with the protocols of
# the helper that clicks on Wayland), Cinnamon and MATE. Without their recommendations, which
# would bring whole desktops' applications.
SHELL_PACKAGES="gnome-shell gnome-shell-extension-appindicator plasma-workspace plasma-desktop
    kwin-x11 kwin-wayland plasma-workspace-wayland kactivitymanagerd kded5 plasma-wayland-protocols
    libwayland-dev libwayland-bin cinnamon xapp-sn-watcher mate-panel marco
    mate-settings-daemon-common"
# The release whose desktops these are: another names them otherwise (Plasma 6, GNOME 48).
SHELL_RELEASE=12

# The Debian release this runs on (12, 13, ...), from /etc/os-release.
DEBIAN_RELEASE=$(. /etc/os-release 2>/dev/null && echo "${VERSION_ID:-unknown}")

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# apt's package lists, brought up to date once per command. A mirror in the middle of a sync
# can fail the update while every package still installs from the lists there are: only a
# package that then cannot be had stops the command.
apt_updated=false
update_package_lists() {
    $apt_updated && [ "${1:-}" != --again ] && return 0
    apt_updated=true
    as_root apt-get update -qq || echo "Warning: apt-get update failed; going on with the" \
        "package lists this machine has." >&2
}

# Installs whichever of the named Debian packages are missing; fails naming any that this
# release's sources do not have.
ensure_packages() {
    local missing=() unknown=() package candidate
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
            missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing Debian packages: ${missing[*]}"
    update_package_lists
    for package in "${missing[@]}"; do
        candidate=$(apt-cache policy "$package" 2>/dev/null | awk '/Candidate:/ { print $2 }')
        [ -n "$candidate" ] && [ "$candidate" != "(none)" ] || unknown+=("$package")
    done
    if [ ${#unknown[@]} -gt 0 ]; then
        echo "Cannot install ${unknown[*]}: not in the package sources of this Debian" \
            "($DEBIAN_RELEASE)." >&2
        return 1
    fi
    DEBIAN_FRONTEND=noninteractive as_root apt-get install -y -qq ${NO_RECOMMENDS:+--no-install-recommends} \
        "${missing[@]}" >/dev/null || {
        echo "apt-get could not install: ${missing[*]}" >&2
        return 1
    }
}

# Whether this machine's kernel runs 32-bit x86 programs, which Wine's 32-bit half needs: a
# program of 96 bytes that ends with status 42, written out byte by byte.
machine_runs_32_bit_code() {
    local program status=0
    program=$(mktemp)
    printf '\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x03\0\x01\0\0\0\x54\x80\x04\x08'`
        `'\x34\0\0\0\0\0\0\0\0\0\0\0\x34\0\x20\0\x01\0\0\0\0\0\0\0'`
        `'\x01\0\0\0\0\0\0\0\0\x80\x04\x08\0\x80\x04\x08\x60\0\0\0\x60\0\0\0'`
        `'\x05\0\0\0\0\x10\0\0\xbb\x2a\0\0\0\xb8\x01\0\0\0\xcd\x80' >"$program"
    chmod +x "$program"
    "$program" 2>/dev/null || status=$?
    rm -f "$program"
    [ $status -eq 42 ]
}

# The Windows cross compilers and Wine; Wine's 32-bit half, from Debian's i386 architecture,
# only where the machine runs 32-bit code. Where it cannot be had, WINE32_MISSING says why.
WINE32_MISSING=""
ensure_windows_packages() {
    # shellcheck disable=SC2086
    ensure_packages $WINDOWS_PACKAGES
    if ! machine_runs_32_bit_code; then
        WINE32_MISSING="this machine runs no 32-bit x86 code"
        return 0
    fi
    dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed" &&
        return 0
    local added=false
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        as_root dpkg --add-architecture i386
        added=true
        update_package_lists --again
    fi
    if ! ensure_packages wine32:i386; then
        WINE32_MISSING="Wine's 32-bit half (wine32) cannot be installed from this machine's" \
            "package sources"
        # An architecture that brings nothing would only make every later update slower.
        ! $added || as_root dpkg --remove-architecture i386 || true
        echo "Warning: $WINE32_MISSING." >&2
    fi
}

# Wine in a prefix of the project's own, with its server kept up between calls.
PROJECT_WINEPREFIX="$ROOT/build-wine/prefix"
start_wine() {
    export WINEPREFIX=$PROJECT_WINEPREFIX
    mkdir -p "$(dirname "$WINEPREFIX")"
    [ -d "$WINEPREFIX" ] || wine wineboot --init </dev/null >/dev/null 2>&1 || true
    # Its streams go nowhere: a server that outlives this script must hold no pipe of ours.
    wineserver -p </dev/null >/dev/null 2>&1 || true # already up: that is fine
    wine cmd /c exit </dev/null >/dev/null 2>&1 || true
}

# Ends the Wine of the project's prefix, and no other. In a subshell: a Wine server that is
# already gone may abort the call, which bash reports.
stop_wine() {
    [ -d "$PROJECT_WINEPREFIX" ] || return 0
    (WINEPREFIX=$PROJECT_WINEPREFIX wineserver -k) >/dev/null 2>&1 || true
}

# A Windows program or a Wine tool under Wine, as the tests run them.
wine() { "$ROOT/scripts/wine.sh" "$@"; }

# Whether Wine's 32-bit half runs here: it is installed and the machine runs its code.
runs_32_bit_wine() { [ -z "$WINE32_MISSING" ] && "$ROOT/scripts/wine.sh" --runs-32-bit; }

# build PRESET [build options...]: configures and builds with one of CMakePresets.json's
# presets (build/, build-sanitize/, build-windows-ARCH/ ...).
build() {
    local preset=$1
    shift
    (cd "$ROOT" && cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" \
        -j "$(nproc)" "$@")
}
