#!/bin/sh
# Adds Tallimer from this folder to the desktop's menu; with --autostart, also starts it
# with the desktop.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
data=${XDG_DATA_HOME:-$HOME/.local/share}
for size in 16 32 48; do
    mkdir -p "$data/icons/hicolor/${size}x${size}/apps"
    cp "$here/icons/hicolor/${size}x${size}/apps/tallimer.png" "$data/icons/hicolor/${size}x${size}/apps/"
done
mkdir -p "$data/applications"
sed "s|^Exec=.*|Exec=\"$here/tallimer\"|" "$here/tallimer.desktop" >"$data/applications/tallimer.desktop"
if [ "${1:-}" = "--autostart" ]; then
    mkdir -p "${XDG_CONFIG_HOME:-$HOME/.config}/autostart"
    cp "$data/applications/tallimer.desktop" "${XDG_CONFIG_HOME:-$HOME/.config}/autostart/"
fi
echo "Tallimer is in the desktop's menu."
