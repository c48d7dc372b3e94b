#!/usr/bin/env bash
# Plays the end-to-end game slowly in a visible window on this desktop, for a person to watch.
# The program is driven with real mouse events: keep your hands off the mouse meanwhile.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${PELLIX_BUILD_DIR:-build}
cmake --build "$build" -j2 --target pellix pellix_sample_folder
exec /usr/bin/python3 tests/e2e/whole_game.py --slow --app "$build/app" --sample assets/sample --artifacts "$build/e2e-watch" "$@"
