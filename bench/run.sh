#!/bin/sh
# Builds pellix-bench (the "bench" preset: Release, no window) and runs it: commit/N, commit_kept/N (with the
# version store), commit_relinked/N and floor/N for 10, 500 and 2060 turns; stats/2060 and stats_file/2060.
# usage: bench/run.sh [benchmark options...]   e.g. --benchmark_repetitions=5
# PELLIX_BENCH_DIR chooses the folder of the workbooks (default: the system's temporary folder).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PELLIX_BENCH_BUILD:-$root/build-bench}
cmake --preset bench -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2 --target pellix-bench
exec "$build/bench/pellix-bench" "$@"
