#!/usr/bin/env bash
# On a Wayland session without X (a headless weston), the program picks Qt's Wayland platform
# by itself, refreshes uptime.txt, and a SIGTERM closes it with its options saved.
source "$(dirname "$0")/lib.sh"

export XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
unset DISPLAY QT_QPA_PLATFORM
export DBUS_SESSION_BUS_ADDRESS=disabled:
export WAYLAND_DISPLAY=tallimer-test
weston --backend=headless-backend.so --socket="$WAYLAND_DISPLAY" --idle-time=0 \
    >"$WORK/weston.log" 2>&1 &
PIDS+=($!)
wait_for 15 test -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" || fail "weston did not start: $(cat "$WORK/weston.log")"

make_program_folder
printf '[Options]\r\nAutoStart=1\r\nInterval=0\r\n' >"$FOLDER/Settings.ini"
# Qt's Wayland platform loads the system's EGL driver and unloads it at the end.
export LD_PRELOAD=$KEEP_LOADED ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0"
set -m # a SIGINT-free start, as in a desktop session
start_program
wait_for 15 test -s "$FOLDER/uptime.txt" || fail "no uptime.txt on Wayland: $(cat "$WORK/program.log")"
grep -q "libqwayland" "/proc/$APP/maps" || fail "Qt did not pick its Wayland platform"
first=$(cat "$FOLDER/uptime.txt")
wait_for 5 bash -c "[ \"\$(cat '$FOLDER/uptime.txt')\" != '$first' ]" || fail "uptime.txt was not refreshed"
kill -s TERM "$APP"
expect_exit "SIGTERM on Wayland"
grep -q "Use file method=0" "$FOLDER/Settings.ini" || fail "the options were not saved"
echo "PASS: ran on Wayland, refreshed uptime.txt and saved its options"
