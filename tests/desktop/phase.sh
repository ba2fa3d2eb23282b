#!/usr/bin/env bash
# With the boot clock half a second out of phase with the monotonic clock (as after a
# suspend) and an interval of 0, every refresh writes one second more than the one before:
# none is skipped and none repeated.
source "$(dirname "$0")/lib.sh"

start_display
export LD_PRELOAD=$BOOTTIME_SHIFT ASAN_OPTIONS="${ASAN_OPTIONS:-}:verify_asan_link_order=0"

# The shift takes: moved by 100 s, the program writes 100 s more than /proc/uptime.
make_program_folder
printf '[Options]\r\nAutoStart=1\r\nInterval=0\r\n' >"$FOLDER/Settings.ini"
BOOTTIME_SHIFT_MS=100000 start_program
wait_for 15 test -s "$FOLDER/uptime.txt" || fail "no uptime.txt"
written=$(tr -d '\r\n' <"$FOLDER/uptime.txt")
awk -v a="$written" -v b="$(cut -d' ' -f1 /proc/uptime)" 'BEGIN { d = a - b - 100; exit !(d < 2 && d > -2) }' ||
    fail "the boot clock was not moved: uptime.txt says $written, /proc/uptime $(cat /proc/uptime)"
# Until it has ended it holds the folder, saving, and a start from there would hand over to it.
kill "$APP"
expect_exit SIGTERM

make_program_folder
printf '[Options]\r\nAutoStart=1\r\nInterval=0\r\n' >"$FOLDER/Settings.ini"
BOOTTIME_SHIFT_MS=500 start_program
wait_for 15 test -s "$FOLDER/uptime.txt" || fail "no uptime.txt"
# Every refresh replaces the file, so each new inode is one refresh.
last_inode=""
values=()
deadline=$((SECONDS + 15))
while [ $SECONDS -lt $deadline ]; do
    inode=$(stat -c %i "$FOLDER/uptime.txt" 2>/dev/null) || continue
    if [ "$inode" != "$last_inode" ]; then
        last_inode=$inode
        values+=("$(tr -d '\r\n' <"$FOLDER/uptime.txt")")
    fi
    sleep 0.05
done
[ ${#values[@]} -ge 12 ] || fail "only ${#values[@]} refreshes in 15 s: ${values[*]}"
for ((i = 1; i < ${#values[@]}; i++)); do
    [ $((values[i] - values[i - 1])) -eq 1 ] || fail "the refreshes went ${values[*]}"
done
echo "PASS: ${#values[@]} refreshes, each one second on: ${values[0]} .. ${values[-1]}"
