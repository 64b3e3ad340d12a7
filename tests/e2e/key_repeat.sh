# A held arrow walks at the game's own pace, the same under very different
# desktop key repeats, and keeps walking through a jump and after it: each
# run holds Right for 2 s (and, in the second, jumps and holds it 2 s more),
# and the run's own replay says how far the hero got. After Escape the strip
# says to press a key.
source "$(dirname "$0")/lib/common.bash" "$@"

start_x
stage_data "$PLAY_LEVEL"

# Holds Right for the given seconds, jumping between them when asked, then
# quits; prints the hero's world x at the end, as the run's replay has it.
#   walk_held SECONDS [jump SECONDS]
walk_held() {
    rm -f "$WORK/run.tbr"
    start_game --skip-intro --mute --record run.tbr >/dev/null
    wait_for_window
    wait_for_still 30 "the hero standing at the start" start 0.4 >/dev/null
    key_down Right
    sleep "$1"
    if [ "${2:-}" = jump ]; then
        key x
        sleep "$3"
    fi
    key_up Right
    # After Escape the strip asks for the key that ends the game.
    key Escape
    wait_for_screen 10 "PRESS A KEY TO EXIT in the strip" bye strip_text_shown
    end_last_wait "the walk" >/dev/null
    (cd "$WORK" && "$GAME" --verify run.tbr) | sed -n 's/.*the hero ends at x \(-\?[0-9]*\),.*/\1/p'
}

# The game's repeat, 150 ms to the first step, then 25 steps of 2 pixels a
# second: about 92 pixels in 2 s.
within() { [ "$1" -ge "$2" ] && [ "$1" -le "$3" ]; }
for rate in "250 60" "1000 5"; do
    xset r rate $rate
    before=$(walk_held 2)
    both=$(walk_held 2 jump 2)
    after=$((both - before))
    within "$before" 60 130 || fail "xset r rate $rate: 2 s of a held Right walked $before pixels, expected about 92"
    within "$after" $((before * 6 / 10)) $((before * 14 / 10)) ||
        fail "xset r rate $rate: $before pixels in the 2 s before the jump, $after in the 2 s after it"
    echo "ok: xset r rate $rate: $before pixels before the jump, $after after it"
done
echo PASS
