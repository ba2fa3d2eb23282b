#!/usr/bin/env bash
# The Windows program under Wine on a virtual X server with a tray host: its window, a
# refresh written beside the .exe, the notification-area icon with its menu, closing with
# Alt+F4 and with Exit, and the settings file.
source "$(dirname "$0")/lib.sh"

start_display
# A panel of fixed width: Wine keeps the old size of a panel that shrank when its last icon
# left, and drops clicks on an icon that comes back to it.
trayer --edge top --align right --widthtype pixel --width 64 --height 32 --SetDockType true \
    --transparent false --tint 0xdddddd >/dev/null 2>&1 &
PIDS+=($!)
wait_for 10 xwininfo -name panel || true
start_wine
# Without a window manager, Wine draws its own frame (3 px borders, a 19 px caption at
# 96 DPI) instead of waiting for one.
"$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
wineserver -w

make_program_folder() {
    FOLDER="$WORK/program"
    rm -rf "$FOLDER"
    mkdir -p "$FOLDER"
    cp "$PROGRAM" "$FOLDER/tallimer.exe"
}
start_program() {
    (cd "$FOLDER" && exec "$WINE" tallimer.exe) </dev/null >"$WORK/program.log" 2>&1 &
    APP=$!
    PIDS+=($APP)
}
main_window() { xdotool search --onlyvisible --name '^Tallimer$' 2>/dev/null | head -1 | grep .; }
# Clicks at a point of the client area, in pixels.
click_client() {
    local x y
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove $((X + 3 + $1)) $((Y + 22 + $2)) click 1
}
tray_icon() {
    local panel
    panel=$(xwininfo -name panel -children 2>/dev/null | awk '/^ +0x/ { print $1; exit }')
    [ -n "$panel" ] && xwininfo -id "$panel" | grep -q "Width: [1-9][0-9]" && echo "$panel"
}

# First start: no settings file.
make_program_folder
start_program
wait_for 30 main_window || fail "the window did not appear: $(cat "$WORK/program.log")"
window=$(main_window)
eval "$(xdotool getwindowgeometry --shell "$window")"
[ "$WIDTH x $HEIGHT" = "$((233 + 6)) x $((137 + 25))" ] ||
    fail "the window is $WIDTH x $HEIGHT, not a 233 x 137 client area in Wine's frame"
centre_x=$((X + WIDTH / 2))
centre_y=$((Y + 3 + 19 + 137 / 2))
[ $((centre_x - 512)) -ge -2 ] && [ $((centre_x - 512)) -le 2 ] &&
    [ $((centre_y - 384)) -ge -14 ] && [ $((centre_y - 384)) -le 14 ] ||
    fail "the window is not centred: $X,$Y"
screenshot windows_window

# Interval 0 (used as 1), then Start: uptime.txt beside the .exe within a few seconds.
click_client 170 57
xdotool key End BackSpace BackSpace 0
click_client 184 84
wait_for 10 test -s "$FOLDER/uptime.txt" || fail "no uptime.txt after Start"
written=$(tr -d '\r\n' <"$FOLDER/uptime.txt")
[[ "$written" =~ ^[1-9][0-9]*$ ]] || fail "uptime.txt holds $(od -c "$FOLDER/uptime.txt")"
[ "$(tail -c 2 "$FOLDER/uptime.txt" | od -An -tx1 | tr -d ' ')" = "0d0a" ] || fail "no CR LF"
awk -v a="$written" -v b="$(cut -d' ' -f1 /proc/uptime)" 'BEGIN { d = a - b; exit !(d < 2 && d > -2) }' ||
    fail "uptime.txt says $written, /proc/uptime $(cat /proc/uptime)"

# Send To Tray: the window goes, the icon docks; a single click does nothing, a double-click
# brings the window back and takes the icon away.
click_client 184 116
wait_for 10 tray_icon || fail "no icon in the tray"
main_window >/dev/null && fail "the window is still shown"
icon=$(tray_icon)
xdotool mousemove --window "$icon" 8 8
sleep 1.5
screenshot windows_tray
xdotool click 1
sleep 1
main_window >/dev/null && fail "a single click restored the window"
xdotool click --repeat 2 --delay 80 1
wait_for 5 main_window || fail "a double-click did not restore the window"
wait_for 5 no_tray_icon || fail "the icon stayed in the tray after the window came back"

# Alt+F4 closes it with status 0 and the options saved.
xdotool windowfocus "$window" key alt+F4
expect_exit Alt+F4
expected=$(printf '[Options]\r\nInterval=1\r\nUse file method=0\r\nAutoStart=0\r\nAuto Send To Tray=0\r\n')
[ "$(cat "$FOLDER/Settings.ini")" = "$expected" ] ||
    fail "Settings.ini after Alt+F4: $(cat -A "$FOLDER/Settings.ini")"

# A hand-made settings file: started into the tray, refreshing; right click shows the menu,
# and Exit ends it with status 0, the user's lines kept.
make_program_folder
printf '; mine\r\n[Options]\r\nAutoStart=1\r\nAuto Send To Tray=1\r\nInterval=0\r\n[Mine]\r\nx=1\r\n' \
    >"$FOLDER/Settings.ini"
start_program
wait_for 30 tray_icon || fail "the program did not come up in the tray"
wait_for 10 test -s "$FOLDER/uptime.txt" || fail "no refresh from the tray"
icon=$(tray_icon)
xdotool mousemove --window "$icon" 8 8 click 3
menu() { xdotool search --onlyvisible --class tallimer.exe 2>/dev/null | while read -r w; do
    xwininfo -id "$w" | grep -q '"Tallimer"' || echo "$w"; done | head -1 | grep .; }
wait_for 5 menu || fail "no menu on a right click"
sleep 0.5
screenshot windows_menu
eval "$(xdotool getwindowgeometry --shell "$(menu)")"
# Two items: "Open Tallimer", then "Exit".
xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT * 3 / 4)) click 1
expect_exit Exit
expected=$(printf '; mine\r\n[Options]\r\nAutoStart=1\r\nAuto Send To Tray=1\r\nInterval=0\r\nUse file method=0\r\n[Mine]\r\nx=1\r\n')
[ "$(cat "$FOLDER/Settings.ini")" = "$expected" ] ||
    fail "Settings.ini after Exit: $(cat -A "$FOLDER/Settings.ini")"
echo "PASS: the Windows program under Wine: window, refresh, tray, menu, Alt+F4 and Exit"
