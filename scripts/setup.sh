#!/bin/bash
# Installs what is missing, then configures and builds.
#   scripts/setup.sh --play BUILD_DIR   what playing needs: the game, its
#                                       datafile and the level
#   scripts/setup.sh BUILD_DIR [CMAKE_ARGS...]
#                                       everything: the tools, the tests, the
#                                       benchmarks, the man pages and the package
# Safe to run again: installed packages and up-to-date builds are left alone.
set -euo pipefail
cd "$(dirname "$0")/.."

# Building and playing.
PLAY_PACKAGES=(
  g++ cmake make pkg-config
  liballegro4-dev libloadpng4-dev
)
# The Tiled tool, the tests, benchmarks and fuzzing, the man pages and the
# Debian package with the checks made on it.
TEST_PACKAGES=(
  # ALSA, whose file and null plugins the sound tests record through
  libasound2
  libgtest-dev libbenchmark-dev
  xvfb xdotool x11-apps x11-utils x11-xserver-utils imagemagick xauth
  clang valgrind
  libtinyxml2-dev tiled
  help2man groff man-db dpkg-dev file lintian appstream desktop-file-utils
)

play=false
if [ "${1:-}" = --play ]; then
  play=true
  shift
fi
PACKAGES=("${PLAY_PACKAGES[@]}")
$play || PACKAGES+=("${TEST_PACKAGES[@]}")

source scripts/packages.bash
install_missing "${PACKAGES[@]}"

BUILD_DIR=${1:-build}
shift || true
cache="$BUILD_DIR/CMakeCache.txt"
if $play; then
  # A tree set up for the tests is used as it is; a new one leaves them out.
  [ -f "$cache" ] || cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DTOLBRINT_TESTS=OFF -DTOLBRINT_BENCH=OFF
  cmake --build "$BUILD_DIR" -j"$(nproc)" --target tolbrint
else
  # A tree first set up for playing gets the tests and benchmarks switched on.
  if [ ! -f "$cache" ] || grep -q '^TOLBRINT_TESTS:BOOL=OFF' "$cache" || [ $# -gt 0 ]; then
    cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTOLBRINT_TESTS=ON -DTOLBRINT_BENCH=ON "$@"
  fi
  cmake --build "$BUILD_DIR" -j"$(nproc)"
fi
