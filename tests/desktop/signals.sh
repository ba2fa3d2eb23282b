#!/usr/bin/env bash
# The signals that end a desktop session or a terminal's program (SIGTERM, SIGINT, SIGHUP)
# close Tallimer as its close button does: the options are saved and it ends with status 0,
# whether its window is shown or hidden in the tray.
source "$(dirname "$0")/lib.sh"

# Job control, so that the program started in the background does not inherit an ignored
# SIGINT from this non-interactive shell.
set -m
start_display

fresh_options=$(printf '[Options]\r\nInterval=30\r\nUse file method=0\r\nAutoStart=0\r\nAuto Send To Tray=0\r\n')
for signal in TERM INT HUP; do
    make_program_folder
    start_program
    wait_for 15 main_window || fail "SIG$signal: the window did not appear"
    kill -s "$signal" "$APP"
    expect_exit "SIG$signal"
    [ "$(cat "$FOLDER/Settings.ini" 2>/dev/null)" = "$fresh_options" ] ||
        fail "SIG$signal: Settings.ini is '$(cat -A "$FOLDER/Settings.ini" 2>&1)'"
    echo "ok: SIG$signal saved the options"
done

# Settings.ini is on disk before it replaces the old one: its temporary and then its folder
# are flushed around the rename.
make_program_folder
strace -f -o "$WORK/trace" -e trace=fsync,fdatasync,rename,renameat,renameat2 \
    "$FOLDER/tallimer" >"$WORK/program.log" 2>&1 &
PIDS+=($!)
wait_for 15 pgrep -f "^$FOLDER/tallimer" || fail "the program did not start under strace"
APP=$(pgrep -f "^$FOLDER/tallimer")
wait_for 15 main_window || fail "the window did not appear under strace"
kill -s TERM "$APP"
wait_for 10 test -s "$FOLDER/Settings.ini" || fail "no Settings.ini under strace"
sleep 0.5
order=$(awk '/fsync|fdatasync/ { printf "F" } /rename.*"[^"]*Settings\.ini"/ { printf "R" }' "$WORK/trace")
[[ "$order" == *FRF* ]] || fail "Settings.ini was not flushed around its rename: $(cat "$WORK/trace")"
echo "ok: Settings.ini flushed before and after its rename"

# Hidden in the tray and refreshing, with a user's own lines in the file.
start_tray_host
make_program_folder
printf '; mine\r\n[Options]\r\nAutoStart=1\r\nAuto Send To Tray=1\r\nInterval=0\r\n' >"$FOLDER/Settings.ini"
start_program
wait_for 15 tray_icon || fail "the program did not come up in the tray"
wait_for 5 test -s "$FOLDER/uptime.txt" || fail "no refresh"
kill -s TERM "$APP"
expect_exit "SIGTERM in the tray"
expected=$(printf '; mine\r\n[Options]\r\nAutoStart=1\r\nAuto Send To Tray=1\r\nInterval=0\r\nUse file method=0\r\n')
[ "$(cat "$FOLDER/Settings.ini")" = "$expected" ] ||
    fail "SIGTERM in the tray: Settings.ini is '$(cat -A "$FOLDER/Settings.ini")'"
echo "PASS: SIGTERM, SIGINT and SIGHUP each closed the program and saved the options"
