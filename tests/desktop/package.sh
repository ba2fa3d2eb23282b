#!/usr/bin/env bash
# The release package: made with CPack, unpacked into a folder of its own, started, and seen
# to refresh; its desktop entry passes desktop-file-validate.
BUILD_DIR=$(readlink -f "$2")
source "$(dirname "$0")/lib.sh"

desktop-file-validate "$(dirname "$0")/../../resources/tallimer.desktop" ||
    fail "the desktop entry does not validate"

(cd "$BUILD_DIR" && cpack -G TGZ -B "$WORK/package" >/dev/null) || fail "cpack failed"
tarball=$(ls "$WORK"/package/tallimer-*.tar.gz)
mkdir -p "$WORK/unpacked"
tar -xzf "$tarball" -C "$WORK/unpacked"
FOLDER=$(ls -d "$WORK"/unpacked/tallimer-*)
for file in tallimer tallimer.png README.txt tallimer.desktop install-desktop-entry.sh \
    icons/hicolor/16x16/apps/tallimer.png icons/hicolor/48x48/apps/tallimer.png; do
    [ -e "$FOLDER/$file" ] || fail "the package lacks $file"
done

HOME="$WORK/home" "$FOLDER/install-desktop-entry.sh" >/dev/null
grep -q "^Exec=\"$FOLDER/tallimer\"$" "$WORK/home/.local/share/applications/tallimer.desktop" ||
    fail "the installed desktop entry does not start this folder's program"

start_display
printf '[Options]\r\nAutoStart=1\r\nInterval=0\r\n' >"$FOLDER/Settings.ini"
start_program
wait_for 15 main_window || fail "the unpacked program shows no window"
wait_for 5 test -s "$FOLDER/uptime.txt" || fail "the unpacked program writes no uptime.txt"
echo "PASS: $(basename "$tarball") unpacks, starts and refreshes"
