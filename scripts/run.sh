#!/usr/bin/env bash
# Builds Tallimer and starts it. Without an X or a Wayland display it starts a virtual X
# display (Xvfb) first.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# shellcheck disable=SC2086
ensure_packages $BUILD_PACKAGES $RUN_PACKAGES
build "$ROOT/build" -DCMAKE_BUILD_TYPE=Release -- --target tallimer

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
    echo "No display found: Tallimer runs on the virtual X display $DISPLAY (Xvfb);" \
        "press Ctrl+C here to close it (its options are saved)."
fi
"$ROOT/build/bin/tallimer"
