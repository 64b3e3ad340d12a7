# Broken data files end the game with a message naming the file and exit
# code 1, never a crash, a hang or a huge allocation; a level with CRLF line
# ends plays like one with LF.
source "$(dirname "$0")/lib/common.bash" "$@"
if [ -e /usr/local/share/tolbrint/tolbrint.dat ] || [ -e /usr/share/tolbrint/tolbrint.dat ]; then
    skip "an installed tolbrint.dat would be found"
fi
start_x
# Away from the build directory, so that the good files beside it are not found.
cp "$GAME" "$WORK/game"
GOOD_DATAFILE="$BUILD_DIR/tolbrint.dat"

# Runs the game (which must not need a key to fail) and expects exit code 1
# with the message on the terminal and in the message box.
expect_failure() {
    local case=$1 message=$2 rc
    rm -f "$WORK/messagebox"
    ( cd "$WORK" && timeout -k 5 60 ./game >"$WORK/out" 2>&1 ); rc=$?
    [ $rc = 1 ] || fail "$case: exit code $rc, expected 1; output: $(cat "$WORK/out")"
    grep -qF "tolbrint: $message" "$WORK/out" || fail "$case: message was: $(cat "$WORK/out")"
    grep -qF "$message" "$WORK/messagebox" 2>/dev/null || fail "$case: no message box: $(cat "$WORK/messagebox" 2>/dev/null)"
    echo "ok: $case"
}

# A 32-bit big-endian number written over the file at an offset.
poke32() {
    printf "$(printf '\\%03o\\%03o\\%03o\\%03o' $(($3 >> 24 & 255)) $(($3 >> 16 & 255)) $(($3 >> 8 & 255)) $(($3 & 255)))" |
        dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

# --- The graphics datafile, read before the window opens

cp "$PLAY_LEVEL" "$WORK/level1.dat"
: >"$WORK/tolbrint.dat"
expect_failure "empty datafile" "tolbrint.dat: not a readable Allegro datafile: the file is empty"

rm "$WORK/tolbrint.dat"
mkdir "$WORK/tolbrint.dat"
expect_failure "datafile is a directory" "tolbrint.dat: the graphics datafile is not a regular file"
rmdir "$WORK/tolbrint.dat"

size=$(stat -c %s "$GOOD_DATAFILE")
for length in 7 100 5000 $((size / 2)) $((size - 1)); do
    head -c "$length" "$GOOD_DATAFILE" >"$WORK/tolbrint.dat"
    expect_failure "datafile cut to $length bytes" "tolbrint.dat: not a readable Allegro datafile: "
done

cp "$GOOD_DATAFILE" "$WORK/tolbrint.dat"
poke32 "$WORK/tolbrint.dat" 8 2147483647
expect_failure "absurd entry count" "tolbrint.dat: not a readable Allegro datafile: the datafile claims 2147483647 entries"

# Entry 0's type follows its name property: "prop", "NAME", the name's length, the name.
name_length=$(od -An -tu4 --endian=big -j20 -N4 "$GOOD_DATAFILE" | tr -d ' ')
cp "$GOOD_DATAFILE" "$WORK/tolbrint.dat"
poke32 "$WORK/tolbrint.dat" $((24 + name_length)) 0x58585858
expect_failure "entry of the wrong type" "tolbrint.dat: entry 0 should be an RLE sprite but is another kind of object"

# --- The level file, read before the title: no key is needed to fail

cp "$GOOD_DATAFILE" "$WORK/tolbrint.dat"

rm "$WORK/level1.dat"
mkdir "$WORK/level1.dat"
expect_failure "level file is a directory" "level1.dat: the level file is not a regular file"
rmdir "$WORK/level1.dat"
expect_failure "missing level file" "level1.dat: cannot open the level file: No such file or directory"

: >"$WORK/level1.dat"
expect_failure "empty level file" "level1.dat:1:1: expected an integer (header token 1), found the end of the file"

truncate -s 100M "$WORK/level1.dat"
expect_failure "100 MB level file" "level1.dat: the level file is larger than 16 MB"

for _ in $(seq 16); do
    for byte in $(seq 0 255); do printf "\\$(printf %03o "$byte")"; done
done >"$WORK/level1.dat"
expect_failure "binary garbage" "level1.dat:1:1: expected an integer (header token 1), found \"\\x00\\x01"

{ printf '0 0 '; head -c 1000000 /dev/zero | tr '\0' D; printf ' yes no\n'; } >"$WORK/level1.dat"
expect_failure "a word of a million letters" \
    "level1.dat:1:5: expected \"DUNE1\", \"CANYON1\" or \"TEMPLE1\" (header token 3, the background), found \"DDDD"

# --- CRLF line ends load like LF ones: the same first frame of play, and
# the level read to its last word

GAME="$WORK/game"
# Plays the level until it stands still, keeps that frame as NAME, then quits.
first_still_frame() {
    stage_data "$1"
    start_game
    wait_for_window
    wait_for_play
    wait_for_still 30 "play on the $2 level to stand still" "$2"
    quit_game
    [ "$(cat "$WORK/debuglevel.txt")" = BREAK ] || fail "$2 level: last word read was $(od -c "$WORK/debuglevel.txt")"
}

sed 's/$/\r/' "$PLAY_LEVEL" >"$WORK/crlf.dat"
grep -q $'\r$' "$WORK/crlf.dat" || fail "the CRLF level has no CR"
first_still_frame "$PLAY_LEVEL" lf
lf=$SHOT
first_still_frame "$WORK/crlf.dat" crlf
[ "$(pixels_differing "$lf" "$SHOT")" = 0 ] || fail "the CRLF level's first frame differs from the LF level's"
echo "ok: CRLF level"
echo PASS
