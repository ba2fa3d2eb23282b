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
    local crop
    crop=$(plan lblUptime | awk '{ printf "%dx%d+%d+%d", $3, $4, $1, $2 }')
    sleep 1.2
    import -window "$window" -crop "$crop" "$WORK/label1.png"
    sleep 2.2
    import -window "$window" -crop "$crop" "$WORK/label2.png"
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
# shellcheck disable=SC2046
xdotool mousemove --window "$window" $(middle txtInt) click --repeat 3 1
xdotool key --window "$window" ctrl+a type --window "$window" 0
# shellcheck disable=SC2046
xdotool mousemove --window "$window" $(middle cmdToggle) click 1
label_changes "no line ends"
echo "ok: no line ends"

make_program_folder
printf "$start_options"'[Paths]\r\nOutput File=%s/missing/uptime.txt\r\n' "$WORK" >"$FOLDER/Settings.ini"
run_case "an output folder that does not exist"
[ ! -e "$WORK/missing" ] || fail "the missing output folder was created"

# A program folder that the program's user may not write to (a read-only mount is a row of the
# scenario table): for an ordinary user, one of its own without the write permission; for root,
# whom permissions do not stop, root's folder with the program run as nobody. Where root can
# run nothing as another user, the case is skipped, but not on CI (CI=true), which must allow it.
read_only_folder() {
    make_program_folder
    printf "$start_options" >"$FOLDER/Settings.ini"
    cp "$FOLDER/Settings.ini" "$WORK/settings-before"
}
read_only_case() { # NAME USER-FOLDER
    run_case "$1"
    cmp -s "$FOLDER/Settings.ini" "$WORK/settings-before" || fail "$1: Settings.ini changed"
    grep -q "AutoStart=1" "$2/Settings.ini" || fail "$1: the options were not saved in $2"
    [ -z "$(ls -A "$FOLDER" | grep -v -x -e tallimer -e Settings.ini)" ] ||
        fail "$1: the program wrote into its folder: $(ls -A "$FOLDER")"
}
read_only_folder
if [ "$(id -u)" -ne 0 ]; then
    chmod 555 "$FOLDER"
    read_only_case "a program folder its user may not write to" "$XDG_CONFIG_HOME/tallimer"
    chmod 755 "$FOLDER"
elif setpriv --reuid=nobody --regid=nogroup --clear-groups true 2>/dev/null; then
    chmod 755 "$WORK"
    nobody="$WORK/nobody"
    mkdir -p -m 700 "$nobody/runtime"
    # The sanitizers' suppressions, where that user may read them.
    leaks=${LSAN_OPTIONS:-}
    if [[ "$leaks" =~ suppressions=([^:]*) ]]; then
        cp "${BASH_REMATCH[1]}" "$nobody/lsan.supp"
        leaks=${leaks/"${BASH_REMATCH[1]}"/"$nobody/lsan.supp"}
    fi
    chown -R nobody:nogroup "$nobody"
    start_program() {
        setpriv --reuid=nobody --regid=nogroup --clear-groups env HOME="$nobody" \
            XDG_CONFIG_HOME="$nobody/config" \
            XDG_RUNTIME_DIR="$nobody/runtime" LSAN_OPTIONS="$leaks" "$FOLDER/tallimer" \
            >"$nobody/program.log" 2>&1 &
        APP=$!
        PIDS+=($APP)
    }
    read_only_case "a program folder its user may not write to" "$nobody/config/tallimer"
else
    [ "${CI:-}" != true ] || fail "this machine runs nothing as another user, which CI must allow"
    echo "SKIPPED: a program folder its user may not write to: this machine runs nothing as another user"
    exit 77
fi
echo "PASS: bad input never stopped the program"
