# What the game plays, recorded: Allegro's ALSA driver plays into ALSA's file
# plugin (with the null plugin behind it), set up in a scratch HOME's
# .asoundrc, and the recording is searched for bursts of sound.
source "$(dirname "$0")/lib/common.bash" "$@"
LISTEN="$BUILD_DIR/tests/listen"
RECORDING="$WORK/recording.raw"
RATE=44100

record_sound_to "$RECORDING"

# The effects alone: the music, which has a test of its own, is turned
# down to nothing, so that standing still is silent.
mkdir -p "$(dirname "$SETTINGS_FILE")"
printf '[sound]\nmusic_volume = 0\n' >"$SETTINGS_FILE"

# Frames recorded so far (16-bit stereo).
frames() { echo $(($(stat -c %s "$RECORDING" 2>/dev/null || echo 0) / 4)); }

# Bursts starting at or after frame $1 and before frame $2: "FIRST LAST LEFT RIGHT" lines.
bursts() {
    "$LISTEN" "$RECORDING" "$1" | awk -v to="$2" '$1 == "burst" && $2 < to { print $2, $3, $4, $5 }'
}

# The null plugin takes sound as fast as Allegro mixes it, which is faster
# than it is heard; the recording's pace against the clock turns a distance
# in it back into time.
measure_pace() {
    local f0 t0 f1 t1
    f0=$(frames); t0=$(now_ms)
    sleep 1
    f1=$(frames); t1=$(now_ms)
    FRAMES_PER_MS=$(((f1 - f0) / (t1 - t0)))
    [ "$FRAMES_PER_MS" -gt 0 ] || fail "the recording does not grow: is the sound driver running? $(cat "$WORK/out")"
    QUIET_FROM=$f0 QUIET_TO=$f1
}

play_and_quit() {
    quit_game
    ! grep -q "without sound" "$WORK/out" || fail "the game found no sound: $(cat "$WORK/out")"
}

# --- A zombie ahead: shots, hits, its explosion, then M.
start_x
stage_data "$SOURCE_DIR/tests/e2e/levels/zombie.dat"
cp "$BUILD_DIR/sounds.dat" "$WORK/"
start_game
wait_for_window
wait_for_play_to_begin
[ -s "$RECORDING" ] || fail "nothing recorded: $(cat "$WORK/out")"
"$LISTEN" "$RECORDING" | awk '$1 == "burst" && $3 - $2 > 0.8 * 44100 { found = 1 } END { exit !found }' ||
    fail "no title gong during the intro"

# The zombie walks up at once: ten quick shots kill it, and its explosion is
# a long burst.
before_kill=$(frames)
for _ in $(seq 12); do key d; sleep 0.05; done
sleep 1.5
bursts "$before_kill" $((before_kill + 100000000)) |
    awk -v min=$((RATE * 6 / 10)) '$2 - $1 >= min && ($3 > 10000 || $4 > 10000) { found = 1 } END { exit !found }' ||
    fail "no explosion after killing the zombie: $(bursts "$before_kill" 100000000)"

# Each press of D is followed within 50 ms by a burst. A press counts from
# the moment xdotool has sent it (starting xdotool itself takes tens of
# milliseconds on a busy machine). The game may answer before the recording
# is measured after the key, so the search starts from its size before.
presses=()
for _ in 1 2 3 4 5; do
    before=$(frames)
    xdotool keydown d keyup d
    presses+=("$before $(frames)")
    sleep 0.3
done
sleep 0.5

# With the zombie gone, standing still is silent.
measure_pace
[ -z "$(bursts "$QUIET_FROM" "$QUIET_TO")" ] || fail "standing still is not silent: $(bursts "$QUIET_FROM" "$QUIET_TO")"
echo "recording pace: $FRAMES_PER_MS frames a millisecond"
# A press that finds only the next press's shot (300 ms on), or none after
# the last press, never reached the game; one such is forgiven on a busy
# machine, a late shot never.
lost=0
for press in "${presses[@]}"; do
    read -r before sent <<<"$press"
    started=$(bursts "$before" $((before + 1000000)) | head -1 | cut -d' ' -f1)
    if [ -z "$started" ]; then lost=$((lost + 1)); continue; fi
    delay=$(((started > sent ? started - sent : 0) / FRAMES_PER_MS))
    echo "shot heard $delay ms after the key"
    if [ "$delay" -ge 250 ]; then lost=$((lost + 1)); continue; fi
    [ "$delay" -le 50 ] || fail "the shot came $delay ms after the key"
done
[ "$lost" -le 1 ] || fail "$lost of 5 presses brought no shot"

# M silences everything that follows.
key m
sleep 0.2
muted_from=$(frames)
key d
sleep 0.3
key d
sleep 0.3
muted_to=$(frames)
[ -z "$(bursts "$muted_from" "$muted_to")" ] || fail "sound after M: $(bursts "$muted_from" "$muted_to")"
[ "$("$LISTEN" "$RECORDING" | awk '$1 == "clipped" { print $2 }')" = 0 ] || fail "the mix clipped"
play_and_quit

# --- A robot on the right of the screen: its laser is louder on the right.
kill "$XVFB_PID" 2>/dev/null
wait 2>/dev/null
rm -f "$RECORDING" "$WORK/rc"
start_x
stage_data "$SOURCE_DIR/tests/e2e/levels/robot.dat"
start_game --skip-intro
wait_for_window
pass_intro
from=$(frames)
sleep 3
lasers=$(bursts "$from" $(($(frames) + 1)))
[ -n "$lasers" ] || fail "no laser heard in three seconds"
echo "$lasers" | awk '{ if ($4 <= 2 * $3) bad = 1 } END { exit bad }' ||
    fail "a laser from the right was not louder on the right: $lasers"
echo "lasers (first, last, left peak, right peak): $(echo "$lasers" | tr '\n' ';')"
play_and_quit
echo PASS
