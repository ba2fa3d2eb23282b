#!/usr/bin/env bash
# The StatusNotifierItem tray that current panels use: on a private session bus with a
# watcher, Send To Tray registers an item; its Activate restores the window; its exported
# menu holds "Open Tallimer" and "Exit", and a click on Exit ends the program with status 0.
source "$(dirname "$0")/lib.sh"

start_display
eval "$(dbus-daemon --session --fork --print-address=1 --print-pid=1 |
    { read -r address; read -r pid; echo "export DBUS_SESSION_BUS_ADDRESS='$address'; PIDS+=($pid)"; })"
"$SNI_WATCHER" >"$WORK/items" &
PIDS+=($!)
wait_for 5 dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.GetNameOwner string:org.kde.StatusNotifierWatcher ||
    fail "the watcher did not start"

make_program_folder
start_program
wait_for 15 main_window || fail "the window did not appear"
window=$(main_window)
xdotool mousemove --window "$window" 184 116 click 1
wait_for 10 test -s "$WORK/items" || fail "Send To Tray registered no item"
wait_for 5 window_hidden "$window" || fail "Send To Tray did not hide the window"
item=$(head -n 1 "$WORK/items")
service=${item%%/*}
path=/${item#*/}
[ "$path" != "/$item" ] || path=/StatusNotifierItem

call() { dbus-send --session --print-reply --dest="$service" "$@"; }
call "$path" org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierItem \
    string:ToolTip >"$WORK/tooltip"
grep -q '"Tallimer - OFF"' "$WORK/tooltip" || fail "the item's tool tip: $(cat "$WORK/tooltip")"

call "$path" org.kde.StatusNotifierItem.Activate int32:0 int32:0 >/dev/null ||
    fail "Activate failed"
wait_for 5 window_shown "$window" || fail "Activate did not restore the window"

xdotool mousemove --window "$window" 184 116 click 1
wait_for 5 window_hidden "$window" || fail "the second Send To Tray did not hide the window"
wait_for 10 test "$(wc -l <"$WORK/items")" -ge 2 || fail "the second Send To Tray registered no item"
item=$(tail -n 1 "$WORK/items")
service=${item%%/*}
menu=$(call "$path" org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierItem \
    string:Menu | awk '/object path/ { gsub(/"/, "", $NF); print $NF }')
[ -n "$menu" ] || fail "the item exports no menu"
call "$menu" com.canonical.dbusmenu.GetLayout int32:0 int32:-1 array:string: >"$WORK/layout"
grep -q '"Open Tallimer"' "$WORK/layout" || fail "the menu lacks Open Tallimer"
grep -q '"Exit"' "$WORK/layout" || fail "the menu lacks Exit"
exit_id=$(awk '/int32/ { id = $2 } /"Exit"/ { print id; exit }' "$WORK/layout")
call "$menu" com.canonical.dbusmenu.Event int32:"$exit_id" string:clicked variant:int32:0 \
    uint32:0 >/dev/null || fail "the click on Exit failed"
expect_exit Exit
echo "PASS: item registered, Activate restored, menu Exit ended the program"
