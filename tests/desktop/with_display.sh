#!/usr/bin/env bash
# Runs a Windows test program under Wine on a virtual X display of its own: with-display.sh EXE
source "$(dirname "$0")/lib.sh"

WINE="$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine.sh"
export WINEPREFIX="$WORK/prefix"
end_wine() { wineserver -k 2>/dev/null || true; }
trap 'end_wine; cleanup' EXIT
start_display
"$WINE" wineboot --init </dev/null >/dev/null 2>&1 || fail "no Wine prefix"
"$WINE" "$PROGRAM"
