#!/usr/bin/env bash
# The file method against a boot file whose modification time the test sets: 90061 seconds
# (1d 1h 1m 1s) ago.
source "$(dirname "$0")/lib.sh"

start_display
make_program_folder
touch -d "@$(($(date +%s) - 90061))" "$WORK/boot.dat"
printf '[Paths]\r\nBootFile=%s\r\n[Options]\r\nUse file method=1\r\nAutoStart=1\r\nInterval=0\r\n' \
    "$WORK/boot.dat" >"$FOLDER/Settings.ini"
start_program
wait_for 15 main_window || fail "the window did not appear"
wait_for 5 test -s "$FOLDER/uptime.txt" || fail "no uptime.txt"
written=$(tr -d '\r\n' <"$FOLDER/uptime.txt")
[ "$written" -ge 90061 ] && [ "$written" -le 90064 ] || fail "uptime.txt says $written, not 90061"

# The boot file vanishes: the last value stays.
rm "$WORK/boot.dat"
sleep 2
later=$(tr -d '\r\n' <"$FOLDER/uptime.txt")
[ "$later" -ge "$written" ] && [ "$later" -le $((written + 3)) ] ||
    fail "after the boot file vanished uptime.txt says $later"
screenshot boot_file
echo "PASS: the file method measured $written s"
