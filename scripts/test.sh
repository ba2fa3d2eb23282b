#!/usr/bin/env bash
# Builds Tallimer twice (warnings as errors; AddressSanitizer and UndefinedBehaviorSanitizer)
# and runs the whole test suite in both builds.
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# shellcheck disable=SC2086
ensure_packages $BUILD_PACKAGES $RUN_PACKAGES $DESKTOP_TEST_PACKAGES

build "$ROOT/build" -DTALLIMER_WERROR=ON
build "$ROOT/build-sanitize" -DTALLIMER_WERROR=ON -DTALLIMER_SANITIZE=ON -DTALLIMER_BENCHMARKS=OFF

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export LSAN_OPTIONS=suppressions=$ROOT/tests/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
status=0
for dir in build build-sanitize; do
    echo "== tests in $dir"
    ctest --test-dir "$ROOT/$dir" --output-on-failure -j 2 || status=1
done
exit $status
