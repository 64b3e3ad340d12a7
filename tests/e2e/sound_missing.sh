# Sound the game cannot have: no usable device, or a broken sounds.dat or
# music.dat. Either way it says so in one line on stderr, with no message
# box, plays on without it and ends with exit code 0.
source "$(dirname "$0")/lib/common.bash" "$@"

play_silently() {
    local case=$1 expected=$2
    start_x
    stage_data "$PLAY_LEVEL"
    start_game --skip-intro
    wait_for_window
    pass_intro
    key d
    key Right Right x
    sleep 0.3
    quit_game "$case"
    [ "$(wc -l <"$WORK/out")" = 1 ] || fail "$case: not one line on stderr: $(cat "$WORK/out")"
    grep -qF "$expected" "$WORK/out" || fail "$case: the line was: $(cat "$WORK/out")"
    [ ! -e "$WORK/messagebox" ] || fail "$case: a message box: $(cat "$WORK/messagebox")"
    echo "$case: $(cat "$WORK/out")"
    kill "$XVFB_PID" 2>/dev/null
    wait 2>/dev/null
    mv -f "$WORK/out" "$WORK/out.kept"
    rm -f "$WORK/rc"
}

# The default device is a sound card that is not there.
printf 'pcm.!default { type hw card 42 }\nctl.!default { type hw card 42 }\n' >"$HOME/.asoundrc"
cp "$BUILD_DIR/sounds.dat" "$WORK/"
play_silently "no device" "no sound device"

# A device that takes the sound, and a sounds.dat cut short.
printf 'pcm.!default { type null }\n' >"$HOME/.asoundrc"
head -c 5000 "$BUILD_DIR/sounds.dat" >"$WORK/sounds.dat"
play_silently "truncated sounds.dat" "sounds.dat: not a readable Allegro datafile"

# The effects, and a music.dat cut short: the game plays without music.
cp "$BUILD_DIR/sounds.dat" "$WORK/"
head -c 5000 "$BUILD_DIR/music.dat" >"$WORK/music.dat"
play_silently "truncated music.dat" "music.dat: not a readable Allegro datafile"
grep -q "; playing without music$" "$WORK/out.kept" || fail "the line does not say the game plays without music"
echo PASS
