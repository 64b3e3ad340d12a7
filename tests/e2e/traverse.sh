# Walks the hero through the shipped level from the start to the right-hand
# wall with the game's own keys: Right pressed once for every 2-pixel step,
# X at every step up. Every step is one press (nothing is held); a press
# against a step's face moves nothing, so each stretch gets a few presses
# more than it needs, and the next batch of presses waits until the screen
# shows the last one taken.
source "$(dirname "$0")/lib/common.bash" "$@"

# Where the view stands (global_x) when each step on the way stops the hero,
# and where the right-hand wall stops him. They follow from data/level1.dat:
# a step or wall whose left edge is at scenery x stops him at x - 20.
STEPS=(1120 1160 1620 1740 1840 1880 2180 2220 2680 2720 2760)
WALL=3680
BATCH=30 # presses typed at once; the keyboard buffer holds 64

# The view stands still once every press was taken: the sky and the tall
# scenery (rows 0 to 59) move only with it, out of the enemies' reach.
VIEW=320x60+0+0

# Presses Right enough times to walk from one position to another, in
# batches; after each the view stands still.
walk_right() {
    local presses=$((($2 - $1) / 2 + 4)) batch
    while [ "$presses" -gt 0 ]; do
        batch=$((presses < BATCH ? presses : BATCH))
        xdotool key --delay 20 --repeat "$batch" Right
        wait_for_still 60 "the view to stop scrolling" walking 0.4 "$VIEW"
        presses=$((presses - batch))
    done
}

# X, then Right again and again while he rises, until he is over the step;
# presses against the step's face or the next one do nothing.
jump_onto_step() {
    key x
    xdotool key --delay 30 --repeat 20 Right
    wait_for_still 60 "the view to stop after the jump" landed 0.6 "$VIEW"
}

start_play "$BUILD_DIR/level1.dat"
wait_for_still 30 "the view to stand at the start" start 0.4 "$VIEW"
start=$SHOT
position=0
for step in "${STEPS[@]}"; do
    walk_right $position "$step"
    jump_onto_step
    cp "$SHOT" "$WORK/step_$step.png" # to look at with KEEP_WORK=1
    position=$step
done
walk_right $position $WALL
wait_for_still 30 "the view to stand at the wall" end 0.4 "$VIEW"
end=$SHOT

crop() { convert "$1" -crop "$2" +repage "$WORK/$3.png"; echo "$WORK/$3.png"; }
# The view has scrolled the whole way when the wall's face is at screen
# column 180: its stone courses above the hero's head (rows 20 to 99) repeat
# every 20 columns from there to the screen's edge, and column 179 is sky.
[ "$(pixels_differing "$(crop "$end" 120x80+180+20 from_face)" "$(crop "$end" 120x80+200+20 one_tile_on)")" = 0 ] ||
    fail "the wall's face is not at column 180: the view did not reach the end (KEEP_WORK=1 keeps the screenshots)"
[ "$(pixels_differing "$(crop "$end" 1x80+179+20 before_face)" "$(crop "$end" 1x80+199+20 in_wall)")" != 0 ] ||
    fail "the wall starts left of column 180: the view went past the end"
# He stands there on the ground as he stood at the start: at least half of
# the pixels where his picture is drawn are the same in both screenshots.
differing=$(pixels_differing "$(crop "$start" 56x80+130+100 hero_start)" "$(crop "$end" 56x80+130+100 hero_end)")
[ "$differing" -le 2240 ] || fail "the hero is not standing at (130, 100) at the wall ($differing of 4480 pixels differ)"

quit_game
echo PASS
