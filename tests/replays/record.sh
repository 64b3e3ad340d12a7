#!/usr/bin/env bash
# Records the golden replays again from their scripts, for a change that is
# meant to alter how the game plays (or its version, or its art):
#   tests/replays/record.sh [BUILD_DIR]
# Say in the commit which replays changed, and why.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
cd "$root"
cmake --build "$build" --target tolbrint-replay
for script in tests/replays/*.txt; do
    "$build/tolbrint-replay" "$script" "${script%.txt}.tbr"
done
