# The intro slides the title in so that screen column 0 keeps its black,
# twinkles the title's colour-4 stars while white dots appear in the sky,
# leaves those stars black, writes its credits and waits for a key before
# play begins.
source "$(dirname "$0")/lib/common.bash" "$@"
start_x
stage_data "$PLAY_LEVEL"
start_game
wait_for_window

wait_for_screen 30 "the title to reach column 1" slid title_at_column_1
slid=$SHOT
# Column 0 above the portrait keeps its black; only a white star may touch it.
colours=$(convert "$slid" -crop 1x100+0+0 -depth 8 -unique-colors txt:- | tail -n +2 | sed -E 's/^[^:]*: *\(([0-9]+,[0-9]+,[0-9]+).*/\1/')
for colour in $colours; do
    IFS=, read -r r g b <<<"$colour"
    [ "$colour" = "0,0,0" ] || { [ "$r" -gt 200 ] && [ "$g" -gt 200 ] && [ "$b" -gt 200 ]; } ||
        fail "column 0 was painted ($colour)"
done

# The sky (rows 0 to 51, where the dots fall) of a screenshot.
sky() { convert "$1" -crop 320x52+0+0 +repage "$WORK/$2.png"; echo "$WORK/$2.png"; }
# Pixels not white in either of two pictures that still differ: the title's
# colour-4 stars, flashing while the dots are drawn.
flashed() {
    convert "$1" "$2" -fx '(u.r!=v.r||u.g!=v.g||u.b!=v.b) && (u.r<0.9||u.g<0.9||u.b<0.9) && (v.r<0.9||v.g<0.9||v.b<0.9) ? 1 : 0' "$3"
}
count() { convert "$1" -format '%[fx:round(mean*w*h)]' info:; }

# While the dots are drawn, screenshots in a row catch the flashing.
previous=$(sky "$slid" twinkle_0)
masks=()
for i in $(seq 1 12); do
    current=$(sky "$(shot "twinkle_$i")" "twinkle_$i")
    flashed "$previous" "$current" "$WORK/flash_$i.png"
    masks+=("$WORK/flash_$i.png")
    previous=$current
done
convert "${masks[@]}" -evaluate-sequence max "$WORK/flashing.png"
flashing=$(count "$WORK/flashing.png")
[ "$flashing" -ge 3 ] || fail "the title's stars did not twinkle ($flashing pixels flashed)"

wait_for_still 30 "the intro to wait for a key" waiting 1
waiting=$SHOT
expect_running "the game, during the intro,"

# After the last twinkle every flashing star is black (but where a dot
# covered it).
lit=$(convert "$(sky "$waiting" waiting_sky)" "$WORK/flashing.png" \
    -fx 'v.r>0 && (u.r>0||u.g>0||u.b>0) && (u.r<0.9||u.g<0.9||u.b<0.9) ? 1 : 0' \
    -format '%[fx:round(mean*w*h)]' info:)
[ "$lit" = 0 ] || fail "$lit of the $flashing twinkling pixels are not black after the stars"

# White dots have joined the sky: 35 of radius 2, some overlapping.
white() { convert "$1" -fx '(u.r>0.9&&u.g>0.9&&u.b>0.9) ? 1 : 0' -format '%[fx:round(mean*w*h)]' info:; }
new_white=$(($(white "$WORK/waiting_sky.png") - $(white "$WORK/twinkle_0.png")))
[ "$new_white" -ge 150 ] || fail "only $new_white white pixels of dots appeared in the sky"

# The two credit lines: written below the sky, centred on column 160, the
# first from row 55, the second from row 70.
box=$(difference_box "$(convert "$slid" -crop 320x45+0+53 +repage "$WORK/band_before.png"; echo "$WORK/band_before.png")" \
    "$(convert "$waiting" -crop 320x45+0+53 +repage "$WORK/band_after.png"; echo "$WORK/band_after.png")")
read_box "$box"
centre2=$((2 * BOX_X + BOX_W))
[ "$BOX_W" -ge 40 ] && [ "$centre2" -ge 310 ] && [ "$centre2" -le 330 ] &&
    [ $((BOX_Y + 53)) -ge 55 ] && [ $((BOX_Y + 53)) -le 58 ] && [ $((BOX_Y + BOX_H + 53)) -ge 76 ] ||
    fail "the credits are not two centred lines from row 55 (changed: $box below row 53)"

key space
wait_for_screen 20 "play to begin after the key" play play_has_begun
echo PASS
