#!/bin/bash
# Installs what is missing, builds the game and runs every test.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh build
cd build
ctest --output-on-failure --no-label-summary -j2
