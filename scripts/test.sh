#!/usr/bin/env bash
# The whole test suite: builds Tallimer twice (warnings as errors; AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs every test in both builds, the real-desktop tests
# included; builds the core and its tests as i686 and x86_64 Windows executables and runs
# them under Wine; then fuzzes the settings reader and writer for a bounded time and checks
# the sources with clang-format and clang-tidy.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# shellcheck disable=SC2086
ensure_packages $BUILD_PACKAGES $RUN_PACKAGES $DESKTOP_TEST_PACKAGES $CHECK_PACKAGES
ensure_windows_packages
cd "$ROOT"
status=0
step() {
    echo
    echo "== $*"
}

step "format (clang-format)"
mapfile -t sources < <(git ls-files '*.cpp' '*.h')
clang-format --dry-run --Werror "${sources[@]}" || status=1

for preset in linux linux-sanitize; do
    build "$preset" || status=1
    step "tests in the $preset build"
    ctest --preset "$preset" || status=1
done

step "the Windows programs and the core as Windows executables"
for arch in i686 x86_64; do
    build "windows-$arch" || status=1
done
start_wine
trap 'wineserver -k 2>/dev/null || true' EXIT
ctest --preset windows-x86_64 || status=1
if runs_32_bit_code; then
    ctest --preset windows-i686 || status=1
else
    echo "The i686 tests are built but not run: this machine runs no 32-bit x86 code."
fi
wineserver -k 2>/dev/null || true
for arch in i686 x86_64; do
    (cd "$ROOT/build-windows-$arch" && cpack >/dev/null) || status=1
    # Read whole, not piped into grep -q: an unbuffered Python dies of the pipe grep closes.
    /usr/bin/python3 -c 'import sys, zipfile
sys.exit(not any(n.endswith("/tallimer.exe") for n in zipfile.ZipFile(sys.argv[1]).namelist()))' \
        "$ROOT/build-windows-$arch"/package/tallimer-*-windows-$arch.zip || status=1
done

step "fuzzing the settings reader and writer for ${FUZZ_SECONDS:=30} s"
build fuzz >/dev/null
found=$(mktemp -d)
# Every write of the settings file is flushed to disk; in memory that costs nothing.
[ -d /dev/shm ] && [ -w /dev/shm ] && export TMPDIR=/dev/shm
"$ROOT/build-fuzz/tests/fuzz/profile_fuzzer" -max_total_time="$FUZZ_SECONDS" -print_final_stats=1 \
    "$found" "$ROOT/tests/fuzz/corpus" 2>"$found.log" || {
    tail -40 "$found.log"
    status=1
}
grep -E "stat::number_of_executed_units|Done" "$found.log" || true
rm -rf "$found" "$found.log"

step "static analysis (clang-tidy)"
run-clang-tidy-14 -p "$ROOT/build" -quiet -j "$(nproc)" "$ROOT/(src|tests)/.*\.cpp$" \
    >"$ROOT/build/clang-tidy.log" 2>&1 || {
    grep -E "error:|warning:" "$ROOT/build/clang-tidy.log" | sort -u
    status=1
}

echo
[ $status -eq 0 ] && echo "All checks passed." || echo "Some checks FAILED."
exit $status
