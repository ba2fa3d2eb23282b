# Shared by the run and test scripts: Debian packages and the build.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

BUILD_PACKAGES="cmake g++ make qt6-base-dev libxcb1-dev libbenchmark-dev doctest-dev"
RUN_PACKAGES="libqt6widgets6 qt6-qpa-plugins qt6-wayland fonts-liberation2 xvfb"
CHECK_PACKAGES="clang clang-tidy clang-format libclang-rt-14-dev git"
DESKTOP_TEST_PACKAGES="xvfb xdotool trayer x11-utils imagemagick strace dbus desktop-file-utils weston
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

# build DIR [cmake options...] [-- build options...]
build() {
    local dir=$1 configure=()
    shift
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do
        configure+=("$1")
        shift
    done
    [ $# -eq 0 ] || shift
    cmake -S "$ROOT" -B "$dir" "${configure[@]}" >/dev/null
    cmake --build "$dir" -j "$(nproc)" "$@"
}
