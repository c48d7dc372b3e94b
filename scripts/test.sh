#!/usr/bin/env bash
# Builds Pellix and runs every test: the unit tests, the workbook round trips against an
# independent reader, the window tests offscreen and under Xvfb, the whole game end to end; then a
# short fuzzing run of the workbook engine and the whole suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer.
#
#   scripts/test.sh            everything (as CI runs it)
#   PELLIX_QUICK=1 scripts/test.sh    only the first build and its tests
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=${PELLIX_BUILD_DIR:-build}
echo "== Build and test ($build)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2
(cd "$build" && ctest --output-on-failure -j2 --timeout 600)

[ "${PELLIX_QUICK:-0}" = 1 ] && exit 0

echo "== Fuzz the workbook engine for 60 seconds"
PELLIX_FUZZ_BUILD="$PWD/$build-fuzz" fuzz/run.sh 60 2>&1 | tail -n 15

echo "== The same tests under AddressSanitizer and UndefinedBehaviorSanitizer ($build-asan)"
cmake -S . -B "$build-asan" -DCMAKE_BUILD_TYPE=Debug -DPELLIX_SANITIZE=ON -DPELLIX_BENCH=OFF >/dev/null
cmake --build "$build-asan" -j2
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
(cd "$build-asan" && ctest --output-on-failure -j2 --timeout 900 -E '^e2e\.')
