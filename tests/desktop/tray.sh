#!/usr/bin/env bash
# The tray on a real X server with an XEmbed tray host: Send To Tray, a single click that
# changes nothing, a double-click that restores, the menu's Open and Exit.
source "$(dirname "$0")/lib.sh"

start_display
start_tray_host
make_program_folder
start_program
wait_for 15 main_window || fail "the window did not appear"
window=$(main_window)

send_to_tray() {
    xdotool mousemove --window "$window" 184 116 click 1
    wait_for 5 window_hidden "$window" || fail "Send To Tray did not hide the window"
    wait_for 5 tray_icon || fail "no icon in the tray"
    icon=$(tray_icon)
}

send_to_tray
xdotool mousemove --window "$icon" 8 8
wait_for 5 popup_window "$window" || fail "no tip over the icon"
screenshot tray_icon

xdotool click 1
sleep 1
window_hidden "$window" || fail "a single click restored the window"
tray_icon >/dev/null || fail "a single click removed the icon"

xdotool mousemove --window "$icon" 8 8 click --repeat 2 --delay 80 1
wait_for 5 window_shown "$window" || fail "a double-click did not restore the window"
wait_for 5 no_tray_icon || fail "the icon stayed after restoring"

send_to_tray
read -r _ x y width height _ <<<"$(open_menu)"
screenshot tray_menu
[ "$height" -gt 20 ] || fail "the menu is too small to hold two items"
xdotool key Escape
sleep 0.5

click_menu_item 0
wait_for 5 window_shown "$window" || fail "Open Tallimer did not restore the window"

send_to_tray
click_menu_item 1
expect_exit Exit
echo "PASS: tray icon, single click, double-click, Open and Exit"
