#!/bin/bash
# Installs what is missing (a compiler, CMake, Allegro and its PNG add-on),
# builds the game with its datafile and level, and plays it.
set -euo pipefail
cd "$(dirname "$0")"
scripts/setup.sh --play build
exec build/tolbrint "$@"
