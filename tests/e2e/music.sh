# The music, recorded as the sound test records: through ALSA's file plugin,
# then looked at in windows of 50 ms (loudest sample, largest step, and the
# difference between the channels, which the centred music leaves near 0).
source "$(dirname "$0")/lib/common.bash" "$@"
LISTEN="$BUILD_DIR/tests/listen"
RECORDING="$WORK/recording.raw"
WINDOW_MS=50
SILENT=200 # 0.6 % of full scale

record_sound_to "$RECORDING"

frames() { echo $(($(stat -c %s "$RECORDING" 2>/dev/null || echo 0) / 4)); }
recorded_past() { [ "$(frames)" -gt "$1" ]; }
# The first window at or after frame $1 with sound in it.
first_heard() { windows "$1" 1000000000 | awk -v quiet=$SILENT '$2 >= quiet { print $1; exit }'; }
# "FIRST PEAK STEP SIDE" for each window from frame $1 to frame $2.
windows() { "$LISTEN" "$RECORDING" "$1" "$WINDOW_MS" | awk -v to="$2" '$1 == "window" && $2 < to { print $2, $3, $4, $5 }'; }
silent_windows() { windows "$1" "$2" | awk -v quiet=$SILENT '$2 < quiet' | wc -l; }
loudest_side() { windows "$1" "$2" | awk '$4 > side { side = $4 } END { print side + 0 }'; }
restart() {
    quit_game
    kill "$XVFB_PID" 2>/dev/null
    wait 2>/dev/null
    rm -f "$RECORDING" "$WORK/rc" "$WORK/out"
}

# --- The game's own music: the title theme, the level's loop, shots on top,
# then M.
start_x
stage_data
cp "$BUILD_DIR/sounds.dat" "$BUILD_DIR/music.dat" "$WORK/"
start_game
wait_for_window
wait_until 20 "the title theme" recorded_past 88200
title_from=$(first_heard 0)
[ -n "$title_from" ] || fail "no title theme"
wait_until 20 "three seconds of the title theme" recorded_past $((title_from + 44100 * 3))
title_to=$(frames)
[ "$(silent_windows "$title_from" "$title_to")" = 0 ] ||
    fail "the title theme falls silent: $(windows "$title_from" "$title_to" | awk '$2 < 200' | head -3)"
wait_for_play
still_from=$(frames)
sleep 1.5
still_to=$(frames)
[ "$(silent_windows "$still_from" "$still_to")" = 0 ] || fail "no music while standing still"
music_side=$(loudest_side "$still_from" "$still_to")
shots_from=$(frames)
for _ in 1 2 3; do key d; sleep 0.3; done
shots_to=$(frames)
shots_side=$(loudest_side "$shots_from" "$shots_to")
echo "side of the music alone: $music_side; with shots: $shots_side"
[ "$shots_side" -gt $((music_side * 4 + 200)) ] || fail "the shots are not heard over the music"
key m
sleep 0.3
muted_from=$(frames)
sleep 1
muted_to=$(frames)
[ "$(windows "$muted_from" "$muted_to" | awk '$2 > 0' | wc -l)" = 0 ] || fail "sound after M"
[ "$("$LISTEN" "$RECORDING" | awk '$1 == "clipped" { print $2 }')" = 0 ] || fail "the mix clipped"
grep -q "without" "$WORK/out" && fail "the game played without something: $(cat "$WORK/out")"
restart

# --- A loop of a single hum, 1 s long after 1 s of silence: once the hum
# has begun it never stops nor clicks, however often the loop wraps. With a
# wrong loop point the silence would come back; with the tail not carried
# over, the wrap would click.
mkdir -p "$WORK/scores"
for piece in TITLE_THEME DESERT CANYON TEMPLE ENDING; do
    cat >"$WORK/scores/$piece.txt" <<SCORE
name $piece
tempo 240
key a minor
instrument hum wave=sine attack=3 release=120 gain=0.8
pattern hush hum
  r/1
end
pattern tune hum
  a3/2 c4/2
end
play hush
loop
play tune
SCORE
done
"$BUILD_DIR/tolbrint-mkmusic" "$WORK/scores" "$WORK/music.dat" || fail "the test's music did not build"
mkdir -p "$(dirname "$SETTINGS_FILE")"
printf '[sound]\neffects_volume = 0\n' >"$SETTINGS_FILE"
start_x
start_game --skip-intro
wait_for_window
wait_until 30 "five loops of the hum" recorded_past $((44100 * 7))
from=$(first_heard 0)
[ -n "$from" ] || fail "the hum never began"
to=$(frames)
[ "$(silent_windows $((from + 2205)) $((to - 2205)))" = 0 ] ||
    fail "the hum stopped after its loop point: $(windows "$from" "$to" | awk '$2 < 200' | head -3)"
steps=$(windows $((from + 2205)) $((to - 2205)) | awk '{ print $3 }' | sort -n)
usual=$(echo "$steps" | awk '{ s[NR] = $1 } END { print s[int(NR / 2) + 1] }')
largest=$(echo "$steps" | tail -1)
echo "steps in the hum: usual $usual, largest $largest"
[ "$largest" -le $((usual * 2 + 20)) ] || fail "a click in the looping hum: a step of $largest, usually $usual"
restart
echo PASS
