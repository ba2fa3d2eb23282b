#!/usr/bin/env bash
# The whole test suite: builds Tallimer twice (warnings as errors; AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test in both builds, the real-desktop tests
# included; builds the core and its tests as i686 and x86_64 Windows executables and runs
# them under Wine; then fuzzes the settings reader and writer for a bounded time and checks
# the sources with clang-format and clang-tidy.
# TALLIMER_TEST_SKIP may name steps to leave out, of: sanitize (the second build and its
# tests), shells (the desktops people run), fuzz, tidy. CI's run on a second Debian release
# leaves out what that release does not change.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# How long the settings reader and writer are fuzzed, in seconds.
FUZZ_SECONDS=${FUZZ_SECONDS:-30}

# shellcheck disable=SC2086
ensure_packages $BUILD_PACKAGES $RUN_PACKAGES $DESKTOP_TEST_PACKAGES $CHECK_PACKAGES
ensure_windows_packages
shells_here=false
if [ "$DEBIAN_RELEASE" = "$SHELL_RELEASE" ] && [[ " ${TALLIMER_TEST_SKIP:-} " != *" shells "* ]]; then
    # shellcheck disable=SC2086
    NO_RECOMMENDS=1 ensure_packages $SHELL_PACKAGES
    shells_here=true
fi
cd "$ROOT"
echo "== packages: $SECONDS s"
status=0

# step NAME TITLE: runs the function NAME under the title, unless TALLIMER_TEST_SKIP names it.
step() {
    echo
    if [[ " ${TALLIMER_TEST_SKIP:-} " == *" $1 "* ]]; then
        echo "== SKIPPED by TALLIMER_TEST_SKIP: $2"
        return 0
    fi
    echo "== $2"
    local started=$SECONDS
    "$1" || status=1
    echo "== $1: $((SECONDS - started)) s"
}

format() {
    local sources
    mapfile -t sources < <(git ls-files '*.cpp' '*.h')
    clang-format --dry-run --Werror "${sources[@]}"
}

linux() {
    build linux && ctest --preset linux -LE shells
}

# One after another: each desktop takes the machine's cores to start.
shells() {
    if ! $shells_here; then
        echo "NOT RUN: the desktops' scenarios run on Debian $SHELL_RELEASE, whose desktops they" \
            "were made with; this is Debian $DEBIAN_RELEASE."
        return 0
    fi
    build linux && ctest --preset linux -L shells --parallel 1
}

sanitize() {
    build linux-sanitize && ctest --preset linux-sanitize
}

windows() {
    local arch result=0
    local -x WINEPREFIX # the project's own (start_wine), for this step alone
    for arch in i686 x86_64; do
        build "windows-$arch" || result=1
    done
    start_wine
    ctest --preset windows-x86_64 || result=1
    if runs_32_bit_wine; then
        ctest --preset windows-i686 || result=1
    else
        echo "NOT RUN: the i686 tests (the i686 programs are built and packaged):" \
            "${WINE32_MISSING:-the 32-bit loader of Wine does not start}."
    fi
    stop_wine
    for arch in i686 x86_64; do
        (cd "$ROOT/build-windows-$arch" && cpack >/dev/null) || result=1
        # Read whole, not piped into grep -q: an unbuffered Python dies of the pipe grep closes.
        /usr/bin/python3 -c 'import sys, zipfile
sys.exit(not any(n.endswith("/tallimer.exe") for n in zipfile.ZipFile(sys.argv[1]).namelist()))' \
            "$ROOT/build-windows-$arch"/package/tallimer-*-windows-$arch.zip || result=1
    done
    return $result
}

fuzz() {
    build fuzz >/dev/null || return 1
    local found result=0
    found=$(mktemp -d)
    # Every write of the settings file is flushed to disk; in memory that costs nothing.
    local scratch=${TMPDIR:-/tmp}
    [ -d /dev/shm ] && [ -w /dev/shm ] && scratch=/dev/shm
    TMPDIR=$scratch "$ROOT/build-fuzz/tests/fuzz/profile_fuzzer" -max_total_time="$FUZZ_SECONDS" \
        -print_final_stats=1 "$found" "$ROOT/tests/fuzz/corpus" 2>"$found.log" || {
        tail -40 "$found.log"
        result=1
    }
    grep -E "stat::number_of_executed_units|Done" "$found.log" || true
    rm -rf "$found" "$found.log"
    return $result
}

tidy() {
    run-clang-tidy -p "$ROOT/build" -quiet -j "$(nproc)" "$ROOT/(src|tests)/.*\.cpp$" \
        >"$ROOT/build/clang-tidy.log" 2>&1 || {
        grep -E "error:|warning:" "$ROOT/build/clang-tidy.log" | sort -u
        return 1
    }
}

# The Wine of the project's own prefix ends with the command, also after a Ctrl+C; a Wine of
# the user's own goes on.
trap stop_wine EXIT
echo "Debian $DEBIAN_RELEASE: $(clang-format --version | grep -o 'version [0-9.]*'), Qt" \
    "$(dpkg-query -W -f='${Version}' qt6-base-dev), Wine $(dpkg-query -W -f='${Version}' wine)"
step format "format (clang-format)"
step linux "tests in the linux build (warnings as errors)"
step sanitize "tests in the linux-sanitize build (AddressSanitizer, UndefinedBehaviorSanitizer)"
step shells "the notification area's scenarios on GNOME, KDE Plasma (X11, Wayland), Cinnamon, MATE"
step windows "the Windows programs and the core as Windows executables, under Wine"
step fuzz "fuzzing the settings reader and writer for $FUZZ_SECONDS s"
step tidy "static analysis (clang-tidy)"

echo
[ $status -eq 0 ] && echo "All checks passed." || echo "Some checks FAILED."
exit $status
