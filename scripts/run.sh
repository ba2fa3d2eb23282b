#!/usr/bin/env bash
# Builds Tallimer and starts it. Without an X or a Wayland display it starts a virtual X
# display (Xvfb) first. With --windows it builds the Windows program instead and starts it
# under Wine (which needs X).
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

windows=false
[ "${1:-}" = "--windows" ] && windows=true

if $windows; then
    ensure_packages cmake make doctest-dev xvfb
    ensure_windows_packages
    build windows-x86_64-release
    unset WAYLAND_DISPLAY
else
    # shellcheck disable=SC2086
    ensure_packages $BUILD_PACKAGES $RUN_PACKAGES
    build linux --target tallimer
fi

x_display_alive() {
    case "${DISPLAY:-}" in
    "") return 1 ;;
    :*) [ -S "/tmp/.X11-unix/X$(echo "${DISPLAY#:}" | cut -d. -f1)" ] ;;
    *) return 0 ;; # a remote display: trust it
    esac
}

wayland_display_alive() {
    case "${WAYLAND_DISPLAY:-}" in
    "") return 1 ;;
    /*) [ -S "$WAYLAND_DISPLAY" ] ;;
    *) [ -S "${XDG_RUNTIME_DIR:-/nonexistent}/$WAYLAND_DISPLAY" ] ;;
    esac
}

if ! x_display_alive && ! wayland_display_alive; then
    fifo=$(mktemp -u) && mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill $xvfb 2>/dev/null; rm -f "$fifo"' EXIT
    read -r number <"$fifo"
    export DISPLAY=:$number
    unset WAYLAND_DISPLAY
    if $windows; then
        echo "No display found: Tallimer for Windows runs under Wine on the virtual X display" \
            "$DISPLAY (Xvfb); press Ctrl+C here to end it."
    else
        echo "No display found: Tallimer runs on the virtual X display $DISPLAY (Xvfb);" \
            "press Ctrl+C here to close it (its options are saved)."
    fi
fi
if $windows; then
    export WINEPREFIX="$ROOT/build-wine/run-prefix"
    mkdir -p "$(dirname "$WINEPREFIX")" # Wine 10 makes a prefix only inside a folder that is there
    cd "$ROOT/build-windows-x86_64-release/bin"
    wine tallimer.exe
else
    "$ROOT/build/bin/tallimer"
fi
