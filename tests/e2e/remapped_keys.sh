# A settings file moves jump to Space and fire to F: Space jumps, F fires, and
# X and D do nothing any more. --print-config reads back unchanged, and shows
# the command line winning over the file.
source "$(dirname "$0")/lib/common.bash" "$@"

mkdir -p "$(dirname "$SETTINGS_FILE")"
cat >"$SETTINGS_FILE" <<'CFG'
[keys]
jump = SPACE
fire = F
[video]
sclae = 2
CFG

# The settings in force, printed without a display, read back unchanged.
( cd "$WORK" && env -u DISPLAY "$GAME" --print-config >"$WORK/printed.cfg" 2>"$WORK/print.err" ) ||
    fail "--print-config failed: $(cat "$WORK/print.err")"
grep -qx "jump = SPACE" "$WORK/printed.cfg" || fail "--print-config: $(cat "$WORK/printed.cfg")"
( cd "$WORK" && env -u DISPLAY "$GAME" --config "$WORK/printed.cfg" --print-config >"$WORK/again.cfg" 2>&1 )
cmp -s "$WORK/printed.cfg" "$WORK/again.cfg" || fail "the printed settings read back differently"
# What the command line says wins over the file.
printf '[video]\nscale = 2\nfullscreen = yes\n' >"$WORK/over.cfg"
( cd "$WORK" && env -u DISPLAY "$GAME" --config "$WORK/over.cfg" --scale 5 --windowed --print-config \
    >"$WORK/over.out" 2>&1 ) || fail "--print-config with options failed: $(cat "$WORK/over.out")"
grep -qx "scale = 5" "$WORK/over.out" && grep -qx "fullscreen = no" "$WORK/over.out" ||
    fail "the settings file won over the command line: $(cat "$WORK/over.out")"

start_x
( cd "$WORK" && "$GAME" --config "$WORK/none.cfg" >"$WORK/out" 2>&1 ); rc=$?
[ $rc = 2 ] || fail "a missing --config file: exit code $rc, expected 2"
grep -q "none.cfg: cannot open the settings file" "$WORK/out" || fail "a missing --config file: $(cat "$WORK/out")"

# The difference from REFERENCE in SHOT reaches right of column LIMIT (a
# bullet), or above row LIMIT (the hero rising): BOX_ holds it.
reaches_right_of() { read_box "$(difference_box "$1" "$3")"; [ "$BOX_W" -gt 0 ] && [ $((BOX_X + BOX_W)) -gt "$2" ]; }
reaches_above() { read_box "$(difference_box "$1" "$3")"; [ "$BOX_W" -gt 0 ] && [ "$BOX_Y" -lt "$2" ]; }

stage_data "$PLAY_LEVEL"
start_game
wait_for_window
INTRO_KEY=Return wait_for_play
wait_for_still 20 "the hero to stand still" standing
standing="$WORK/standing_still.png"
grep -q "tolbrint: $SETTINGS_FILE: \[video\] sclae = 2: no such setting; ignored" "$WORK/out" ||
    fail "no warning for the unknown setting: $(cat "$WORK/out")"

# X, then F: once F's bullet flies, X has been read too, and nothing above the
# hero's head (row 100) has changed, so he did not jump.
key x f
catch_on_screen 10 "F's bullet" fired reaches_right_of "$standing" 200
[ "$BOX_Y" -ge 100 ] || fail "X still jumps: the frame changed at ${BOX_W}x$BOX_H+$BOX_X+$BOX_Y"
wait_for_screen 10 "the bullet to vanish" after_shot same_as "$standing"

# D, then Space: once the hero rises, D has been read too, and nothing right
# of the hero (column 186) has changed, so no bullet flies.
key d space
catch_on_screen 10 "Space's jump" jumped reaches_above "$standing" 100
[ $((BOX_X + BOX_W)) -le 186 ] || fail "D still fires: the frame changed at ${BOX_W}x$BOX_H+$BOX_X+$BOX_Y"
wait_for_screen 10 "the hero to land" landed same_as "$standing"

quit_game "" Return
echo PASS
