#!/usr/bin/env bash
# Bad input never stops the program: damaged settings files, an output folder that does not
# exist, a program folder that refuses writes. Each time the program keeps running and its
# label keeps changing with the uptime.
source "$(dirname "$0")/lib.sh"

start_display

label_changes() {
    wait_for 15 main_window || fail "$1: the window did not appear"
    local window
    window=$(main_window)
    sleep 1.2
    import -window "$window" -crop 233x30+0+8 "$WORK/label1.png"
    sleep 2.2
    import -window "$window" -crop 233x30+0+8 "$WORK/label2.png"
    cmp -s "$WORK/label1.png" "$WORK/label2.png" && fail "$1: the label does not change"
    kill -0 "$APP" 2>/dev/null || fail "$1: the program ended"
    "$WM_CLOSE" "$window"
    expect_exit "$1: closing the window"
}

run_case() { # NAME, with $FOLDER prepared
    start_program
    label_changes "$1"
    echo "ok: $1"
}

start_options='[Options]\r\nAutoStart=1\r\nInterval=0\r\n'

make_program_folder
{ printf "$start_options"; head -c 4096 /dev/urandom; } >"$FOLDER/Settings.ini"
run_case "binary junk after the options"

make_program_folder
{ printf "$start_options"; head -c 1048576 /dev/zero | tr '\0' 'x'; } >"$FOLDER/Settings.ini"
run_case "a 1 MB line"

make_program_folder
printf '[Options] AutoStart=1 Interval=0 [Paths] Output File=' >"$FOLDER/Settings.ini"
# No line ends at all: no option is read, so set the interval and start by hand.
start_program
wait_for 15 main_window || fail "no line ends: the window did not appear"
window=$(main_window)
xdotool mousemove --window "$window" 170 57 click --repeat 3 1
xdotool key --window "$window" ctrl+a type --window "$window" 0
xdotool mousemove --window "$window" 184 84 click 1
label_changes "no line ends"
echo "ok: no line ends"

make_program_folder
printf "$start_options"'[Paths]\r\nOutput File=%s/missing/uptime.txt\r\n' "$WORK" >"$FOLDER/Settings.ini"
run_case "an output folder that does not exist"
[ ! -e "$WORK/missing" ] || fail "the missing output folder was created"

make_program_folder
printf "$start_options" >"$FOLDER/Settings.ini"
cp "$FOLDER/Settings.ini" "$WORK/settings-before"
if mount --bind "$FOLDER" "$FOLDER" 2>/dev/null && mount -o remount,bind,ro "$FOLDER" 2>/dev/null; then
    run_case "a read-only program folder"
    cmp -s "$FOLDER/Settings.ini" "$WORK/settings-before" || fail "the read-only Settings.ini changed"
    umount "$FOLDER"
else
    umount "$FOLDER" 2>/dev/null || true
    echo "skipped: this machine does not allow a read-only bind mount"
fi
echo "PASS: bad input never stopped the program"
