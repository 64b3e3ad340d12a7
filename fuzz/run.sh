#!/usr/bin/env bash
# Builds the level loader's fuzz target with clang in its own build directory
# and runs it for a bounded time: fuzz/run.sh [SECONDS] (default 60).
# Exits non-zero when the fuzzer finds a crash; the input is saved in the
# build directory's fuzz-findings/.
set -euo pipefail

seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build=${TOLBRINT_FUZZ_BUILD:-$root/build-fuzz}

cmake -S "$root" -B "$build" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLBRINT_FUZZ=ON -DTOLBRINT_TESTS=OFF -DTOLBRINT_BENCH=OFF
cmake --build "$build" --target level_fuzz -j"$(nproc)"

# New inputs go to a scratch corpus; the seeds in the repository stay as they are.
corpus="$build/fuzz-corpus"
findings="$build/fuzz-findings"
mkdir -p "$corpus" "$findings"
"$build/fuzz/level_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "$root/fuzz/corpus"
