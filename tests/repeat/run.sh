#!/bin/bash
# Runs the end-to-end tests over and over, one at a time as CTest runs them,
# while the unit tests run at -j2 beside them, and reports every failure: a
# test that fails only now and then under load is a flaky wait.
#   tests/repeat/run.sh [BUILD_DIR] [RUNS [CTEST ARGUMENTS...]]
# BUILD_DIR defaults to build, RUNS to 20; further arguments go to the
# CTest that runs the end-to-end tests, for example -R e2e_play. Each run's
# log is kept in a scratch directory, named at the end. Not part of CI: a run
# of all of them takes about nine minutes.
set -uo pipefail
BUILD_DIR=$(cd "${1:-build}" && pwd) || exit 2
RUNS=${2:-20}
shift 2 2>/dev/null || shift $#
LOGS=$(mktemp -d /tmp/tolbrint-repeat-XXXXXX)
STOP=$LOGS/stop-unit-tests

unit_tests_until_stopped() {
    while [ ! -e "$STOP" ]; do
        ctest --test-dir "$BUILD_DIR" -L unit -j2 >/dev/null 2>&1
    done
}

failures=0
for run in $(seq 1 "$RUNS"); do
    rm -f "$STOP"
    unit_tests_until_stopped &
    beside=$!
    started=$(date +%s)
    ctest --test-dir "$BUILD_DIR" -L e2e --output-on-failure --no-label-summary "$@" >"$LOGS/run$run.log" 2>&1
    touch "$STOP"
    wait "$beside"
    failed=$(grep -E '^\s+[0-9]+ - ' "$LOGS/run$run.log" | sed -E 's/^\s+[0-9]+ - //' | paste -sd' ')
    [ -z "$failed" ] || failures=$((failures + 1))
    echo "run $run ($(($(date +%s) - started)) s): $(grep -E 'tests passed' "$LOGS/run$run.log")${failed:+; failed: $failed}"
done
echo "$failures of $RUNS runs had a failure; logs in $LOGS"
[ "$failures" = 0 ]
