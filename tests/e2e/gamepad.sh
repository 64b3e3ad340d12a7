# A gamepad through Allegro's own Linux joystick driver: the settings name a
# FIFO as the joystick device and the test writes Linux joystick events into
# it. A button passes the title; the d-pad's up opens the tent; the left
# stick and the d-pad walk one step a push; button 0 jumps; button 1 fires,
# and held it fires once, then on at the keyboard's repeat delay and rate
# (with [keys] repeat = system);
# button 2 held with the stick walks while firing; Start pauses and resumes;
# Back quits. The driver first asks its device for its version and its
# numbers of axes and buttons, which a FIFO cannot answer: a small preloaded
# library answers for it, and the rest is the real driver reading real events.
source "$(dirname "$0")/lib/common.bash" "$@"

PAD="$WORK/js0"
mkfifo "$PAD"
# Held open for writing from the start, so the game never reads an end of file.
exec 3<>"$PAD"
mkdir -p "$(dirname "$SETTINGS_FILE")"
# The buttons repeat at the desktop's rate here, as keys do with repeat =
# system; the game's own repeat is tested by key_repeat.sh.
printf '[keys]\nrepeat = system\n[joystick]\njoystick_device = %s\n' "$PAD" >"$SETTINGS_FILE"
cat >"$WORK/bin/game-with-pad" <<WRAPPER
#!/bin/sh
LD_PRELOAD="$BUILD_DIR/tests/libfake_gamepad.so" FAKE_GAMEPAD="$PAD" exec "$GAME" "\$@"
WRAPPER
chmod +x "$WORK/bin/game-with-pad"
GAME="$WORK/bin/game-with-pad"

# The pad the preloaded library describes has eight axes: the left stick is
# axes 0 and 1, the d-pad the last pair, 6 and 7.
STICK_X=0 DPAD_X=6 DPAD_Y=7
FULL=32767
START_BUTTON=7 BACK_BUTTON=6

# One js_event: time (4 bytes), value (2, little-endian), type (1 a button,
# 2 an axis) and the button's or axis' number.
pad_event() {
    local type=$1 number=$2 value=$(($3 & 0xffff))
    printf "\\x00\\x00\\x00\\x00\\x$(printf %02x $((value & 255)))\\x$(printf %02x $((value >> 8)))\\x0$type\\x$(printf %02x "$number")" >&3
}
pad_button() { pad_event 1 "$1" "$2"; }
pad_axis() { pad_event 2 "$1" "$2"; }
pad_press() { pad_button "$1" 1; sleep 0.1; pad_button "$1" 0; }

# A long repeat delay and a slow rate, which the game reads from the X server
# at its start: a push shorter than the delay is one press, and the shots of
# a held button stand far enough apart to be counted.
REPEAT_DELAY=2500 REPEAT_RATE=5
BULLET_GAP=$((2 * 100 / REPEAT_RATE)) # 2 pixels a pass, 100 passes a second

# Button 3 does nothing in play, but like any key it passes the title.
press_button_until_play() {
    local now
    now=$(now_ms)
    if [ $((now - ${LAST_PRESS:-0})) -ge 1000 ]; then
        pad_press 3
        LAST_PRESS=$now
    fi
    expect_running "the game, before play began,"
    take_shot waiting && play_has_begun "$SHOT"
}

# The difference from REFERENCE in SHOT reaches right of column LIMIT (a
# bullet), or above row LIMIT (the hero rising): BOX_ holds it.
reaches_right_of() { read_box "$(difference_box "$1" "$3")"; [ "$BOX_W" -gt 0 ] && [ $((BOX_X + BOX_W)) -gt "$2" ]; }
reaches_above() { read_box "$(difference_box "$1" "$3")"; [ "$BOX_W" -gt 0 ] && [ "$BOX_Y" -lt "$2" ]; }

# The columns right of the hero where a level shot's row shows bullet yellow,
# one line each.
BULLET_ROW=138
bullet_columns() {
    convert "$1" -crop "130x1+190+$BULLET_ROW" +repage -fx '(r>0.9&&g>0.85&&b<0.3)?1:0' -depth 8 txt:- |
        awk -F'[,:( ]+' 'NR > 1 && $4 > 0 { print $1 + 190 }' || fail "cannot read the bullet row of $1"
}
# Where each bullet in a shot begins, left to right.
bullet_starts() { bullet_columns "$1" | awk 'NR == 1 || $1 != last + 1 { print } { last = $1 }'; }
bullet_flies() { [ -n "$(bullet_columns "$1")" ]; }
# True when the shot shows at least three bullets in a row; GAPS holds the
# distances between them.
bullets_in_a_row() {
    GAPS=$(bullet_starts "$1" | awk 'NR > 1 { printf "%s%d", sep, $1 - last; sep = " " } { last = $1 }')
    [ "$(wc -w <<<"$GAPS")" -ge 2 ]
}

# Pushes AXIS to VALUE until the screen changes (the press was read), then
# lets it go back to the middle, well before the repeat delay.
push_axis() {
    local axis=$1 value=$2 before
    before=$(shot before_push)
    pad_axis "$axis" "$value"
    wait_for_screen 10 "axis $axis pushed to $value to act" pushed differs_from "$before"
    pad_axis "$axis" 0
    sleep 0.3
}

start_x
xset r rate "$REPEAT_DELAY" "$REPEAT_RATE"
xset q | grep -q "auto repeat delay: *$REPEAT_DELAY *repeat rate: *$REPEAT_RATE\$" ||
    fail "the X server did not take the repeat rate: $(xset q | grep 'repeat delay')"
stage_data "$PLAY_LEVEL"
start_game
wait_for_window
LAST_PRESS=0
wait_until 60 "a gamepad button to pass the title" press_button_until_play
wait_for_screen 30 "the keys to leave the strip" quiet strip_empty
wait_for_still 20 "the hero to stand still" standing
standing="$WORK/standing_still.png"
bullet_flies "$standing" && fail "bullet yellow in row $BULLET_ROW before any shot"

# The d-pad's up at the tent shows its message; any button goes back.
pad_axis "$DPAD_Y" -"$FULL"
wait_for_screen 10 "the d-pad's up to open the tent" tent tent_text_shown
pad_axis "$DPAD_Y" 0
sleep 0.3
pad_press 3
wait_for_screen 10 "play to come back after the tent" back same_as "$standing"
echo "ok: the d-pad's up at the tent"

pad_press 0
catch_on_screen 10 "button 0's jump" jumped reaches_above "$standing" 100
[ $((BOX_X + BOX_W)) -le 186 ] || fail "the jump changed ${BOX_W}x$BOX_H+$BOX_X+$BOX_Y, outside the hero"
wait_for_screen 10 "the hero to land" landed same_as "$standing"
echo "ok: button 0 jumps"

pad_press 1
catch_on_screen 10 "button 1's bullet" fired reaches_right_of "$standing" 200
wait_for_screen 10 "the bullet to vanish" after_shot same_as "$standing"
echo "ok: button 1 fires"

# Held, button 1 fires one shot, which flies out of range long before the
# repeat delay ends; after the delay the shots follow at the repeat rate,
# BULLET_GAP pixels apart. Let go, the last shots fly out.
held_since=$(now_ms)
pad_button 1 1
catch_on_screen 10 "the held button's first bullet" held_fired reaches_right_of "$standing" 200
wait_for_screen 10 "the first bullet to vanish while the button is held" held_gap same_as "$standing"
# Until the repeats begin the hero stands: the repeats came after the last
# screenshot that shows him so, and before the first that shows anything
# else (his firing pose, a bullet leaving the gun).
while :; do
    shot_begun=$(now_ms)
    take_shot held_wait
    same_as "$standing" "$SHOT" || break
    last_standing=$shot_begun
    [ $((shot_begun - held_since)) -lt $((REPEAT_DELAY + 10000)) ] || fail "held fire: no repeat in 10 s after the delay"
done
repeat_seen=$(now_ms)
# Screenshots may come slowly on a busy machine: a half delay's leeway early,
# two seconds late.
[ $((last_standing - held_since)) -ge $((REPEAT_DELAY / 2)) ] && [ $((repeat_seen - held_since)) -le $((REPEAT_DELAY + 2000)) ] ||
    fail "held fire: the repeats began between $((last_standing - held_since)) and $((repeat_seen - held_since)) ms, expected after $REPEAT_DELAY ms"
wait_for_screen 20 "repeated shots while the button is held" repeated bullets_in_a_row
pad_button 1 0
for gap in $GAPS; do
    [ "$gap" -ge $((BULLET_GAP / 2)) ] && [ "$gap" -le $((BULLET_GAP * 3 / 2)) ] ||
        fail "held fire: bullets $GAPS pixels apart, expected about $BULLET_GAP (one every $((1000 / REPEAT_RATE)) ms)"
done
wait_for_screen 10 "the repeated bullets to vanish" after_repeat same_as "$standing"
echo "ok: held button 1 repeats from $((last_standing - held_since))-$((repeat_seen - held_since)) ms, bullets $GAPS pixels apart"

# A push of the left stick or the d-pad is one 2-pixel step; the view
# scrolls with the hero.
for _ in 1 2 3; do push_axis "$STICK_X" "$FULL"; done
expect_view_at 6 "3 pushes of the left stick to the right"
for _ in 1 2 3 4 5; do push_axis "$DPAD_X" -"$FULL"; done
expect_view_at -4 "5 pushes of the d-pad to the left"

# Button 2 held: a push to the right is one step and a level shot.
pad_button 2 1
sleep 0.3
pad_axis "$STICK_X" "$FULL"
catch_on_screen 10 "a shot walking to the right" walk_fired bullet_flies
pad_axis "$STICK_X" 0
sleep 0.3
pad_button 2 0
expect_view_at -2 "button 2 held and a push to the right"

# Start opens the pause menu: the picture stands still, and button 3 does
# nothing; Start closes it again.
pad_press "$START_BUTTON"
wait_for_screen 10 "Start to pause" paused strip_text_shown
pad_press 3
sleep 1
take_shot still_paused
same_as "$WORK/paused.png" "$SHOT" || fail "the picture changed while paused"
pad_press "$START_BUTTON"
wait_for_screen 10 "Start to resume" resumed same_as "$WORK/settled_still.png"
echo "ok: Start pauses and resumes"

# Back quits; the last picture waits for one more press.
pad_press "$BACK_BUTTON"
sleep 0.5
expect_running "the game, on its last picture,"
pad_press 0
rc=$(wait_exit 20)
[ "$rc" = 0 ] || fail "exit code $rc; output: $(cat "$WORK/out")"
[ ! -s "$WORK/out" ] || fail "the game printed: $(cat "$WORK/out")"
echo PASS
