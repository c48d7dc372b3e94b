#!/usr/bin/env bash
# Builds the two libFuzzer targets (the "fuzz" preset: clang and the sanitizers) and runs them.
#
#   fuzz/run.sh [SECONDS]   explore: both targets, half the time each (default 600 in all), with
#                           random seeds; the corpus grows in build-fuzz/corpus-<target>/ and
#                           inputs that fail land in build-fuzz/findings/. Keep each one as
#                           fuzz/corpus/regression-<what>.xls once its cause is mended.
#   fuzz/run.sh --check     what scripts/test.sh runs, the same on every run of a commit: every
#                           kept input (fuzz/corpus/ and tests/data/real-xls/) once through both
#                           targets, then a short round with a fixed seed and a fixed number of runs.
#
# PELLIX_FUZZ_BUILD chooses the build folder (default build-fuzz).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${PELLIX_FUZZ_BUILD:-$root/build-fuzz}
case "$build" in /*) ;; *) build="$PWD/$build" ;; esac
mode=explore
seconds=600
case "${1:-}" in
  --check) mode=check ;;
  "") ;;
  *) seconds=$1 ;;
esac

cmake --preset fuzz -S "$root" -B "$build" >/dev/null
cmake --build "$build" -j2 --target pellix_fuzz_workbook pellix_fuzz_workbook_write

# libgsf leaks on one kind of damaged directory (tests/lsan.supp); only a full unwind lets the
# suppression see the frame inside it.
export LSAN_OPTIONS="suppressions=$root/tests/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export ASAN_OPTIONS="fast_unwind_on_malloc=0${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
targets=(pellix_fuzz_workbook pellix_fuzz_workbook_write)
kept=("$root"/fuzz/corpus/*.xls "$root"/tests/data/real-xls/*.xls)
limits=(-max_len=262144 -rss_limit_mb=2048 -print_final_stats=1)

# One folder per seed file, given in sorted order: libFuzzer orders its seeds by size only, and
# files of equal size would otherwise come in the order the file system lists them.
seed_folders() {
  local into=$1 n=0 file
  mkdir -p "$into"
  for file in "${kept[@]}"; do
    n=$((n + 1))
    mkdir -p "$into/$(printf %04d $n)"
    cp "$file" "$into/$(printf %04d $n)/"
  done
  printf '%s\n' "$into"/[0-9]*
}

if [ "$mode" = check ]; then
  # The round is the same on every run and in every clone: no comparison operands fed to the
  # mutations (-use_cmp=0: some are addresses, which depend on the folder's path and on address
  # randomisation, switched off too where the system allows it), and no once-a-second reload of
  # the output folder (-reload=0).
  fixed=()
  if setarch -R true 2>/dev/null; then fixed=(setarch -R); fi
  work=$(mktemp -d "$build/check.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  mapfile -t seeds < <(seed_folders "$work/seeds")
  declare -A runs=([pellix_fuzz_workbook]=20000 [pellix_fuzz_workbook_write]=8000)
  for target in "${targets[@]}"; do
    echo "-- $target: ${#kept[@]} kept inputs once each"
    "$build/fuzz/$target" -timeout=60 -artifact_prefix="$work/" "${kept[@]}" >"$work/$target.replay" 2>&1 \
      || { cat "$work/$target.replay"; echo "FAILED: $target on a kept input" >&2; exit 1; }
    echo "-- $target: seed 1, ${runs[$target]} runs"
    mkdir -p "$work/new-$target"
    if ! "${fixed[@]}" "$build/fuzz/$target" -seed=1 -runs="${runs[$target]}" -use_cmp=0 -reload=0 -timeout=60 "${limits[@]}" \
         -artifact_prefix="$build/findings-" "$work/new-$target" "${seeds[@]}" >"$work/$target.log" 2>&1; then
      tail -n 60 "$work/$target.log"
      echo "FAILED: $target with seed 1; the input is in $build/findings-*" >&2
      exit 1
    fi
    grep -E '^#[0-9]+[[:space:]]+DONE' "$work/$target.log"
  done
  exit 0
fi

mkdir -p "$build/findings"
status=0
for target in "${targets[@]}"; do
  corpus="$build/corpus-${target#pellix_fuzz_}"
  rm -rf "$corpus/seeds"
  seed_folders "$corpus/seeds" >/dev/null
  mkdir -p "$corpus/found"
  seed=$(od -An -N4 -tu4 /dev/urandom | tr -d ' ')
  echo "-- $target: seed $seed, $((seconds / 2)) seconds"
  start=$(date +%s)
  "$build/fuzz/$target" -seed="$seed" -max_total_time=$((seconds / 2)) -timeout=10 "${limits[@]}" \
    -artifact_prefix="$build/findings/${target#pellix_fuzz_}-" "$corpus/found" "$corpus"/seeds/* \
    >"$build/$target.log" 2>&1 || status=1
  tail -n 12 "$build/$target.log"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$build/$target.log")
  echo "$(date -u +%FT%TZ) $target seed=$seed seconds=$(($(date +%s) - start)) runs=${runs:-?} exit=$status" \
    | tee -a "$build/fuzz-log"
done
[ "$status" = 0 ] || echo "A target failed: see $build/findings/ and $build/*.log" >&2
exit "$status"
