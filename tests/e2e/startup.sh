# A normal start opens the 320 x 240 window; keys typed during the intro wait
# in the buffer: one ends the intro and Escape quits play. A key already
# waiting does not end the last picture: only one pressed after Escape exits 0.
# With no settings file and no gamepad plugged in (test machines have no
# joystick device at all) the game has nothing to say.
source "$(dirname "$0")/lib/common.bash" "$@"
start_x
stage_data
start_game
wait_for_window
size=$(window_size)
[ "$size" = "320x240" ] || fail "window is $size, expected 320x240"

# All three keys go in while the title still slides in (3.2 s at least);
# the screenshot after them proves it, since the slide leaves column 0 black.
key space Escape space
take_shot typed
play_has_begun "$SHOT" && fail "play had begun before the keys were typed"

# Play shows and stops: its last picture stands still, and the game waits.
wait_for_screen 60 "play to show" play play_has_begun
wait_for_still 30 "the last picture after Escape" final 1.5
expect_running "the game, with a key typed before Escape,"
key space
rc=$(wait_exit 30)
[ "$rc" = 0 ] || fail "exit code $rc, expected 0; output: $(cat "$WORK/out")"
[ ! -s "$WORK/out" ] || fail "the game printed: $(cat "$WORK/out")"
echo PASS
