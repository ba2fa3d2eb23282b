#!/usr/bin/env bash
# Runs a Windows program, or one of Wine's own tools, under Wine as every script and test here
# does: quietly, without the look-ups for .NET and an HTML engine that a first start makes,
# without the input-device service that burns CPU for nothing, without entries in the Linux
# desktop's menu for what an installer puts into the Start menu, and with the loader that runs
# the program: Wine's 32-bit half for a 32-bit program, the 64-bit loader otherwise (it needs
# no 32-bit code from the machine, which some do not run).
#   wine.sh PROGRAM [ARGUMENTS...]
#   wine.sh --runs-32-bit      whether this machine runs Wine's 32-bit half
set -euo pipefail
export WINEDEBUG=${WINEDEBUG:--all}
# Wine names Linux's files in the locale's character set: under the POSIX locale (a login with
# no LANG, as su - gives) it cannot name one outside ASCII, which Windows always can.
[ "$(locale charmap 2>/dev/null)" = UTF-8 ] || export LC_ALL=C.UTF-8
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml,winebus.sys,winemenubuilder.exe=}
loader64=/usr/lib/wine/wine64
loader32=/usr/lib/wine/wine

if [ "${1:-}" = "--runs-32-bit" ]; then
    exec "$loader32" --version >/dev/null 2>&1
fi

# The PE header's optional-header magic: 0x10b for a 32-bit program, 0x20b for a 64-bit one.
is_32_bit_program() {
    [ -f "$1" ] || return 1
    local header
    header=$(od -An -tu4 -j 60 -N4 "$1" 2>/dev/null | tr -d ' ') || return 1
    [ -n "$header" ] && [ "$(od -An -tx2 -j $((header + 24)) -N2 "$1" | tr -d ' ')" = "010b" ]
}

if is_32_bit_program "${1:-}"; then
    exec "$loader32" "$@"
fi
exec "$loader64" "$@"
