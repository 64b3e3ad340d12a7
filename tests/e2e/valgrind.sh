# A whole game under Valgrind's memcheck: the intro, a tent, a jump, a zombie
# shot dead, a walk, Escape and the last key. Any invalid read or write, use
# of uninitialised memory or definitely lost block fails the run, but for the
# few bytes Allegro's sound driver keeps (valgrind.supp).
source "$(dirname "$0")/lib/common.bash" "$@"
command -v valgrind >/dev/null || fail "valgrind is not installed"

start_x
stage_data "$SOURCE_DIR/tests/e2e/levels/valgrind.dat"
( cd "$WORK" && {
    valgrind --error-exitcode=1 --errors-for-leak-kinds=definite --leak-check=full \
        --suppressions="$SOURCE_DIR/tests/e2e/valgrind.supp" --log-file="$WORK/valgrind.log" "$GAME" >"$WORK/out" 2>&1 &
    echo $! >"$WORK/valgrind.pid"
    wait $!
    echo $? >"$WORK/rc"
} ) &
GAME_PID=$!
# Killing the subshell alone would leave Valgrind running.
trap '[ -s "$WORK/valgrind.pid" ] && kill -9 "$(cat "$WORK/valgrind.pid")" 2>/dev/null; cleanup' EXIT

# Everything runs many times slower under Valgrind: wait generously.
wait_for_window 120
wait_for_play_to_begin 300

# The zombie walks in from the right; ten hits kill it. Once it has
# exploded and gone nothing on the screen moves.
key d d d d d d d d d d d d d d
wait_for_still 120 "the zombie to die" dead 2

key Up
wait_for_screen 120 "the tent's text" tent tent_text_shown
key space
wait_for_screen 120 "play to come back after the tent" back differs_from "$SHOT"
key x
wait_for_still 120 "the hero to land" landed 2
key_down Right
sleep 2
key_up Right
key Escape
wait_for_still 120 "the last frame after Escape" final 2
key space
rc=$(wait_exit 120)
[ "$rc" != timeout ] || fail "the game did not end"
rm -f "$WORK/valgrind.pid"
grep -E "Invalid (read|write)|uninitialised|definitely lost: [1-9]" "$WORK/valgrind.log" && fail "valgrind found errors"
[ "$rc" = 0 ] || fail "exit code $rc; valgrind said: $(cat "$WORK/valgrind.log")"
grep -q "ERROR SUMMARY: 0 errors" "$WORK/valgrind.log" || fail "valgrind said: $(cat "$WORK/valgrind.log")"
echo PASS
