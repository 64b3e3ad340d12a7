# The last level's exit, entered with Up, leads to the ending: the heading
# and the tally over the ending's picture, "Press a key" in the strip. A key
# brings back the title, a key from there a new run, and Escape ends it.
source "$(dirname "$0")/lib/common.bash" "$@"

start_x
stage_data
cp "$BUILD_DIR/level3.dat" "$WORK/"
exit_x=$(awk '$1 == "EXIT" { print $2 }' "$WORK/level3.dat")
[ -n "$exit_x" ] || fail "level3.dat has no exit"
start_game --skip-intro --start-x "$((exit_x + 10))" level3.dat
wait_for_window

# The heading in the title's gold, from row 14, and the tally's light rows.
heading_shown() {
    local gold
    gold=$(convert "$1" -crop 320x20+0+12 +repage -fx '(r>0.7&&g>0.5&&b<0.4)?1:0' -format '%[fx:mean*w*h]' info:)
    [ "${gold%.*}" -gt 50 ]
}
ending_shown() { heading_shown "$1" && strip_text_shown "$1" && tent_text_shown "$1"; }
# The torches flicker, so the hero is not waited for: Up works in the air
# too. A key sent before the window takes input is lost, so Up goes again
# if the ending has not come; any key on the ending leaves it, so not sooner.
sleep 1
for attempt in 1 2 3; do
    key Up
    for _ in $(seq 40); do
        take_shot ending && ending_shown "$SHOT" && break 2
        sleep 0.1
    done
    [ "$attempt" -lt 3 ] || fail "no ending after Up at the exit (last screenshot: $SHOT)"
done
key space
wait_for_screen 30 "the title after the ending" title title_at_column_1
key space
sleep 2
quit_game
echo PASS
