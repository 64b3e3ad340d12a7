#!/bin/bash
# Installs what is missing, builds the game and plays it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh build
exec build/tolbrint "$@"
