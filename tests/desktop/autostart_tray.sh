#!/usr/bin/env bash
# A program folder whose settings start refreshing every second, hidden in the tray; Exit from
# the tray menu saves the options and keeps the user's own lines.
source "$(dirname "$0")/lib.sh"

start_display
start_tray_host
make_program_folder
printf '; kept\r\n[Options]\r\nAutoStart=1\r\nAuto Send To Tray=1\r\nInterval=0\r\n[Mine]\r\nx=1\r\n' \
    >"$FOLDER/Settings.ini"
start_program

wait_for 20 tray_icon || fail "the program did not come up in the tray"
icon=$(tray_icon)
main_window >/dev/null && fail "the window is shown"

wait_for 5 test -s "$FOLDER/uptime.txt" || fail "no uptime.txt"
first=$(stat -c %y "$FOLDER/uptime.txt")
sleep 2.2
second=$(stat -c %y "$FOLDER/uptime.txt")
[ "$first" != "$second" ] || fail "uptime.txt was not rewritten within two seconds"

xdotool mousemove --window "$icon" 8 8
wait_for 5 popup_window 0 || fail "no tip over the icon"
screenshot autostart_tip

# A double-click restores the window; back into the tray, then Exit from the menu.
xdotool mousemove --window "$icon" 8 8 click --repeat 2 --delay 80 1
wait_for 5 main_window || fail "a double-click did not restore the window"
window=$(main_window)
xdotool mousemove --window "$window" 184 116 click 1
wait_for 5 tray_icon || fail "Send To Tray showed no icon"
icon=$(tray_icon)
click_menu_item 1
expect_exit Exit

expected=$(printf '; kept\r\n[Options]\r\nAutoStart=1\r\nAuto Send To Tray=1\r\nInterval=0\r\nUse file method=0\r\n[Mine]\r\nx=1\r\n')
[ "$(cat "$FOLDER/Settings.ini")" = "$expected" ] ||
    fail "Settings.ini after Exit: $(od -c "$FOLDER/Settings.ini" | head -20)"
echo "PASS: started in the tray, refreshed every second, Exit saved the options"
