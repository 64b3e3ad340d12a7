#!/bin/bash
# Cross-builds the game for 64-bit Windows with mingw-w64 and packs it:
#   scripts/windows.sh [LINUX_BUILD_DIR]
# Installs what is missing, cross-builds Allegro once into
# build-windows/allegro-VERSION/ (kept for the next run), builds the game in
# build-windows/ and packs build-windows/tolbrint-VERSION-win64.zip. The
# datafiles are made by the Linux build's generators, in LINUX_BUILD_DIR
# (build/ by default), which is configured for playing if it does not exist.
# Safe to run again: what is up to date is left alone.
set -euo pipefail
cd "$(dirname "$0")/.."
SOURCE_DIR=$PWD
OUT=$SOURCE_DIR/build-windows
ALLEGRO_VERSION=4.4.3.1
ALLEGRO_DIR=$OUT/allegro-$ALLEGRO_VERSION
ALLEGRO_PREFIX=$ALLEGRO_DIR/install
ALLEGRO_PATCH=$SOURCE_DIR/dist/windows/allegro-$ALLEGRO_VERSION-win64-wine.patch
TOOLCHAIN=$SOURCE_DIR/cmake/mingw64.cmake

# The cross compilers and Windows' import libraries; Wine, an X server and
# the screenshot tools for the Wine tests.
PACKAGES=(
  g++-mingw-w64-x86-64-win32 mingw-w64-x86-64-dev cmake make zip
  wine64 wine xvfb xdotool x11-utils x11-apps imagemagick
)
source scripts/packages.bash
install_missing "${PACKAGES[@]}"

# --- Allegro, cross-built once ----------------------------------------------
# The stamp holds the patch's and the toolchain's checksums: a change to
# either builds Allegro again.
allegro_stamp=$(cat "$ALLEGRO_PATCH" "$TOOLCHAIN" | sha256sum | cut -d' ' -f1)
if [ "$(cat "$ALLEGRO_PREFIX/.built" 2>/dev/null)" != "$allegro_stamp" ]; then
  download=$ALLEGRO_DIR/download
  mkdir -p "$download"
  # Allegro's source comes from Debian's source package, of which only
  # upstream's tarball is used: the game applies its own patch, not Debian's
  # packaging. apt-get source fails when the Debian tarball or the .dsc
  # cannot be had (a mirror lacking it, no dpkg-source) even though the
  # .orig.tar.gz has arrived, so its exit code does not tell; the tarball does.
  have_tarball() { ls "$download"/allegro4.4_"$ALLEGRO_VERSION"*.orig.tar.* >/dev/null 2>&1; }
  fetch_tarball() {
    (cd "$download" && apt-get source --download-only allegro4.4 >/dev/null 2>"$download/apt.err") || true
    have_tarball
  }
  if ! have_tarball && ! fetch_tarball; then
    # apt finds source packages only through deb-src entries: the twins of
    # the system's own.
    if [ ! -e /etc/apt/sources.list.d/debian-src.sources ] && [ -f /etc/apt/sources.list.d/debian.sources ]; then
      echo "Adding deb-src entries for Allegro's source"
      sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources |
        $SUDO tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
    elif [ ! -e /etc/apt/sources.list.d/debian-src.list ] && [ -f /etc/apt/sources.list ]; then
      echo "Adding deb-src entries for Allegro's source"
      sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | $SUDO tee /etc/apt/sources.list.d/debian-src.list >/dev/null
    fi
    $SUDO apt-get update -qq
    if ! fetch_tarball; then
      echo "windows.sh: apt-get source allegro4.4 brought no allegro4.4_$ALLEGRO_VERSION.orig.tar.*; it said:" >&2
      cat "$download/apt.err" >&2
      exit 1
    fi
  fi
  echo "== Cross-building Allegro $ALLEGRO_VERSION"
  rm -rf "$ALLEGRO_DIR/src" "$ALLEGRO_DIR/build" "$ALLEGRO_PREFIX"
  mkdir -p "$ALLEGRO_DIR/src"
  tar -xf "$(ls "$download"/allegro4.4_"$ALLEGRO_VERSION"*.orig.tar.* | head -1)" \
    -C "$ALLEGRO_DIR/src" --strip-components=1
  (cd "$ALLEGRO_DIR/src" && patch -p1 -s <"$ALLEGRO_PATCH")
  # Static and bare: the game needs neither Allegro's add-ons nor its tools.
  cmake -S "$ALLEGRO_DIR/src" -B "$ALLEGRO_DIR/build" -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$ALLEGRO_PREFIX" \
    -DSHARED=off -DWANT_EXAMPLES=off -DWANT_TOOLS=off -DWANT_TESTS=off -DWANT_ALLEGROGL=off \
    -DWANT_LOADPNG=off -DWANT_LOGG=off -DWANT_JPGALLEG=off -DWANT_DOCS=off >"$ALLEGRO_DIR/configure.log" 2>&1 ||
    { cat "$ALLEGRO_DIR/configure.log"; exit 1; }
  cmake --build "$ALLEGRO_DIR/build" -j"$(nproc)" >"$ALLEGRO_DIR/build.log" 2>&1 ||
    { tail -40 "$ALLEGRO_DIR/build.log"; exit 1; }
  cmake --install "$ALLEGRO_DIR/build" >/dev/null
  [ -f "$ALLEGRO_PREFIX/lib/liballeg.a" ] && [ -f "$ALLEGRO_PREFIX/include/allegro.h" ] ||
    { echo "windows.sh: Allegro's install in $ALLEGRO_PREFIX lacks lib/liballeg.a or include/allegro.h" >&2; exit 1; }
  echo "$allegro_stamp" >"$ALLEGRO_PREFIX/.built"
fi
echo "Allegro for Windows: $ALLEGRO_PREFIX"

# --- The datafiles and the level, made by the Linux build's generators -------
LINUX_BUILD=${1:-build}
if [ -f "$LINUX_BUILD/CMakeCache.txt" ]; then
  cmake --build "$LINUX_BUILD" -j"$(nproc)" --target gamedata
else
  scripts/setup.sh --play "$LINUX_BUILD"
fi

# --- The game ----------------------------------------------------------------
echo "== Cross-building tolbrint.exe"
if [ ! -f "$OUT/CMakeCache.txt" ]; then
  cmake -S . -B "$OUT" -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" -DCMAKE_BUILD_TYPE=Release \
    -DTOLBRINT_ALLEGRO_WINDOWS="$ALLEGRO_PREFIX" >"$OUT/configure.log" ||
    { cat "$OUT/configure.log"; exit 1; }
fi
cmake --build "$OUT" -j"$(nproc)"

# --- The zip -------------------------------------------------------------------
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$OUT/CMakeCache.txt")
[ -n "$version" ] || { echo "windows.sh: no project version in $OUT/CMakeCache.txt" >&2; exit 1; }
name=tolbrint-$version-win64
stage=$OUT/$name
rm -rf "$stage" "$OUT/$name.zip"
mkdir -p "$stage"
cp "$OUT/tolbrint.exe" "$LINUX_BUILD/tolbrint.dat" "$LINUX_BUILD/sounds.dat" "$LINUX_BUILD/music.dat" "$stage/"
for level in "$SOURCE_DIR"/data/*.dat; do
  cp "$LINUX_BUILD/$(basename "$level")" "$stage/"
done
# Text files with Windows' line ends, for any editor there.
sed "s/@VERSION@/$version/; s/\$/\r/" "$SOURCE_DIR/dist/windows/README.txt" >"$stage/README.txt"
sed 's/$/\r/' "$SOURCE_DIR/dist/copyright" >"$stage/copyright.txt"
(cd "$OUT" && zip -q -9 -r -X "$name.zip" "$name")
echo "Packed $OUT/$name.zip ($(stat -c %s "$OUT/$name.zip") bytes)"
