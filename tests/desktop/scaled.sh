#!/usr/bin/env bash
# A scaled display: at a scale factor of 2 the window is twice the size in device pixels.
source "$(dirname "$0")/lib.sh"

start_display
make_program_folder
read -r width height < <(plan client) # in pixels at a scale of 1
export QT_SCALE_FACTOR=2
start_program
found() { xdotool search --onlyvisible --pid "$APP" 2>/dev/null | while read -r w; do
    xwininfo -id "$w" | grep -q "Width: $((2 * width))\$" && echo "$w"; done | grep .; }
wait_for 15 found || fail "no $((2 * width))-pixel-wide window at scale factor 2"
window=$(found | head -n 1)
shown=$(xwininfo -id "$window" | awk '/Height:/{print $NF}')
[ "$shown" = $((2 * height)) ] || fail "the window is $shown pixels high, not $((2 * height))"
sleep 0.5
screenshot scaled
echo "PASS: $((2 * width)) x $((2 * height)) device pixels at scale factor 2"
