# Helpers for tests that drive the built program on a real X server. Each test gets its own
# Xvfb display, program folder and artifacts; everything it started is stopped on exit.
set -euo pipefail

PROGRAM=$(readlink -f "$1")
ARTIFACTS=${TALLIMER_ARTIFACTS:-$(mktemp -d)}
mkdir -p "$ARTIFACTS"
WORK=$(mktemp -d)
PIDS=()

cleanup() {
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# Starts Xvfb on a free display and exports DISPLAY.
start_display() {
    local fifo="$WORK/displayfd"
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$fifo" >/dev/null 2>&1 &
    PIDS+=($!)
    local number
    read -r number <"$fifo"
    export DISPLAY=":$number"
    unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
    export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$WORK/runtime"
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
}

# A program folder of its own: a copy of the program beside which its files are written.
make_program_folder() {
    FOLDER="$WORK/program"
    mkdir -p "$FOLDER"
    cp "$PROGRAM" "$FOLDER/tallimer"
}

start_program() {
    "$FOLDER/tallimer" >"$WORK/program.log" 2>&1 &
    APP=$!
    PIDS+=($APP)
}

# wait_for SECONDS COMMAND...: polls until the command succeeds.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.1
    done
}

# The program's top-level window.
main_window() {
    local w
    for w in $(xdotool search --onlyvisible --pid "$APP" 2>/dev/null); do
        if xwininfo -id "$w" | grep -q "Width: 233"; then
            echo "$w"
            return 0
        fi
    done
    return 1
}

screenshot() { import -window root "$ARTIFACTS/$1.png"; }
