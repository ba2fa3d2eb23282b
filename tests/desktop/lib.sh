# Helpers for tests that drive the built program on a real X server. Each test gets its own
# Xvfb display, program folder and artifacts; everything it started is stopped on exit.
set -euo pipefail

PROGRAM=$(readlink -f "$1")
ARTIFACTS=${TALLIMER_ARTIFACTS:-$(mktemp -d)}
mkdir -p "$ARTIFACTS"
WORK=$(mktemp -d)
PIDS=()
# The user's own folder, where a copy that may not write beside itself keeps its files.
export XDG_CONFIG_HOME="$WORK/config"

cleanup() {
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    [ -n "${KEEP_WORK:-}" ] || rm -rf "$WORK"
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
    unset WAYLAND_DISPLAY
    # No session bus, and none that libdbus would start for the display (dbus-launch).
    export DBUS_SESSION_BUS_ADDRESS=disabled:
    export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR="$WORK/runtime"
    mkdir -p -m 700 "$XDG_RUNTIME_DIR"
}

# Wine in a prefix of the test's own, run as every script here runs it; its server goes with
# the test.
start_wine() {
    WINE="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)/scripts/wine.sh"
    export WINEPREFIX="$WORK/prefix"
    trap 'wineserver -k 2>/dev/null || true; cleanup' EXIT
    "$WINE" wineboot --init </dev/null >/dev/null 2>&1 || fail "no Wine prefix"
}

# A program folder of its own: a copy of the program beside which its files are written.
make_program_folder() {
    FOLDER="$WORK/program"
    rm -rf "$FOLDER"
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

# The window as the program plans it on this display, which the scenario player reads too:
#   plan client     WIDTH HEIGHT of the client area
#   plan CONTROL    LEFT TOP WIDTH HEIGHT of the control, within the client area
plan() {
    "$PLAN_DUMP" 2>/dev/null | awk -v what="$1" '
        $1 == "client" && what == "client" { print $2, $3 }
        $1 == "control" && $2 == what { print $4, $5, $6, $7 }'
}

# Where to click a control: its middle, within the window.
middle() { plan "$1" | awk '{ print $1 + int($3 / 2), $2 + int($4 / 2) }'; }

# The program's top-level window: the size of the plan's client area.
main_window() {
    local w width
    width=$(plan client | cut -d' ' -f1)
    for w in $(xdotool search --onlyvisible --pid "$APP" 2>/dev/null); do
        if xwininfo -id "$w" | grep -q "Width: $width\$"; then
            echo "$w"
            return 0
        fi
    done
    return 1
}

screenshot() { import -window root "$ARTIFACTS/$1.png"; }

# expect_exit WHAT: the program ends within 10 s, with status 0.
expect_exit() {
    for _ in $(seq 100); do
        kill -0 "$APP" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$APP" 2>/dev/null && fail "$1 did not end the program"
    local status=0
    wait "$APP" || status=$?
    [ "$status" -eq 0 ] || fail "$1 ended the program with status $status"
}
