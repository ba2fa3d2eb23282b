#!/usr/bin/env bash
# The packages, installed as a user installs them.
#   packages.sh windows INSTALLER PROGRAM   the installer under Wine, in a fresh prefix: silent,
#                                           the program started where the Start menu points,
#                                           upgraded, uninstalled
#   packages.sh linux PROGRAM BUILD_DIR     the tarball unpacked and the Debian package checked,
#                                           its program started as a user who is not root
# On a display of its own, in a Wine prefix of its own for Windows' (tests/desktop/checks.py).
set -euo pipefail
MODE=$1
shift
HERE=$(cd "$(dirname "$0")" && pwd)
WINE="$HERE/../../scripts/wine.sh"
WORK=$(mktemp -d)
PIDS=()
cleanup() {
    for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# wait_for SECONDS COMMAND...: polls until the command succeeds.
wait_for() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@" >/dev/null 2>&1; do
        [ $SECONDS -lt $deadline ] || return 1
        sleep 0.1
    done
}

# expect_exit WHAT: the program ends within 10 s, with status 0.
expect_exit() {
    wait_for 10 bash -c "! kill -0 $APP" || fail "$1 did not end the program"
    local status=0
    wait "$APP" || status=$?
    [ "$status" -eq 0 ] || fail "$1 ended the program with status $status"
}

shown() { xdotool search --onlyvisible --name '^Tallimer$' 2>/dev/null | head -1 | grep .; }
# not_shown WHAT: fails, telling what there was instead of the program's window.
not_shown() {
    local state="had ended"
    kill -0 "$APP" 2>/dev/null && state="still ran"
    fail "$1: the program $state; the display's windows: $(xdotool search --onlyvisible --name . \
        getwindowname %@ 2>/dev/null | sort -u | paste -sd '|'); its output: $(cat "$WORK/program.log")"
}

# Every path the traced programs wrote to, made or renamed into.
written() {
    grep -v -- "= -1 " "$1" | grep -E 'O_WRONLY|O_RDWR|O_CREAT|mkdir|rename' |
        grep -o '"[^"]*"' | tr -d '"' | sort -u
}

if [ "$MODE" = windows ]; then
    INSTALLER=$(readlink -f "$1")
    local_data=$(echo "$WINEPREFIX"/drive_c/users/*/AppData/Local)
    programs="$local_data/Programs/Tallimer"
    menu=$(echo "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/Microsoft/Windows/"Start Menu"/Programs)
    uninstall='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tallimer'
    at_sign_in() { find "$menu" -ipath "*/startup/tallimer.lnk" | grep -q .; }
    installed_version() { "$WINE" reg query "$uninstall" /v DisplayVersion 2>/dev/null | tr -d '\r' | awk '/DisplayVersion/ { print $3 }'; }

    # Wine runs everything as an administrator; what asks for no rights is the installer's own.
    strings "$INSTALLER" | grep 'requestedExecutionLevel level="asInvoker"' >/dev/null ||
        fail "the installer asks for administrator rights"
    "$WINE" "$INSTALLER" /S || fail "the silent install failed"
    [ "$(installed_version)" = "$(basename "$INSTALLER" | cut -d- -f2)" ] || fail "Apps & features shows no Tallimer"
    [ -e "$menu/Tallimer.lnk" ] && ! at_sign_in || fail "the shortcuts: $(ls -R "$menu")"
    # The Start menu's shortcut leads to the program, which keeps the user's files per user.
    target=$(python3 "$HERE/shortcut_target.py" "$menu/Tallimer.lnk")
    [ "$("$WINE" winepath -u "$target" 2>/dev/null)" -ef "$programs/tallimer.exe" ] || fail "the shortcut leads to $target"
    # A first start in a new prefix sets up Wine's desktop: on a busy machine that takes a while.
    (cd /tmp && exec "$WINE" "$target") >"$WORK/program.log" 2>&1 &
    APP=$!
    PIDS+=($APP)
    wait_for 60 shown || not_shown "the installed program did not start in 60 s"
    "$WINE" taskkill /im tallimer.exe >/dev/null 2>&1
    expect_exit "closing the installed program" # and it has saved its options whole
    [ -s "$local_data/Tallimer/Settings.ini" ] || fail "no Settings.ini in the user's folder"
    [ "$(ls "$programs")" = "$(printf 'README.txt\ntallimer.exe\nuninstall.exe')" ] || fail "the program folder holds $(ls "$programs")"

    # A newer version over it, with the start at sign-in asked for, while the installed copy and
    # a portable one run: the installed one is closed, saving, the portable one goes on.
    cp "$local_data/Tallimer/Settings.ini" "$WORK/settings-before"
    makensis -V1 -DVERSION=9.9.9 -DARCH="$(basename "$INSTALLER" .exe | cut -d- -f4)" -DPROGRAM="$(readlink -f "$2")" \
        -DREADME="$programs/README.txt" -DICON="$HERE/../../resources/tallimer.ico" \
        -DOUTFILE="$WORK/newer-setup.exe" "$HERE/../../packaging/tallimer.nsi"
    mkdir -p "$WORK/portable" && cp "$2" "$WORK/portable/tallimer.exe"
    (cd /tmp && exec "$WINE" "$WORK/portable/tallimer.exe") >/dev/null 2>&1 &
    PORTABLE=$!
    PIDS+=($PORTABLE)
    # start_installed PROGRAM: the installed program, until it runs beside the portable one.
    start_installed() {
        (cd /tmp && exec "$WINE" "$1") >/dev/null 2>&1 &
        APP=$!
        PIDS+=($APP)
        wait_for 30 bash -c "[ \$(xdotool search --onlyvisible --name '^Tallimer\$' | wc -l) -eq 2 ]" ||
            fail "$1 and the portable program do not both run"
    }
    start_installed "$target"
    "$WINE" "$WORK/newer-setup.exe" /S /AUTOSTART=1 || fail "the upgrade failed"
    expect_exit "the upgrade's closing the installed program"
    [ "$(installed_version)" = 9.9.9 ] && at_sign_in || fail "the upgrade did not take"
    cmp -s "$local_data/Tallimer/Settings.ini" "$WORK/settings-before" || fail "the upgrade changed Settings.ini"
    # The older one over it, silently: refused, and nothing changed.
    status=0
    "$WINE" "$INSTALLER" /S || status=$?
    [ $status -eq 2 ] && [ "$(installed_version)" = 9.9.9 ] ||
        fail "an older installer over a newer one ended with $status, leaving $(installed_version)"

    # A silent uninstall returns when the program is gone; only its own file and the folder go
    # a moment later, once it has ended.
    start_installed "$target"
    "$WINE" "$programs/uninstall.exe" /S || fail "the silent uninstall failed"
    [ ! -e "$programs/tallimer.exe" ] && [ -z "$(installed_version)" ] && [ ! -e "$menu/Tallimer.lnk" ] &&
        ! at_sign_in || fail "the uninstall returned, leaving $(ls "$programs") or its entry or shortcuts"
    expect_exit "the uninstall's closing the installed program"
    wait_for 10 bash -c "! [ -e '$programs' ]" || fail "the uninstall left $(ls "$programs")"
    cmp -s "$local_data/Tallimer/Settings.ini" "$WORK/settings-before" || fail "the uninstall took Settings.ini"

    # Installed into a folder of the user's choice, it is still an installed copy.
    "$WINE" "$INSTALLER" /S '/D=C:\Tools\Tallimer' || fail "the install into C:\Tools\Tallimer failed"
    chosen="$WINEPREFIX/drive_c/Tools/Tallimer"
    start_installed "$chosen/tallimer.exe"
    "$WINE" "$chosen/uninstall.exe" /S || fail "the silent uninstall from C:\Tools\Tallimer failed"
    expect_exit "the uninstall's closing the program in C:\Tools\Tallimer"
    ! [ -e "$chosen/Settings.ini" ] || fail "the copy installed into C:\Tools\Tallimer counts as portable"
    kill -0 "$PORTABLE" 2>/dev/null || fail "an install or an uninstall closed the portable copy"
    echo "PASS: $(basename "$INSTALLER"): installed, started from its shortcut, upgraded and uninstalled beside a portable copy, installed into a folder of its own"
    exit 0
fi

BUILD_DIR=$(readlink -f "$2")
# The tarball: a portable folder, its desktop entry starting this folder's program.
desktop-file-validate "$HERE/../../resources/tallimer.desktop" || fail "the desktop entry does not validate"
(cd "$BUILD_DIR" && cpack -G TGZ -B "$WORK/package" >/dev/null && cpack -G DEB -B "$WORK/package" >/dev/null) ||
    fail "cpack failed"
tarball=$(ls "$WORK"/package/tallimer-*.tar.gz)
mkdir -p "$WORK/unpacked"
tar -xzf "$tarball" -C "$WORK/unpacked"
FOLDER=$(ls -d "$WORK"/unpacked/tallimer-*)
for file in tallimer tallimer.png README.txt tallimer.desktop install-desktop-entry.sh \
    icons/hicolor/16x16/apps/tallimer.png icons/hicolor/48x48/apps/tallimer.png; do
    [ -e "$FOLDER/$file" ] || fail "the tarball lacks $file"
done
env -u XDG_DATA_HOME HOME="$WORK/home" "$FOLDER/install-desktop-entry.sh" >/dev/null
grep -q "^Exec=\"$FOLDER/tallimer\"$" "$WORK/home/.local/share/applications/tallimer.desktop" ||
    fail "the installed desktop entry does not start this folder's program"

# The Debian package: the system's layout, clean for lintian and the validators.
deb=$(ls "$WORK"/package/tallimer_*.deb)
expected="./usr/bin/tallimer ./usr/share/applications/org.tallimer.Tallimer.desktop
./usr/share/doc/tallimer/changelog.gz ./usr/share/doc/tallimer/copyright
./usr/share/icons/hicolor/16x16/apps/tallimer.png ./usr/share/icons/hicolor/32x32/apps/tallimer.png
./usr/share/icons/hicolor/48x48/apps/tallimer.png ./usr/share/man/man1/tallimer.1.gz
./usr/share/metainfo/org.tallimer.Tallimer.metainfo.xml ./usr/share/tallimer/installed"
[ "$(dpkg-deb -c "$deb" | awk '!/\/$/ { print $6 }' | sort | xargs)" = "$(echo $expected)" ] ||
    fail "the package holds $(dpkg-deb -c "$deb")"
dpkg-deb -f "$deb" Depends | grep -q "libqt6widgets6" || fail "no dependencies from the program file"
lintian --tag-display-limit 0 "$deb" >"$WORK/lintian.log" 2>&1 || true
! grep -E "^E: " "$WORK/lintian.log" || fail "lintian finds errors"
dpkg-deb -x "$deb" "$WORK/root"
appstreamcli validate --no-net "$WORK"/root/usr/share/metainfo/*.xml >/dev/null || fail "the metainfo does not validate"
desktop-file-validate "$WORK"/root/usr/share/applications/*.desktop || fail "the package's desktop entry does not validate"

printf '[Options]\r\nAutoStart=1\r\nInterval=0\r\n' >"$FOLDER/Settings.ini"
"$FOLDER/tallimer" >"$WORK/program.log" 2>&1 &
APP=$!
PIDS+=($APP)
wait_for 15 shown || not_shown "the unpacked program shows no window in 15 s"
wait_for 5 test -s "$FOLDER/uptime.txt" || fail "the unpacked program writes no uptime.txt"
"$WM_CLOSE" "$(shown)"
expect_exit "closing the unpacked program"

# The package's program, as a user who is not root, writes only into that user's folder (and
# the runtime folder and cache the desktop gives it): root's test runs it as nobody.
user="$WORK/user"
mkdir -p -m 700 "$user/runtime"
not_root=()
if [ "$(id -u)" -eq 0 ]; then
    chown -R nobody:nogroup "$user" && chmod 755 "$WORK"
    not_root=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
FOLDER="$WORK/root/usr/bin"
"${not_root[@]}" env -u XDG_CONFIG_HOME -u XDG_CACHE_HOME -u XDG_DATA_HOME \
    HOME="$user" XDG_RUNTIME_DIR="$user/runtime" \
    strace -f -qq -o "$user/trace" -e trace=open,openat,creat,mkdir,mkdirat,rename,renameat,renameat2 \
    "$FOLDER/tallimer" >"$WORK/program.log" 2>&1 &
APP=$!
PIDS+=($APP)
wait_for 15 shown || not_shown "the package's program shows no window in 15 s"
"$WM_CLOSE" "$(shown)"
expect_exit "closing the package's program"
[ -s "$user/.config/tallimer/Settings.ini" ] || fail "no Settings.ini in $user/.config/tallimer"
outside=$(written "$user/trace" | grep -v -E "^($user/\.config\$|$user/\.config/tallimer|$user/runtime|$user/\.cache|/dev/)" || true)
[ -z "$outside" ] || fail "the package's program wrote outside the user's folder: $outside"
echo "PASS: the tarball, and $(basename "$deb"), whose program keeps its files per user"
