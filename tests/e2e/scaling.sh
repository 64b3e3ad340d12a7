# On a 1920x1080 desktop: the window is 960x720 with every game pixel a 3x3
# block of the 1x picture's colour; P freezes a walking zombie and P again
# resumes it; F11 shows the frozen picture at 4x in the middle of the screen
# with black borders and F11 again brings the window back with nothing lost;
# the fullscreen keys work on the tent and in the wait after Escape without
# ending either; --scale 2 gives 640x480.
source "$(dirname "$0")/lib/common.bash" "$@"

ZOMBIE_LEVEL="$SOURCE_DIR/tests/e2e/levels/zombie.dat"

# Waits until the game's window has the given size.
wait_for_size() {
    local size
    for _ in $(seq 100); do
        size=$(xdotool getwindowgeometry "$WINDOW" | sed -n 's/ *Geometry: //p')
        [ "$size" = "$1" ] && return 0
        sleep 0.1
    done
    fail "the window is $size, expected $1"
}

# Fullscreen is a window of its own that covers the screen; waits for it to
# come (yes) or go (no).
wait_for_fullscreen() {
    for _ in $(seq 100); do
        if xwininfo -root -children | grep -q " 1920x1080+0+0"; then
            [ "$1" = yes ] && return 0
        else
            [ "$1" = no ] && return 0
        fi
        sleep 0.1
    done
    fail "fullscreen did not $([ "$1" = yes ] && echo begin || echo end)"
}

root_shot() {
    xwd -silent -root -out "$WORK/$1.xwd" || fail "xwd failed"
    convert "$WORK/$1.xwd" "$WORK/$1.png" || fail "convert failed"
    echo "$WORK/$1.png"
}

# The 320x240 picture behind an enlarged one: one pixel from every block.
# Blowing it up again must give the enlarged picture back, block for block.
game_pixels() {
    local scale=$2 out=$3
    convert "$1" -crop "$((320 * scale))x$((240 * scale))+${4:-0}+${5:-0}" +repage -sample 320x240 "$out"
    convert "$out" -scale "$((320 * scale))x$((240 * scale))" "$out.big.png"
    convert "$1" -crop "$((320 * scale))x$((240 * scale))+${4:-0}+${5:-0}" +repage "$out.crop.png"
    [ "$(pixels_differing "$out.crop.png" "$out.big.png")" = 0 ] || fail "$1 is not made of ${scale}x$scale blocks"
}

# Bright pixels in the strip under the picture (the word PAUSED).
strip_text_pixels() {
    convert "$1" -crop "320x40+0+200" +repage -fx '(r>0.8&&g>0.8&&b>0.8)?1:0' -format '%[fx:mean*w*h]' info:
}

# Waits for a shot of the window to show the strip with (yes) or without (no)
# the pause line; prints the shot's game pixels. The window is 3x unless
# another SCALE is given.
#   wait_for_pause yes|no [SCALE]
wait_for_pause() {
    local small
    for attempt in $(seq 50); do
        small="$WORK/pause_${1}_$attempt.png"
        game_pixels "$(shot pausing)" "${2:-3}" "$small"
        if [ "$(strip_text_pixels "$small")" -gt 0 ]; then
            [ "$1" = yes ] && { echo "$small"; return 0; }
        else
            [ "$1" = no ] && { echo "$small"; return 0; }
        fi
        sleep 0.1
    done
    fail "the pause line did not $([ "$1" = yes ] && echo show || echo go)"
}

start_x 1920x1080
stage_data "$ZOMBIE_LEVEL"
# Straight into play, both times: the zombie must be as far in either run
# when it pauses (the title would show the keys in the strip for 5 s).
start_game --skip-intro
wait_for_window
wait_for_size 960x720
pass_intro
key p
paused=$(wait_for_pause yes)
sleep 1
game_pixels "$(shot still_paused)" 3 "$WORK/still_paused_small.png"
[ "$(pixels_differing "$paused" "$WORK/still_paused_small.png")" = 0 ] || fail "the zombie moved while paused"

key F11
wait_for_fullscreen yes
for _ in $(seq 50); do
    full=$(root_shot fullscreen)
    [ "$(pixel "$full" 960 300)" != "0,0,0" ] && break
    sleep 0.1
done
game_pixels "$full" 4 "$WORK/fullscreen_small.png" 320 60
[ "$(pixels_differing "$paused" "$WORK/fullscreen_small.png")" = 0 ] || fail "fullscreen shows another picture"
for point in "0 0" "319 500" "1600 500" "960 59" "960 1020" "1919 1079"; do
    [ "$(pixel "$full" $point)" = "0,0,0" ] || fail "the border at $point is $(pixel "$full" $point)"
done

key F11
wait_for_fullscreen no
wait_for_size 960x720
xdotool mousemove --window "$WINDOW" 480 360
game_pixels "$(shot back)" 3 "$WORK/back_small.png"
[ "$(pixels_differing "$paused" "$WORK/back_small.png")" = 0 ] || fail "the window came back with another picture"

key p
sleep 1
moved=$(wait_for_pause no)
[ "$(pixels_differing "$paused" "$moved")" -gt 0 ] || fail "play did not go on after the pause"
cp "$paused" "$WORK/scaled_paused.png"

# The same start at 1x: the part of the picture the zombie has not reached
# is the same picture, pixel for pixel.
"$CLOSE_WINDOW" "$WINDOW"
[ "$(wait_exit 10)" = 0 ] || fail "the 3x game did not close: $(cat "$WORK/out")"
rm -f "$WORK/rc"
start_game --scale 1 --skip-intro
wait_for_window
wait_for_size 320x240
pass_intro
key p
one=$(wait_for_pause yes 1)
for picture in "$one" "$WORK/scaled_paused.png"; do
    convert "$picture" -crop 240x240+0+0 +repage "$picture.left.png"
done
[ "$(pixels_differing "$one.left.png" "$WORK/scaled_paused.png.left.png")" = 0 ] || fail "the 3x picture differs from the 1x one"

# The fullscreen keys on the tent and after Escape: both waits go on.
key p
wait_for_pause no 1 >/dev/null
key Up
wait_for_screen 10 "the tent's text" tent tent_text_shown
tent=$SHOT
key alt+Return
wait_for_fullscreen yes
key alt+Return
wait_for_fullscreen no
xdotool mousemove --window "$WINDOW" 160 120
wait_for_screen 10 "the tent to stay" tent_again same_as "$tent"
key space
wait_for_screen 10 "play after the tent" after_tent differs_from "$tent"
key Escape
# Escape leaves the last frame standing.
wait_for_still 10 "the last frame after Escape" final 1
key F11
wait_for_fullscreen yes
sleep 0.3
[ -z "$(cat "$WORK/rc" 2>/dev/null)" ] || fail "F11 ended the wait after Escape"
key F11
wait_for_fullscreen no
xdotool mousemove --window "$WINDOW" 160 120
key space
[ "$(wait_exit 10)" = 0 ] || fail "the last key did not end the game: $(cat "$WORK/out")"
rm -f "$WORK/rc"

start_game --scale 2
wait_for_window
wait_for_size 640x480
"$CLOSE_WINDOW" "$WINDOW"
[ "$(wait_exit 10)" = 0 ] || fail "the 2x game did not close"
echo PASS
