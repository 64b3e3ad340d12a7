#!/bin/bash
# Rebuilds the game's datafile with Allegro's own dat tool, the way an artist
# would: every entry is exported to a picture (fonts to a picture and a
# script), then grabbed back in entry order. Makes these files in OUT_DIR:
#   plain.dat       no compression
#   packed.dat      the whole file compressed (dat -c2)
#   compressed.dat  every object compressed on its own (dat -c1)
#   depths.dat      not for the game: a tile and the portrait as RLE sprites
#                   and bitmaps of 15, 16, 24 and 32 bits, and both fonts,
#                   every object compressed on its own
#   scripts/dat-rebuild.sh SOURCE_DAT OUT_DIR
set -euo pipefail

source_dat=$(realpath "$1")
out=$(realpath -m "$2")
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

# dat -x with -o DIR does not finish; exported files land in the working
# directory instead.
dat -x "$source_dat" '*' >/dev/null

# "- RLE  - BARK1   - RLE sprite (20x20, 8 bit)" -> "RLE BARK1"
mapfile -t entries < <(dat -l "$source_dat" | awk '$1 == "-" { print $2, $4 }')

exported_file() {
    local type=$1 name=$2
    case $type in
        FONT) echo "$name.txt" ;; # the script naming the picture and its range
        *) echo "$name.bmp" ;;
    esac
}

# Consecutive entries of one type go in with one call; -n0 keeps the order.
plain="$work/plain.dat"
rm -f "$plain"
batch_type=
batch_files=()
flush() {
    [ ${#batch_files[@]} -gt 0 ] || return 0
    dat -a -n0 -s1 -bpp 8 -t "$batch_type" "$plain" "${batch_files[@]}" >/dev/null
    batch_files=()
}
for entry in "${entries[@]}"; do
    read -r type name <<<"$entry"
    [ "$type" = "$batch_type" ] || flush
    batch_type=$type
    batch_files+=("$(exported_file "$type" "$name")")
done
flush

cp "$plain" "$out/plain.dat"
cp "$plain" "$work/packed.dat"
dat -n0 -s1 -c2 "$work/packed.dat" >/dev/null
cp "$work/packed.dat" "$out/packed.dat"
cp "$plain" "$work/compressed.dat"
dat -n0 -s1 -c1 "$work/compressed.dat" >/dev/null
cp "$work/compressed.dat" "$out/compressed.dat"

# The same pictures grabbed at every depth dat offers; each copy needs a name
# of its own, or dat replaces the object of the same name.
depths="$work/depths.dat"
for bits in 15 16 24 32; do
    cp BARK1.bmp "TILE$bits.bmp"
    cp PORTRAIT.bmp "PORTRAIT$bits.bmp"
    dat -a -n0 -s1 -bpp "$bits" -t RLE "$depths" "TILE$bits.bmp" >/dev/null
    dat -a -n0 -s1 -bpp "$bits" -t BMP "$depths" "PORTRAIT$bits.bmp" >/dev/null
done
dat -a -n0 -s1 -t FONT "$depths" TENTFONT.txt TITLEFONT.txt >/dev/null
dat -n0 -s1 -c1 "$depths" >/dev/null
cp "$depths" "$out/depths.dat"
