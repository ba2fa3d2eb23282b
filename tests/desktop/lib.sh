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
    unset DBUS_SESSION_BUS_ADDRESS WAYLAND_DISPLAY
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

# Starts the XEmbed tray host. Without a session bus Qt embeds its icons there.
start_tray_host() {
    trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
        --transparent false --tint 0xdddddd >/dev/null 2>&1 &
    PIDS+=($!)
    wait_for 10 xwininfo -name panel || true
}

# Prints "id x y width height embedded" for each viewable window of the program, where
# embedded is 1 for a window inside another program's window (the tray icon).
program_windows() {
    local w info parent
    for w in $(xdotool search --pid "$APP" 2>/dev/null); do
        info=$(xwininfo -id "$w" 2>/dev/null) || continue
        grep -q "Map State: IsViewable" <<<"$info" || continue
        parent=$(xwininfo -id "$w" -children 2>/dev/null | grep "Parent window id")
        local embedded=1
        grep -q "(the root window)" <<<"$parent" && embedded=0
        echo "$w $(awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
            /Width:/{w=$NF} /Height:/{h=$NF} END{print x, y, w, h}' <<<"$info") $embedded"
    done
}

tray_icon() { program_windows | awk '$6 == 1 && $4 > 4 { print $1; exit 0 } END { exit !NR }' | grep .; }
no_tray_icon() { ! tray_icon; }
window_shown() { program_windows | awk -v w="$1" '$1 == w { found = 1 } END { exit !found }'; }
window_hidden() { ! window_shown "$1"; }

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
