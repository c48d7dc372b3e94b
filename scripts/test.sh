#!/usr/bin/env bash
# Builds Pellix and runs every test: the unit tests, the workbook round trips against an
# independent reader, the window tests offscreen and under Xvfb, the whole game end to end; then
# the fuzz targets over every kept input and a short fuzzing round with a fixed seed (the same
# on every run), and the whole suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
# The build settings are the presets of CMakePresets.json (default, fuzz, asan).
#
#   scripts/test.sh            everything (as CI runs it)
#   PELLIX_QUICK=1 scripts/test.sh    only the first build and its tests
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=${PELLIX_BUILD_DIR:-build}
echo "== Build and test ($build)"
cmake --preset default -B "$build" >/dev/null
cmake --build "$build" -j2
(cd "$build" && ctest --output-on-failure -j2 --timeout 600)

[ "${PELLIX_QUICK:-0}" = 1 ] && exit 0

echo "== The fuzz targets over every kept input, then a fixed-seed round ($build-fuzz)"
PELLIX_FUZZ_BUILD="$PWD/$build-fuzz" fuzz/run.sh --check

echo "== The same tests under AddressSanitizer and UndefinedBehaviorSanitizer ($build-asan)"
cmake --preset asan -B "$build-asan" >/dev/null
cmake --build "$build-asan" -j2
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp"
(cd "$build-asan" && ctest --output-on-failure -j2 --timeout 900 -E '^e2e\.')
