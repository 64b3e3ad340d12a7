# Walks the hero of the shipped level to the tent's door, steps in with Up
# and reads the message: one light word a line, centred on column 50, from
# row 50 down, 15 rows apart; a key brings the game back.
source "$(dirname "$0")/lib/common.bash" "$@"

LEVEL="$BUILD_DIR/level1.dat"
# The portal record ends with "BREAK1"; its message follows the procedure's
# name and the two words the procedure takes first.
read -r -a record <<<"$(grep -w BREAK1 "$LEVEL")"
words=("${record[@]:5:${#record[@]}-6}")
[ "${#words[@]}" -ge 1 ] && [ "${#words[@]}" -le 10 ] || fail "the message has ${#words[@]} words"
portal_x=${record[0]}

start_play "$LEVEL"
# The ground is flat up to the tent, so every press is one 2-pixel step:
# walk to the middle of the portal's span (portal_x to portal_x + 20).
xdotool key --delay 20 --repeat $(((portal_x + 10) / 2)) Right
key Up
wait_for_screen 30 "the tent's message" tent tent_text_shown
tent=$SHOT

# The light pixels (the text colour) in one line's band of a screenshot, as
# "width centre"; the width is 0 when there are none.
line_extent() {
    convert "$1" -crop "110x9+0+$2" +repage -fx '(r>0.85&&g>0.85&&b>0.8)?1:0' -format '%@' info: 2>/dev/null |
        sed -E 's/^([0-9]+)x[0-9]+\+([0-9]+)\+.*/\1 \2/' | awk '{ print $1, $2 + $1 / 2 }'
}
for i in "${!words[@]}"; do
    word=${words[$i]}
    read -r width centre <<<"$(line_extent "$tent" $((50 + 15 * i)))"
    [ "${width:-0}" -ge $((2 * ${#word})) ] && [ "$width" -le $((7 * ${#word})) ] ||
        fail "line $((i + 1)) (\"$word\") is ${width:-0} pixels wide"
    awk -v c="$centre" 'BEGIN { exit !(c >= 47 && c <= 53) }' || fail "line $((i + 1)) is centred on $centre"
done
read -r width _ <<<"$(line_extent "$tent" $((50 + 15 * ${#words[@]})))"
[ "$width" = 0 ] || fail "text below the message's last line"

# A key ends the message and play goes on where it was.
message_gone() { read -r width _ <<<"$(line_extent "$1" 50)"; [ "$width" = 0 ]; }
key space
wait_for_screen 10 "the message to end after a key" back message_gone
quit_game
echo PASS
