# The command line: --help and a bad option need no display; a level named on
# the command line is played, and its load errors name that file before the
# title shows.
source "$(dirname "$0")/lib/common.bash" "$@"

( cd "$WORK" && env -u DISPLAY "$GAME" --help >"$WORK/help" 2>&1 ); rc=$?
[ $rc = 0 ] || fail "--help without a display: exit code $rc, expected 0"
grep -q "^Usage: tolbrint \[OPTIONS\] \[LEVEL\]" "$WORK/help" || fail "--help printed: $(cat "$WORK/help")"

( cd "$WORK" && env -u DISPLAY "$GAME" --scale 99 >"$WORK/out" 2>"$WORK/err" ); rc=$?
[ $rc = 2 ] || fail "a bad option: exit code $rc, expected 2"
[ "$(cat "$WORK/err")" = "tolbrint: --scale must be a whole number from 0 to 16, not '99'
Try 'tolbrint --help'" ] || fail "a bad option printed: $(cat "$WORK/err")"
[ ! -s "$WORK/out" ] || fail "a bad option wrote to stdout: $(cat "$WORK/out")"

# Every option the help lists is in the README's options table, and back.
help_options=$(grep -oE -- '--[a-z][a-z-]*' "$WORK/help" | sort -u)
readme_options=$(sed -n '/^## Options/,/^## /p' "$SOURCE_DIR/README.md" | grep -oE -- '--[a-z][a-z-]*' | sort -u)
[ "$help_options" = "$readme_options" ] || fail "--help lists $(echo $help_options), the README $(echo $readme_options)"

# No level1.dat anywhere near: the named level is what plays.
start_x
cp "$BUILD_DIR/tolbrint.dat" "$WORK/"
mkdir "$WORK/levels"
cp "$PLAY_LEVEL" "$WORK/levels/mine.dat"
start_game levels/mine.dat
wait_for_window
pass_intro
quit_game "the named level"

# A level that is not there is reported by the name it was given, before
# the title: no key is needed.
( cd "$WORK" && timeout -k 5 60 "$GAME" levels/none.dat >"$WORK/out" 2>&1 ); rc=$?
[ "$rc" = 1 ] || fail "a missing level: exit code $rc, expected 1"
grep -q "levels/none.dat: cannot open the level file" "$WORK/out" || fail "a missing level: message was: $(cat "$WORK/out")"

# A start beyond the level's scroll limits is refused, naming them.
limits=$(awk 'NR == 1 { print $10 " to " $11 }' "$WORK/levels/mine.dat")
beyond=$(awk 'NR == 1 { print $11 + 2 }' "$WORK/levels/mine.dat")
( cd "$WORK" && timeout -k 5 60 "$GAME" --start-x "$beyond" levels/mine.dat >"$WORK/out" 2>&1 ); rc=$?
[ "$rc" = 2 ] || fail "--start-x beyond the limits: exit code $rc, expected 2"
grep -qF "lies outside the scroll limits of levels/mine.dat, $limits" "$WORK/out" ||
    fail "--start-x beyond the limits: message was: $(cat "$WORK/out")"
echo PASS
