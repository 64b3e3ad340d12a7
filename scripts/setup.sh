#!/bin/bash
# Installs what is missing, then configures and builds into build/.
# Safe to run again: installed packages and up-to-date builds are left alone.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  g++ cmake make pkg-config
  liballegro4-dev libloadpng4-dev
  libgtest-dev libbenchmark-dev
  xvfb xdotool x11-apps x11-utils x11-xserver-utils imagemagick xauth
  clang valgrind
  libtinyxml2-dev tiled
)

missing=()
for package in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

BUILD_DIR=${1:-build}
shift || true
if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
fi
cmake --build "$BUILD_DIR" -j"$(nproc)"
