#!/bin/sh
# Builds pellix-bench (Release) and runs it: commit/N and floor/N for 10, 500 and 2060 turns.
# usage: bench/run.sh [benchmark options...]   e.g. --benchmark_repetitions=5
# PELLIX_BENCH_DIR chooses the folder of the workbooks (default: the system's temporary folder).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PELLIX_BENCH_BUILD:-$root/build-bench}
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DPELLIX_GUI=OFF -DPELLIX_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target pellix-bench
exec "$build/bench/pellix-bench" "$@"
