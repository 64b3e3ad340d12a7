# A normal start opens the 320 x 240 window; keys typed during the intro wait
# in the buffer: one ends the intro and Escape quits play. A key already
# waiting does not end the last picture: only one pressed after Escape exits 0.
source "$(dirname "$0")/lib/common.bash" "$@"
start_x
stage_data
start_game
wait_for_window
geometry=$(xdotool getwindowgeometry "$WINDOW" | grep Geometry | tr -d ' ' | cut -d: -f2)
[ "$geometry" = "320x240" ] || fail "window is $geometry, expected 320x240"
sleep 0.5
[ -z "$(cat "$WORK/rc" 2>/dev/null)" ] || fail "the game ended before a key was pressed"
key space Escape space
for _ in $(seq 300); do
    play_has_begun "$(shot waiting)" && break
    sleep 0.1
done
sleep 1
[ -z "$(cat "$WORK/rc" 2>/dev/null)" ] || { wait_exit 30 >/dev/null; fail "a key typed before Escape was read ended the game"; }
for _ in $(seq 60); do
    [ -s "$WORK/rc" ] && break
    key space
    sleep 0.5
done
rc=$(wait_exit 30)
[ "$rc" = 0 ] || fail "exit code $rc, expected 0; output: $(cat "$WORK/out")"
echo PASS
