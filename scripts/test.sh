#!/usr/bin/env bash
# Builds Pellix and runs every test: unit tests, the workbook round trips against an independent
# reader, the window tests offscreen and under Xvfb, and the sanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=${PELLIX_BUILD_DIR:-build}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2
(cd "$build" && ctest --output-on-failure -j2 --timeout 600)
