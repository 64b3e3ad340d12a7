# Walking, jumping, firing, a tent and quitting on a small flat level.
source "$(dirname "$0")/lib/common.bash" "$@"
start_play "$PLAY_LEVEL"
standing=$(shot standing)

# X jumps: only the hero's picture changes, inside the box where he stands at
# (130, 100); after the landing the frame is the same as before.
key x
sleep 0.3
box=$(difference_box "$standing" "$(shot jumping)")
read -r w h x y <<<"$(echo "$box" | sed -E 's/([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)/\1 \2 \3 \4/')"
[ "$x" -ge 130 ] && [ $((x + w)) -le 186 ] && [ $((y + h)) -le 180 ] && [ "$y" -ge 60 ] ||
    fail "the jump changed $box, outside the hero at (130, 100)"
sleep 3
[ "$(pixels_differing "$standing" "$(shot landed)")" = 0 ] || fail "after landing the frame differs"

# D fires a bullet that flies right at the gun's height and vanishes.
key d
sleep 0.15
box=$(difference_box "$standing" "$(shot fired)")
read -r w h x y <<<"$(echo "$box" | sed -E 's/([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)/\1 \2 \3 \4/')"
[ $((x + w)) -gt 200 ] || fail "no bullet to the right of the hero: $box"
sleep 2
[ "$(pixels_differing "$standing" "$(shot after_shot)")" = 0 ] || fail "the bullet did not vanish"

# Up at the portal shows the tent's text; a key returns to the same frame.
key Up
sleep 0.5
tent=$(shot tent)
bright=$(convert "$tent" -crop 100x40+0+48 -fx '(r>0.85&&g>0.85&&b>0.8)?1:0' -format '%[fx:mean*w*h]' info:)
[ "${bright%.*}" -gt 10 ] || fail "no light text on the tent screen"
key space
sleep 0.5
[ "$(pixels_differing "$standing" "$(shot back)")" = 0 ] || fail "play did not come back after the tent"

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
[ -z "$(cat "$WORK/rc" 2>/dev/null)" ] || fail "the game ended before the final key"
key space
rc=$(wait_exit 10)
[ "$rc" = 0 ] || fail "exit code $rc; output: $(cat "$WORK/out")"
[ "$(cat "$WORK/debuglevel.txt")" = BREAK ] || fail "debuglevel.txt holds $(cat "$WORK/debuglevel.txt")"
echo PASS
