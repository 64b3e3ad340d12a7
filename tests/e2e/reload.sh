# Live reload: the level file changes while the game runs; F5 shows the
# cactus where the file now puts it with the hero where he was, and a broken
# file leaves the old level playing with the loader's message in the strip.
source "$(dirname "$0")/lib/common.bash" "$@"
LEVEL="$SOURCE_DIR/tests/e2e/levels/reload.dat"
# The view starts at world x 200: the cactus at x 260 stands at screen column
# 60, and is moved to 440, column 240, clear of the hero at 130 to 186.
OLD_COLUMN=60
NEW_COLUMN=240
CACTUS_TOP=100

start_x
stage_data "$LEVEL"
start_game --skip-intro --start-x 200
wait_for_window

# Screenshot with the cactus's waving hand (20 x 20 at the cactus's x + 5,
# y + 30) painted over, at both places, since it moves on its own.
still_shot() {
    # Under load the game's first window may give way to another: look again.
    if ! xwd -silent -id "$WINDOW" -out "$WORK/$1.xwd" 2>/dev/null; then
        wait_for_window
        xwd -silent -id "$WINDOW" -out "$WORK/$1.xwd" 2>/dev/null || return 1
    fi
    convert "$WORK/$1.xwd" -fill black \
        -draw "rectangle $((OLD_COLUMN + 5)),$((CACTUS_TOP + 30)) $((OLD_COLUMN + 24)),$((CACTUS_TOP + 49))" \
        -draw "rectangle $((NEW_COLUMN + 5)),$((CACTUS_TOP + 30)) $((NEW_COLUMN + 24)),$((CACTUS_TOP + 49))" \
        "$WORK/$1-still.png" || return 1
    echo "$WORK/$1-still.png"
}

# Waits until the game shows play without the title, and the hero has
# dropped onto the ground: two pictures in a row the same.
wait_for_hero_standing() {
    local previous="" current
    for _ in $(seq 200); do
        sleep 0.2
        current=$(still_shot standing-b) || continue
        if [ -n "$previous" ] && play_has_begun "$current" &&
            [ "$(pixels_differing "$previous" "$current")" = 0 ]; then
            cp "$current" "$WORK/standing.png"
            echo "$WORK/standing.png"
            return 0
        fi
        previous="$WORK/standing-a.png"
        cp "$current" "$previous"
    done
    fail "the hero never came to stand: $(cat "$WORK/out")"
}

# The strip under the play view, rows 200 to 239, as the number of lit pixels.
strip_pixels() {
    convert "$1" -crop 320x40+0+200 +repage -threshold 10% -format '%[fx:mean*w*h]' info: | cut -d. -f1
}

# Crops the play view, the top 200 rows.
view_of() { convert "$1" -crop 320x200+0+0 +repage "$WORK/$2.png"; echo "$WORK/$2.png"; }

# Runs a check every fifth of a second until it passes; false after 20 s.
within_20s() {
    for _ in $(seq 100); do
        sleep 0.2
        "$@" && return 0
    done
    return 1
}

before=$(wait_for_hero_standing)
[ "$(strip_pixels "$before")" = 0 ] || fail "the strip is not empty at the start"

# Move the cactus in the file and press F5.
sed -i 's/^260 100 CACTUS$/440 100 CACTUS/' "$WORK/level1.dat"
key F5
after="$WORK/reloaded-still.png"
picture_changed() { [ "$(pixels_differing "$before" "$(still_shot reloaded)")" != 0 ]; }
within_20s picture_changed || fail "nothing changed after F5"
# The play view alone: the strip says LEVEL RELOADED for a moment.
box=$(difference_box "$(view_of "$before" view_before)" "$(view_of "$after" view_after)")
read -r w h x y <<<"$(echo "$box" | sed -E 's/([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)/\1 \2 \3 \4/')"
# All that changed lies between the old cactus's left edge and the new one's
# right edge, and reaches both.
[ "$x" -ge "$OLD_COLUMN" ] && [ "$x" -le $((OLD_COLUMN + 10)) ] && [ $((x + w)) -ge $((NEW_COLUMN + 20)) ] &&
    [ $((x + w)) -le $((NEW_COLUMN + 30)) ] && [ "$y" -ge "$CACTUS_TOP" ] && [ $((y + h)) -le 180 ] ||
    fail "the reload changed $box, not the cactus moving from column $OLD_COLUMN to $NEW_COLUMN"
convert "$before" -crop 56x80+130+100 +repage "$WORK/hero-before.png"
convert "$after" -crop 56x80+130+100 +repage "$WORK/hero-after.png"
[ "$(pixels_differing "$WORK/hero-before.png" "$WORK/hero-after.png")" = 0 ] || fail "the hero is not where he was"
# The cactus has left the old place: the old box is sky and sand again.
[ "$(pixels_differing "$(view_of "$before" v1)" "$(view_of "$after" v2)")" != 0 ] || fail "nothing moved"

# Break the file: the old level plays on and the strip says what is wrong.
sed -i 's/^440 100 CACTUS$/440 abc CACTUS/' "$WORK/level1.dat"
key F5
broken="$WORK/broken-still.png"
strip_shows_text() { [ "$(strip_pixels "$(still_shot broken)")" -gt 20 ]; }
within_20s strip_shows_text || fail "no message in the strip after a broken reload"
[ "$(pixels_differing "$(view_of "$after" v3)" "$(view_of "$broken" v4)")" = 0 ] ||
    fail "the play view changed after a broken reload"
grep -q "^tolbrint: level1.dat:9:5: expected an integer (y of an enemy record), found \"abc\"$" "$WORK/out" ||
    fail "no message on stderr: $(cat "$WORK/out")"
[ -z "$(cat "$WORK/rc" 2>/dev/null)" ] || fail "the game ended: $(cat "$WORK/out")"

# The game still plays: Right scrolls the view.
key_down Right
sleep 0.5
key_up Right
sleep 0.3
[ "$(pixels_differing "$(view_of "$broken" v5)" "$(view_of "$(still_shot walked)" v6)")" != 0 ] ||
    fail "the game does not play on"

# Mended, the next F5 empties the strip.
sed -i 's/^440 abc CACTUS$/440 100 CACTUS/' "$WORK/level1.dat"
key F5
strip_empty() { [ "$(strip_pixels "$(still_shot mended)")" = 0 ]; }
within_20s strip_empty || fail "the strip still shows the old message"

quit_game
echo PASS
