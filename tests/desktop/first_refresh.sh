#!/usr/bin/env bash
# First start with no settings file: the window centred with its client area and no maximise, Start, the
# first refresh with uptime.txt matching the system's own uptime, and a close that saves
# exactly the four options.
source "$(dirname "$0")/lib.sh"

start_display
make_program_folder
start_program
wait_for 15 main_window || fail "the window did not appear"
window=$(main_window)
geometry=$(xwininfo -id "$window" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
    /Width:/{w=$NF} /Height:/{h=$NF} END{print x, y, w, h}')
[ "$geometry" = "395 315 233 137" ] || fail "window at $geometry, not centred at 233 x 137"
# Motif hints: functions (second field) without maximise (0x10), decorations (third) without
# the maximise button (0x40).
read -r functions decorations < <(xprop -id "$window" _MOTIF_WM_HINTS |
    awk -F'[=,]' '{ print $3, $4 }')
[ $((functions & 0x10)) -eq 0 ] && [ $((decorations & 0x40)) -eq 0 ] &&
    [ $((functions & 0x20)) -ne 0 ] || fail "the window offers maximise: $(xprop -id "$window" _MOTIF_WM_HINTS)"
[ ! -e "$FOLDER/Settings.ini" ] || fail "a settings file appeared before closing"

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

"$WM_CLOSE" "$window"
expect_exit "Closing the window"
[ "$(od -An -c "$FOLDER/Settings.ini" | tr -s ' ')" = "$(printf '[Options]\r\nInterval=1\r\nUse file method=0\r\nAutoStart=0\r\nAuto Send To Tray=0\r\n' | od -An -c | tr -s ' ')" ] ||
    fail "Settings.ini after closing: $(cat -A "$FOLDER/Settings.ini")"
echo "PASS: uptime.txt said $written s, /proc/uptime $actual s; closing saved the options"
