# The test helpers themselves: a failure inside $(...) ends the test, a
# missing picture fails instead of reading as painted, a wait that runs out
# fails naming what it waited for, and a skip ends with CTest's skip code.
source "$(dirname "$0")/lib/common.bash" "$@"
LIB="$(dirname "$0")/lib/common.bash"

# Runs a snippet as a test of its own; prints its exit code and output.
run_snippet() {
    bash -c "source '$LIB' '$GAME' '$BUILD_DIR' '$SOURCE_DIR'; $1" >"$WORK/snippet.out" 2>&1
    echo "$? $(tr '\n' ' ' <"$WORK/snippet.out")"
}

# Expects the snippet to end with CODE and to print TEXT.
expect_snippet() {
    local result
    result=$(run_snippet "$1")
    [ "${result%% *}" = "$2" ] || fail "\"$1\" ended with ${result%% *}, expected $2: ${result#* }"
    [[ $result == *"$3"* ]] || fail "\"$1\" printed: ${result#* }"
    echo "ok: $1"
}

expect_snippet 'x=$(fail inner); echo reached' 1 "FAIL: inner"
expect_snippet 'x=$(pixel /nonexistent.png 0 0); echo reached' 1 "no picture /nonexistent.png"
expect_snippet 'play_has_begun /nonexistent.png; echo reached' 1 "no picture"
expect_snippet 'pixels_differing /nonexistent.png /nonexistent.png; echo reached' 1 "a picture is missing"
expect_snippet 'WINDOW=0x1; x=$(shot gone); echo reached' 1 "no screenshot gone"
expect_snippet 'wait_until 1 "the impossible" false; echo reached' 1 "waited 1 s for the impossible"
expect_snippet 'CI= skip "no reason"' 77 "SKIP: no reason"
expect_snippet 'CI=true skip "no reason"' 1 "CI must run it"
expect_snippet 'read_box 3x4+5+6; echo "$BOX_W $BOX_H $BOX_X $BOX_Y"' 0 "3 4 5 6"

# Two equal pictures have no difference box (ImageMagick alone would give
# the whole picture's).
convert -size 20x10 xc:black "$WORK/a.png"
cp "$WORK/a.png" "$WORK/b.png"
[ "$(difference_box "$WORK/a.png" "$WORK/b.png")" = 0x0+0+0 ] || fail "equal pictures have a difference box"
convert -size 20x10 xc:black -fill white -draw "point 7,3" "$WORK/c.png"
[ "$(difference_box "$WORK/a.png" "$WORK/c.png")" = 1x1+7+3 ] || fail "one pixel's box is $(difference_box "$WORK/a.png" "$WORK/c.png")"
[ "$(pixel "$WORK/c.png" 7 3)" = 255,255,255 ] || fail "pixel read $(pixel "$WORK/c.png" 7 3)"
# A moment that a slow judge would miss between two of its looks is still
# caught: the root window is red for 0.3 s, and each judgement takes 0.5 s.
start_x
WINDOW=$(xwininfo -root | awk '/Window id:/ { print $4 }')
xsetroot -solid black
slowly_red() { sleep 0.5; [ "$(pixel "$1" 5 5)" = 255,0,0 ]; }
(sleep 0.2; xsetroot -solid red; sleep 0.3; xsetroot -solid black) &
painter=$!
catch_on_screen 10 "the red moment" moment slowly_red
wait "$painter"
expect_snippet "start_x; WINDOW=\$(xwininfo -root | awk '/Window id:/ { print \$4 }'); catch_on_screen 1 \"a moment that never comes\" never false; echo reached" 1 \
    "waited 1 s for a moment that never comes"
echo PASS
