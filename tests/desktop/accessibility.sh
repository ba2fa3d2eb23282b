#!/usr/bin/env bash
# The program as a screen reader sees it, over AT-SPI on a private session bus.
source "$(dirname "$0")/lib.sh"

start_display
exec 3>"$WORK/bus-address" 4>"$WORK/bus-pid"
dbus-daemon --session --fork --print-address=3 --print-pid=4
exec 3>&- 4>&-
PIDS+=("$(cat "$WORK/bus-pid")")
export DBUS_SESSION_BUS_ADDRESS
DBUS_SESSION_BUS_ADDRESS=$(head -1 "$WORK/bus-address")
/usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
PIDS+=($!)

make_program_folder
printf '[Options]\r\nUse file method=2\r\n' >"$FOLDER/Settings.ini"
export QT_ACCESSIBILITY=1 QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
start_program
wait_for 15 main_window || fail "the window did not appear"
status=0
/usr/bin/python3 "$(dirname "$0")/accessibility.py" "$(main_window)" || status=$?
# The registry daemon that the bus launcher started belongs to this display.
for pid in $(pgrep -f at-spi2-registryd); do
    grep -qz "^DISPLAY=$DISPLAY\$" "/proc/$pid/environ" 2>/dev/null && kill "$pid"
done
exit $status
