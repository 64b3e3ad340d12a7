# A whole game under Valgrind's memcheck: the intro, a tent, a jump, a zombie
# shot dead, a walk, Escape and the last key. Any invalid read or write, use
# of uninitialised memory or definitely lost block fails the run.
source "$(dirname "$0")/lib/common.bash" "$@"
command -v valgrind >/dev/null || fail "valgrind is not installed"

start_x
stage_data "$SOURCE_DIR/tests/e2e/levels/valgrind.dat"
( cd "$WORK" && {
    valgrind --error-exitcode=1 --errors-for-leak-kinds=definite --leak-check=full \
        --log-file="$WORK/valgrind.log" "$GAME" >"$WORK/out" 2>&1 &
    echo $! >"$WORK/valgrind.pid"
    wait $!
    echo $? >"$WORK/rc"
} ) &
GAME_PID=$!
# Killing the subshell alone would leave Valgrind running.
trap '[ -s "$WORK/valgrind.pid" ] && kill -9 "$(cat "$WORK/valgrind.pid")" 2>/dev/null; cleanup' EXIT

# A screenshot that may fail while the window is not yet shown; prints the
# path only when it was taken.
try_shot() {
    xwd -silent -id "$WINDOW" -out "$WORK/$1.xwd" 2>/dev/null &&
        convert "$WORK/$1.xwd" "$WORK/$1.png" 2>/dev/null && echo "$WORK/$1.png"
}

# Everything runs many times slower under Valgrind: wait generously.
for _ in $(seq 600); do
    xdotool search --name "^tolbrint$" >/dev/null 2>&1 && break
    sleep 0.1
done
wait_for_window
for _ in $(seq 300); do
    try_shot mapped >/dev/null && break
    sleep 0.2
done
xdotool mousemove --window "$WINDOW" 160 120
# A key pressed before the window takes input is lost: press it now and then.
played=
for attempt in $(seq 300); do
    [ $((attempt % 10)) = 1 ] && key space
    sleep 0.2
    frame=$(try_shot waiting) && play_has_begun "$frame" && { played=yes; break; }
done
[ -n "$played" ] || fail "play did not start under valgrind: $(cat "$WORK/out")"

# The zombie walks in from the right; ten hits kill it.
key d d d d d d d d d d d d d d
# Once it has exploded and gone nothing on the screen moves.
still=
for _ in $(seq 60); do
    before=$(try_shot before) || fail "no screenshot"
    sleep 1
    after=$(try_shot after) || fail "no screenshot"
    [ "$(pixels_differing "$before" "$after")" = 0 ] && { still=yes; break; }
done
[ -n "$still" ] || fail "the zombie did not die"

key Up
sleep 2
key space
sleep 1
key x
sleep 3
key_down Right
sleep 2
key_up Right
key Escape
sleep 2
key space
rc=$(wait_exit 120)
[ "$rc" != timeout ] || fail "the game did not end"
rm -f "$WORK/valgrind.pid"
grep -E "Invalid (read|write)|uninitialised|definitely lost: [1-9]" "$WORK/valgrind.log" && fail "valgrind found errors"
[ "$rc" = 0 ] || fail "exit code $rc; valgrind said: $(cat "$WORK/valgrind.log")"
grep -q "ERROR SUMMARY: 0 errors" "$WORK/valgrind.log" || fail "valgrind said: $(cat "$WORK/valgrind.log")"
echo PASS
