#!/usr/bin/env bash
# A scaled display: at a scale factor of 2 the window is twice the size in device pixels.
source "$(dirname "$0")/lib.sh"

start_display
make_program_folder
export QT_SCALE_FACTOR=2
start_program
found() { xdotool search --onlyvisible --pid "$APP" 2>/dev/null | while read -r w; do
    xwininfo -id "$w" | grep -q "Width: 466" && echo "$w"; done | grep .; }
wait_for 15 found || fail "no 466-pixel-wide window at scale factor 2"
window=$(found | head -n 1)
height=$(xwininfo -id "$window" | awk '/Height:/{print $NF}')
[ "$height" = 274 ] || fail "the window is $height pixels high, not 274"
sleep 0.5
screenshot scaled
echo "PASS: 466 x 274 device pixels at scale factor 2"
