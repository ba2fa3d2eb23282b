#!/usr/bin/env bash
# Runs a Windows test program under Wine on a virtual X display of its own: with_display.sh EXE
source "$(dirname "$0")/lib.sh"

start_display
start_wine
"$WINE" "$PROGRAM"
