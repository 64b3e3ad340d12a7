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
wait_for_still 30 "the hero to land at the exit" landed 0.4
key Up

# The heading in the title's gold, from row 14, and the tally's light rows.
heading_shown() {
    local gold
    gold=$(convert "$1" -crop 320x20+0+12 +repage -fx '(r>0.7&&g>0.5&&b<0.4)?1:0' -format '%[fx:mean*w*h]' info:)
    [ "${gold%.*}" -gt 50 ]
}
ending_shown() { heading_shown "$1" && strip_text_shown "$1" && tent_text_shown "$1"; }
wait_for_screen 30 "the ending" ending ending_shown
key space
wait_for_screen 30 "the title after the ending" title title_at_column_1
key space
wait_for_still 30 "the new run to begin" again 0.4
quit_game
echo PASS
