# Walking, jumping, firing, a tent and quitting on a small flat level.
source "$(dirname "$0")/lib/common.bash" "$@"
start_play "$PLAY_LEVEL"
wait_for_still 30 "the hero standing still" standing
standing=$SHOT

# X jumps: only the hero's picture changes, inside the box where he stands at
# (130, 100); after the landing the frame is the same as before.
key x
wait_for_screen 10 "the jump" jumping differs_from "$standing"
box=$(difference_box "$standing" "$SHOT")
read_box "$box"
[ "$BOX_X" -ge 130 ] && [ $((BOX_X + BOX_W)) -le 186 ] && [ $((BOX_Y + BOX_H)) -le 180 ] && [ "$BOX_Y" -ge 60 ] ||
    fail "the jump changed $box, outside the hero at (130, 100)"
wait_for_screen 10 "the landing on the same spot" landed same_as "$standing"

# D fires a bullet that flies right at the gun's height, past column 200,
# and vanishes.
bullet_flew_right() {
    read_box "$(difference_box "$standing" "$1")"
    [ $((BOX_X + BOX_W)) -gt 200 ] && [ "$BOX_Y" -ge 100 ] && [ $((BOX_Y + BOX_H)) -le 180 ]
}
key d
wait_for_screen 10 "a bullet right of the hero" fired bullet_flew_right
wait_for_screen 10 "the bullet to vanish" after_shot same_as "$standing"

# Up at the portal shows the tent's text; a key returns to the same frame.
key Up
wait_for_screen 10 "light text on the tent screen" tent tent_text_shown
key space
wait_for_screen 10 "play to come back after the tent" back same_as "$standing"

# Holding Right scrolls the view: the sky above the hero moves left.
key_down Right
sleep 1.5
key_up Right
sleep 0.3
walked=$(shot walked)
found=
for s in $(seq 2 2 318); do
    convert "$standing" -crop 320x90+0+0 +repage -roll -$s+0 "$WORK/rolled.png"
    convert "$walked" -crop 320x90+0+0 +repage "$WORK/walked_sky.png"
    if [ "$(pixels_differing "$WORK/rolled.png" "$WORK/walked_sky.png")" = 0 ]; then found=$s; break; fi
done
[ -n "$found" ] || fail "the view did not scroll"
echo "scrolled $found pixels"

# Escape holds the last frame until one more key, then the game exits 0.
key Escape
sleep 0.5
expect_running "the game, before the final key,"
key space
rc=$(wait_exit 10)
[ "$rc" = 0 ] || fail "exit code $rc; output: $(cat "$WORK/out")"
[ "$(cat "$WORK/debuglevel.txt")" = BREAK ] || fail "debuglevel.txt holds $(cat "$WORK/debuglevel.txt")"
echo PASS
