#!/usr/bin/env bash
# Builds Pellix and starts it on the sample program folder in build/app/.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

build=${PELLIX_BUILD_DIR:-build}
cmake --preset default -B "$build" >/dev/null
cmake --build "$build" -j2 --target pellix pellix-xls pellix_sample_folder
exec "$build/app/pellix" "$@"
