# Walking, jumping, firing, a tent and quitting on a small flat level.
source "$(dirname "$0")/lib/common.bash" "$@"
# Every press counts here, so no held key repeats while these tests hold
# one (key_repeat.sh tests the repeat).
mkdir -p "$(dirname "$SETTINGS_FILE")"
printf '[keys]\nrepeat_delay = 2000\n' >"$SETTINGS_FILE"
start_play "$PLAY_LEVEL"
wait_for_still 30 "the hero standing still" standing
standing=$SHOT

# X jumps: only the hero's picture changes, inside the box where he stands at
# (130, 100); after the landing the frame is the same as before.
key x
catch_on_screen 10 "the jump" jumping differs_from "$standing"
box=$(difference_box "$standing" "$SHOT")
read_box "$box"
[ "$BOX_X" -ge 130 ] && [ $((BOX_X + BOX_W)) -le 186 ] && [ $((BOX_Y + BOX_H)) -le 180 ] && [ "$BOX_Y" -ge 60 ] ||
    fail "the jump changed $box, outside the hero at (130, 100)"
wait_for_screen 10 "the landing on the same spot" landed same_as "$standing"

# D fires a bullet that flies right at the gun's height, past column 200,
# and vanishes.
key d
catch_on_screen 10 "a bullet right of the hero" fired bullet_flew_right "$standing"
wait_for_screen 10 "the bullet to vanish" after_shot same_as "$standing"

# Up at the portal shows the tent's text; a key returns to the same frame.
key Up
wait_for_screen 10 "light text on the tent screen" tent tent_text_shown
key space
wait_for_screen 10 "play to come back after the tent" back same_as "$standing"

# Walking. With the desktop's key repeat off as well every press is one
# 2-pixel step, so the
# view must scroll by exactly twice the presses: the sky above the hero is
# the standing sky rolled by as much (it repeats every 320 columns, where
# the panels wrap).
xset r off
xdotool key --delay 30 --repeat 20 Right
expect_view_at 40 "20 steps right"
# 200 steps left take the view past two wraps of the panels.
xdotool key --delay 30 --repeat 200 Left
expect_view_at -360 "200 steps left"

# Yellow bullet pixels in a box of a screenshot, left of the hero: below
# his head for level shots, above it for upward ones.
#   bullets_in BOX SCREENSHOT
bullets_in() {
    local n
    n=$(convert "$2" -crop "$1" +repage -fx '(r>0.9&&g>0.85&&b<0.3)?1:0' -format '%[fx:round(mean*w*h)]' info:) ||
        fail "cannot count bullet pixels in $2"
    [ "$n" -gt 0 ]
}
# Holds KEYS (the last one walks) until a shot shows in BOX, presses nine
# other keys, each read of which walks one more step and fires, and lets go
# in the opposite order.
#   walk_firing WHAT BOX KEY...
walk_firing() {
    local what=$1 box=$2 held
    shift 2
    for held in "$@"; do key_down "$held"; done
    catch_on_screen 10 "$what" walk_firing bullets_in "$box"
    xdotool key --delay 60 --repeat 9 z
    for ((held = $#; held >= 1; held--)); do key_up "${!held}"; done
}
# Left Ctrl and Left held: the first press of Left and every key read after
# it walk one step and fire level; Left alone does not walk as well.
walk_firing "a level shot to the left" 130x80+0+100 Control_L Left
expect_view_at -380 "Ctrl and Left for 10 keys"

# With Up held as well the shots go up to the left, above his head, and he
# walks the same way.
bullets_in 130x100+0+0 "$SHOT" && fail "bullet-coloured pixels above the hero before any upward shot"
walk_firing "a shot up to the left" 130x100+0+0 Control_L Up Left
expect_view_at -400 "Ctrl, Up and Left for 10 keys"

# Up away from the tent opens nothing.
key Up
expect_view_at -400 "Up away from the tent"
tent_text_shown "$SHOT" && fail "Up away from the tent showed its text"

# Escape holds the last frame until one more key, then the game exits 0.
key Escape
sleep 0.5
expect_running "the game, before the final key,"
end_last_wait
[ "$(cat "$WORK/debuglevel.txt")" = BREAK ] || fail "debuglevel.txt holds $(cat "$WORK/debuglevel.txt")"
echo PASS
