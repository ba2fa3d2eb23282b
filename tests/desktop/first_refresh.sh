#!/usr/bin/env bash
# The built program on a real display: Start, the first refresh, and uptime.txt matching the
# system's own uptime.
source "$(dirname "$0")/lib.sh"

start_display
make_program_folder
start_program
wait_for 15 main_window || fail "the window did not appear"
window=$(main_window)

# Interval 1, then Start: the first refresh comes two ticks later.
xdotool mousemove --window "$window" 170 57 click --repeat 3 1
xdotool key --window "$window" ctrl+a type --window "$window" 1
xdotool mousemove --window "$window" 184 84 click 1
wait_for 10 test -s "$FOLDER/uptime.txt" || fail "no uptime.txt after Start"
screenshot first_refresh

content=$(od -An -c "$FOLDER/uptime.txt" | tr -s ' ')
written=$(tr -d '\r\n' <"$FOLDER/uptime.txt")
actual=$(cut -d' ' -f1 /proc/uptime)
[[ "$written" =~ ^[1-9][0-9]*$ ]] || fail "uptime.txt holds '$content'"
[ "$(tail -c 2 "$FOLDER/uptime.txt" | od -An -tx1 | tr -d ' ')" = "0d0a" ] || fail "no CR LF"
awk -v a="$written" -v b="$actual" 'BEGIN { d = a - b; exit !(d < 2 && d > -2) }' ||
    fail "uptime.txt says $written, /proc/uptime says $actual"
echo "PASS: uptime.txt says $written s, /proc/uptime $actual s"
