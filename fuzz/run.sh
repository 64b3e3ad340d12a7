#!/usr/bin/env bash
# Builds the fuzz targets with clang in their own build directory and runs
# them one after the other: fuzz/run.sh [SECONDS] (default 60) gives half of
# SECONDS to the level loader and half to the datafile check, SECONDS again
# to the replay reader and half of it to the music's score reader. Run one
# target alone with fuzz/run.sh SECONDS level|datafile|replay|score.
# Exits non-zero when a fuzzer finds a crash; the input is saved in the build
# directory's fuzz-findings/.
set -euo pipefail

seconds=${1:-60}
only=${2:-}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TOLBRINT_FUZZ_BUILD:-$root/build-fuzz}

cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLBRINT_FUZZ=ON -DTOLBRINT_TESTS=OFF -DTOLBRINT_BENCH=OFF
# The datafile check's seeds: the built datafile and the ones Allegro's dat
# tool rebuilt from it.
cmake --build "$build" --target level_fuzz datafile_fuzz replay_fuzz score_fuzz gamedata dat_made -j"$(nproc)"

findings="$build/fuzz-findings"
mkdir -p "$findings"

# Runs one target for its share of the time. New inputs go to a scratch
# corpus; the seeds stay as they are.
run_target() {
    local target=$1 share=$2
    shift 2
    local corpus="$build/fuzz-corpus-$target"
    # A time of 0 would mean no limit at all.
    ((share > 0)) || share=1
    mkdir -p "$corpus"
    echo "== Fuzzing $target for $share s"
    "$build/fuzz/${target}_fuzz" -max_total_time="$share" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$findings/$target-" "$corpus" "$@"
}

datafile_seeds="$build/fuzz-seeds-datafile"
mkdir -p "$datafile_seeds"
cp "$build/tolbrint.dat" "$build"/dat-made/*.dat "$datafile_seeds/"

# The replay reader's seeds: the golden replays of the tests.
replay_seeds="$root/tests/replays"

case $only in
  level) run_target level "$seconds" "$root/fuzz/corpus" ;;
  datafile) run_target datafile "$seconds" "$datafile_seeds" ;;
  replay) run_target replay "$seconds" "$replay_seeds" ;;
  score) run_target score "$seconds" "$root/sounds/music" ;;
  "")
    run_target level $((seconds / 2)) "$root/fuzz/corpus"
    run_target datafile $((seconds - seconds / 2)) "$datafile_seeds"
    run_target replay "$seconds" "$replay_seeds"
    run_target score $((seconds / 2)) "$root/sounds/music"
    ;;
  *) echo "fuzz/run.sh: no fuzz target called $only (level, datafile, replay or score)" >&2; exit 2 ;;
esac
