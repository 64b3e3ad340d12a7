# The pause menu, by keys: P opens it over the dimmed picture; in Settings,
# Right makes the window bigger at once, and Keys puts jump on SPACE (SPACE
# then jumps, X no longer does). The settings file then holds both, with the
# player's own lines kept, and a new start uses them. A settings folder that
# cannot be made gets its line in the strip, and play goes on.
source "$(dirname "$0")/lib/common.bash" "$@"

mkdir -p "$(dirname "$SETTINGS_FILE")"
printf '# my own settings, kept\n[video]\nscale = 1\n# and a note of my own\n' >"$SETTINGS_FILE"

# The difference from REFERENCE in SHOT reaches right of column LIMIT (a
# bullet), or above row LIMIT (the hero rising): BOX_ holds it.
reaches_right_of() { read_box "$(difference_box "$1" "$3")"; [ "$BOX_W" -gt 0 ] && [ $((BOX_X + BOX_W)) -gt "$2" ]; }
reaches_above() { read_box "$(difference_box "$1" "$3")"; [ "$BOX_W" -gt 0 ] && [ "$BOX_Y" -lt "$2" ]; }
window_is() { [ "$(window_size)" = "$1" ]; }
# Keys for the menu, a little apart so that each is read on its own.
menu_keys() { xdotool key --delay 120 "$@"; }

start_x 1280x1024
stage_data "$PLAY_LEVEL"
start_game --skip-intro
wait_for_window
wait_until 10 "the window at scale 1" window_is 320x240
wait_for_still 20 "the hero to stand still" standing

# P: the menu over the picture, every other pixel of it black.
key p
menu_shown() { strip_text_shown "$1" && [ "$(pixel "$1" 0 0)" = "0,0,0" ] && [ "$(pixel "$1" 1 0)" != "0,0,0" ]; }
wait_for_screen 10 "the menu over the dimmed picture" menu menu_shown

# Settings, then Right on Scale: the window doubles at once.
menu_keys Down Return Right
wait_until 10 "the window at scale 2" window_is 640x480
# Down to Music volume, Left: one step quieter. Down to Keys, down to Jump,
# Return, SPACE; then back out and play on.
menu_keys Down Down Left
menu_keys Down Down Down Down Down Down Return Down Down Down Return
sleep 0.3
key space
menu_keys Escape Escape Escape
wait_for_still 20 "play again, at scale 2" standing2
standing="$WORK/standing2_still.png"
cp "$SHOT" "$standing"

# X and then D: once D's bullet flies, X has been read too, and nothing above
# the hero's head (row 200 at scale 2) has changed: X no longer jumps.
key x d
catch_on_screen 10 "D's bullet" fired reaches_right_of "$standing" 400
[ "$BOX_Y" -ge 200 ] || fail "X still jumps: the frame changed at ${BOX_W}x$BOX_H+$BOX_X+$BOX_Y"
wait_for_screen 10 "the bullet to vanish" after_shot same_as "$standing"
key space
catch_on_screen 10 "SPACE's jump" jumped reaches_above "$standing" 200
quit_game "the first run"

grep -qx "# my own settings, kept" "$SETTINGS_FILE" && grep -qx "# and a note of my own" "$SETTINGS_FILE" ||
    fail "the player's lines were not kept: $(cat "$SETTINGS_FILE")"
grep -qx "scale = 2" "$SETTINGS_FILE" && grep -qx "jump = SPACE" "$SETTINGS_FILE" &&
    grep -qx "music_volume = 145" "$SETTINGS_FILE" ||
    fail "the settings file does not hold the new scale, jump key and music volume: $(cat "$SETTINGS_FILE")"
! grep -q "^fire\|^volume\|^effects_volume" "$SETTINGS_FILE" || fail "settings that did not change were written: $(cat "$SETTINGS_FILE")"
echo "ok: the menu changed the scale, the music volume and the jump key, and saved them"

# A new start: scale 2, and SPACE jumps.
start_game --skip-intro
wait_for_window
wait_until 10 "the window at scale 2 after a new start" window_is 640x480
wait_for_still 20 "the hero to stand still" again
standing="$WORK/again_still.png"
key space
catch_on_screen 10 "SPACE's jump after a new start" jumped_again reaches_above "$standing" 200
quit_game "the second run"
echo "ok: a new start uses them"

# A settings folder that cannot be made: the strip says so, and play goes on.
: >"$WORK/not_a_folder"
XDG_CONFIG_HOME="$WORK/not_a_folder" start_game --skip-intro --scale 1
wait_for_window
wait_for_still 20 "the hero to stand still" third
key p
wait_for_screen 10 "the menu" menu3 menu_shown
# Settings, down to Pause in background, Return: a change to save.
menu_keys Down Return Down Down Down Down Down Return Escape Escape
wait_for_screen 10 "the strip's line about the settings" unsaved strip_text_shown
expect_running "the game, after its settings could not be saved,"
quit_game "the third run"
echo PASS
