#!/bin/sh
# Builds the fuzz target with clang and runs it. usage: fuzz/run.sh [SECONDS] (default 600)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
root=$(dirname "$here")
build=${PELLIX_FUZZ_BUILD:-$root/build-fuzz}
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac
seconds=${1:-600}
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DPELLIX_FUZZ=ON -DPELLIX_SANITIZE=ON -DPELLIX_GUI=OFF \
  -DPELLIX_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j2 --target pellix_fuzz_workbook
work="$build/fuzz-corpus"
mkdir -p "$work"
cp -n "$root"/../shared/corpus/real-xls/*.xls "$here"/corpus/* "$work"/ 2>/dev/null || true
cd "$build"
# libgsf leaks on some damaged directories (see tests/lsan.supp); a full unwind lets the
# suppression see that the leak is inside it.
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export ASAN_OPTIONS="fast_unwind_on_malloc=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
exec ./fuzz/pellix_fuzz_workbook -max_total_time="$seconds" -max_len=262144 -rss_limit_mb=2048 \
  -timeout=10 -print_final_stats=1 "$work"
