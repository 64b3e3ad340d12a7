# The window's close button ends the game with exit code 0 from the title's
# slide, from its twinkling stars, from play, from a tent screen and from
# the wait after Escape. Each case first sees its state on the screen.
source "$(dirname "$0")/lib/common.bash" "$@"

# Closes the window; the game must end with exit code 0 within SECONDS
# (default 10).
close_and_expect_exit() {
    "$CLOSE_WINDOW" "$WINDOW" || fail "cannot send the close message"
    rc=$(wait_exit "${2:-10}")
    [ "$rc" = 0 ] || fail "$1: exit code $rc; output: $(cat "$WORK/out")"
    echo "ok: $1"
}

# The level has a flame in view: play never stands still.
{
    sed -n '1,3p' "$PLAY_LEVEL"
    echo "-100 160 -100 160 FLAME"
    sed -n '4,$p' "$PLAY_LEVEL"
} >"$WORK/flame.dat"

start_x
stage_data "$WORK/flame.dat"

painted() { [ "$(pixels_differing "$1" "$WORK/black.png")" != 0 ]; }
convert -size 320x240 xc:black "$WORK/black.png"

start_game
wait_for_window
wait_for_screen 30 "the title to slide in" sliding painted
title_at_column_1 "$SHOT" && fail "the slide was over before the close"
# The title would take 3 s more to slide in, the stars 3.5 s to twinkle:
# the intro must end at once.
close_and_expect_exit "while the title slides in" 2

start_game
wait_for_window
wait_for_screen 30 "the title's stars" twinkling title_at_column_1
close_and_expect_exit "while the stars twinkle" 2

start_game
wait_for_window
wait_for_play
close_and_expect_exit "during play"
"$GAME" --verify "$HOME/.local/state/tolbrint/last.tbr" >"$WORK/verify.out" 2>&1 ||
    fail "the run ended by the close button was not kept: $(cat "$WORK/verify.out")"

start_game
wait_for_window
wait_for_play
key Up
wait_for_screen 10 "the tent's text" tent tent_text_shown
close_and_expect_exit "on the tent screen"

# After Escape the flame stops: the last frame stands still.
start_game
wait_for_window
wait_for_play
wait_for_screen 10 "the flame to move" flame differs_from "$SHOT"
key Escape
wait_for_still 10 "the last frame after Escape" final 1.5
expect_running "the game, before the final key,"
close_and_expect_exit "after Escape"
echo PASS
