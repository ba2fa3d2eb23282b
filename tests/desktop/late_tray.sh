#!/usr/bin/env bash
# "Auto send to tray" at login, when the panel comes up after the program: the window waits
# minimised and goes into the tray as soon as the notification area appears.
source "$(dirname "$0")/lib.sh"

start_display
make_program_folder
printf '[Options]\r\nAuto Send To Tray=1\r\n' >"$FOLDER/Settings.ini"
start_program
wait_for 15 main_window || fail "the window did not appear while there was no tray"
window=$(main_window)
sleep 2
no_tray_icon || fail "an icon without a tray host"

start_tray_host
wait_for 10 tray_icon || fail "the program did not go into the tray when the panel came up"
wait_for 5 window_hidden "$window" || fail "the window is still shown with the icon in the tray"
screenshot late_tray
echo "PASS: went into the tray once the panel came up"
