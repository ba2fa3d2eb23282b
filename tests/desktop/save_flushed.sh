#!/usr/bin/env bash
# Settings.ini is on disk before it replaces the old one: its temporary and then its folder are
# flushed around the rename, also when a signal ends the program.
source "$(dirname "$0")/lib.sh"

start_display
make_program_folder
strace -f -o "$WORK/trace" -e trace=fsync,fdatasync,rename,renameat,renameat2 \
    "$FOLDER/tallimer" >"$WORK/program.log" 2>&1 &
PIDS+=($!)
wait_for 15 pgrep -o -f "^$FOLDER/tallimer" || fail "the program did not start under strace"
# The oldest: the program may fork a helper, which has its command line until it execs.
APP=$(pgrep -o -f "^$FOLDER/tallimer")
wait_for 15 main_window || fail "the window did not appear under strace"
kill -s TERM "$APP"
wait_for 10 test -s "$FOLDER/Settings.ini" || fail "no Settings.ini under strace"
sleep 0.5
order=$(awk '/fsync|fdatasync/ { printf "F" } /rename.*"[^"]*Settings\.ini"/ { printf "R" }' "$WORK/trace")
[[ "$order" == *FRF* ]] || fail "Settings.ini was not flushed around its rename: $(cat "$WORK/trace")"
echo "PASS: Settings.ini flushed before and after its rename"
