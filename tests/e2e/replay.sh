# A run recorded live plays back frame for frame, in the window and with no
# display, its pause left out; the last run is kept; the playback keys pause,
# step and take over, and the run taken over keeps what was replayed.
source "$(dirname "$0")/lib/common.bash" "$@"
start_x
stage_data "$PLAY_LEVEL"
LAST_RUN="$HOME/.local/state/tolbrint/last.tbr"

start_game --skip-intro --record "$WORK/run.tbr" --frame-hashes "$WORK/live.txt"
wait_for_window
wait_for_still 30 "the hero standing still" standing
# Walking, a jump, shots level and walking while firing, and a pause.
key_down Right
sleep 1.5
key x d
key_down Control_L
sleep 0.6
key_up Control_L
key_up Right
key p
wait_for_screen 10 "the pause" paused strip_text_shown
sleep 1
key p d d
sleep 1
quit_game "the recorded run"
[ -s "$WORK/run.tbr" ] || fail "--record wrote no replay"
cmp -s "$WORK/run.tbr" "$LAST_RUN" || fail "the last run kept in $LAST_RUN is not the recorded one"

start_game --playback "$WORK/run.tbr" --frame-hashes "$WORK/played.txt"
[ "$(wait_exit 60)" = 0 ] || fail "the playback did not end by itself: $(cat "$WORK/out")"
cmp -s "$WORK/live.txt" "$WORK/played.txt" || fail "the playback differs from the run: $(cmp "$WORK/live.txt" "$WORK/played.txt")"
(cd "$WORK" && env -u DISPLAY "$GAME" --verify run.tbr --frame-hashes verified.txt) >"$WORK/verify.out" 2>&1 ||
    fail "--verify: $(cat "$WORK/verify.out")"
cmp -s "$WORK/live.txt" "$WORK/verified.txt" || fail "--verify drew another run: $(cmp "$WORK/live.txt" "$WORK/verified.txt")"
echo "ok: $(wc -l <"$WORK/live.txt") passes the same live, played back and verified"

# Space pauses the playback with its pass in the strip; '.' steps a pass;
# Left while paused takes over, and the hero walks on live.
start_game --playback "$WORK/run.tbr" --record "$WORK/taken.tbr"
wait_for_window
sleep 1
key space
wait_for_still 10 "the paused playback" paused_playback
strip_text_shown "$SHOT" || fail "the paused playback shows nothing in the strip"
key period
wait_for_screen 10 "'.' to step one pass" stepped differs_from "$SHOT"
key Left Left Left
quit_game "the run taken over"
"$GAME" --verify "$WORK/taken.tbr" --frame-hashes "$WORK/taken.txt" >"$WORK/verify.out" 2>&1 ||
    fail "the run taken over does not verify: $(cat "$WORK/verify.out")"
replayed=$(cmp "$WORK/live.txt" "$WORK/taken.txt" | awk '{ print $NF }')
[ "${replayed:-0}" -gt 50 ] || fail "the run taken over does not begin with the replayed passes (differs from line ${replayed:-?})"
echo "ok: the run taken over keeps its first $((replayed - 1)) passes"
