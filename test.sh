#!/bin/bash
# Installs what is missing, builds the game and runs every test: the unit
# tests once more under AddressSanitizer and UndefinedBehaviorSanitizer, a
# minute of fuzzing shared by the level loader and the datafile check and a
# minute of the replay reader, then cross-builds the Windows zip, and last
# runs the whole suite, the zip's tests under Wine too, so that the output
# ends with its summary.
set -euo pipefail
cd "$(dirname "$0")"

# A finding stops the test with a stack trace.
export UBSAN_OPTIONS=print_stacktrace=1
# The generators that run during the build (datafile, icons) keep what they
# load until they exit; their leaks are not the game's, so only the tests
# below look for leaks.
ASAN_OPTIONS=detect_leaks=0 scripts/setup.sh build-sanitize -DTOLBRINT_SANITIZE=ON -DTOLBRINT_BENCH=OFF
echo "== Unit tests under the sanitizers"
(cd build-sanitize && ctest -L unit --output-on-failure --no-label-summary -j2)

echo "== Fuzzing the level loader, the datafile check, the replay reader and the score reader"
fuzz/run.sh 60

echo "== Cross-building for Windows (its Wine tests run with every test)"
scripts/windows.sh build

echo "== Every test"
scripts/setup.sh build
cd build
ctest --output-on-failure --no-label-summary -j2
