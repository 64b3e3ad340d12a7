# Walks the hero through the shipped level from the start to the right-hand
# wall with the game's own keys: Right held, X at every step up. A blocked
# hero waits at the step, so each stretch is held a little longer than it
# takes and the jump comes while he stands at the step.
source "$(dirname "$0")/lib/common.bash" "$@"

# Where the view stands (global_x) when each step on the way stops the hero,
# and where the right-hand wall stops him. They follow from data/level1.dat:
# a step or wall whose left edge is at scenery x stops him at x - 20.
STEPS=(1120 1160 1620 1740 1840 1880 2180 2220 2680 2720 2760)
WALL=3680
PACE=50 # pixels a second while Right repeats: 2 a repeat, 25 repeats a second

# Holds Right long enough to walk from one position to another; the first
# repeat comes about 0.7 s after the press.
hold_right() {
    key_down Right
    sleep "$(awk -v d=$(($2 - $1)) -v p=$PACE 'BEGIN { print d / p * 1.1 + 1 }')"
    key_up Right
}

# Pressing X stops Right's repeat, so Right is pressed again and again
# while he rises, until he is over the step.
jump_onto_step() {
    key x
    xdotool key --delay 30 --repeat 20 Right
}

start_play "$BUILD_DIR/level1.dat"
# A star of the title's sky can touch the pixel by which start_play tells
# that play has begun; a few seconds more and the title is surely over.
sleep 4
start=$(shot start)
position=0
for step in "${STEPS[@]}"; do
    hold_right $position "$step"
    jump_onto_step
    shot "step_$step" >/dev/null # to look at with KEEP_WORK=1
    position=$step
done
hold_right $position $WALL
sleep 0.5
end=$(shot end)

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

key Escape
key space
rc=$(wait_exit 10)
[ "$rc" = 0 ] || fail "exit code $rc; output: $(cat "$WORK/out")"
echo PASS
