# The intro slides the title in so that screen column 0 keeps its black,
# twinkles, writes its credits and waits for a key before play begins.
source "$(dirname "$0")/lib/common.bash" "$@"
start_x
stage_data "$PLAY_LEVEL"
start_game
wait_for_window
sleep 4
slid=$(shot slid)
# Column 0 above the portrait keeps its black; only a white star may touch it.
colours=$(convert "$slid" -crop 1x100+0+0 -depth 8 -unique-colors txt:- | tail -n +2 | sed -E 's/^[^:]*: *\(([0-9]+,[0-9]+,[0-9]+).*/\1/')
for colour in $colours; do
    IFS=, read -r r g b <<<"$colour"
    [ "$colour" = "0,0,0" ] || { [ "$r" -gt 200 ] && [ "$g" -gt 200 ] && [ "$b" -gt 200 ]; } ||
        fail "column 0 was painted ($colour)"
done
[ "$(pixel "$slid" 1 150)" != "0,0,0" ] || [ "$(pixel "$slid" 1 60)" != "0,0,0" ] || fail "the title did not reach column 1"
sleep 5
waiting=$(shot waiting)
sleep 1
[ "$(pixels_differing "$waiting" "$(shot still_waiting)")" = 0 ] || fail "the intro should be waiting for a key"
[ -z "$(cat "$WORK/rc" 2>/dev/null)" ] || fail "the game ended during the intro"
key space
for _ in $(seq 50); do
    sleep 0.1
    play_has_begun "$(shot play)" && { echo PASS; exit 0; }
done
fail "play did not begin after the key"
