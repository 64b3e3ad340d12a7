# The window's close button ends the game with exit code 0 from the intro,
# from play, from a tent screen and from the wait after Escape.
source "$(dirname "$0")/lib/common.bash" "$@"

close_and_expect_exit() {
    "$CLOSE_WINDOW" "$WINDOW" || fail "cannot send the close message"
    rc=$(wait_exit 5)
    [ "$rc" = 0 ] || fail "$1: exit code $rc; output: $(cat "$WORK/out")"
    rm -f "$WORK/rc"
}

start_x
stage_data "$PLAY_LEVEL"
start_game
wait_for_window
sleep 1
close_and_expect_exit "during the intro"

start_game
wait_for_window
key space
sleep 9
close_and_expect_exit "during play"

start_game
wait_for_window
key space
sleep 9
key Up
sleep 0.5
close_and_expect_exit "on the tent screen"

start_game
wait_for_window
key space
sleep 9
key Escape
sleep 0.3
close_and_expect_exit "after Escape"
echo PASS
