# The game starts on datafiles made with Allegro's own dat tool (plain,
# packed as a whole, compressed object by object) and reaches play.
source "$(dirname "$0")/lib/common.bash" "$@"
start_x
for made in plain packed compressed; do
    stage_data "$PLAY_LEVEL"
    cp "$BUILD_DIR/dat-made/$made.dat" "$WORK/tolbrint.dat"
    rm -f "$WORK/rc"
    start_game
    wait_for_window
    pass_intro
    quit_game "$made.dat"
    echo "ok: $made.dat plays"
done
echo PASS
