# Shared by the end-to-end tests: an X server of our own, the game started in
# a scratch directory, key presses and screenshots.
#   source lib/common.bash GAME BUILD_DIR SOURCE_DIR
set -u
GAME=$1
BUILD_DIR=$2
SOURCE_DIR=$3
WORK=$(mktemp -d /tmp/tolbrint-e2e-XXXXXX)
XVFB_PID=
GAME_PID=
# Allegro's message box runs xmessage and waits for a click; a stand-in
# records the message instead, so tests can read it.
mkdir -p "$WORK/bin"
cat >"$WORK/bin/xmessage" <<STUB
#!/bin/sh
printf '%s\n' "\$@" >>"$WORK/messagebox"
STUB
chmod +x "$WORK/bin/xmessage"
export PATH="$WORK/bin:$PATH"

fail() { echo "FAIL: $*" >&2; exit 1; }

cleanup() {
    [ -n "$GAME_PID" ] && kill -9 "$GAME_PID" 2>/dev/null
    # The game itself, which a failed test may leave running.
    [ -s "$WORK/game.pid" ] && kill -9 "$(cat "$WORK/game.pid")" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    wait 2>/dev/null
    [ -n "${KEEP_WORK:-}" ] || rm -rf "$WORK"
}
trap cleanup EXIT

# Starts Xvfb on a display number the server picks itself (so tests running
# side by side never share one) and exports DISPLAY. The screen is 640x480
# unless a size such as 1920x1080 is given.
start_x() {
    rm -f "$WORK/display"
    Xvfb -displayfd 9 -screen 0 "${1:-640x480}x24" -nolisten tcp 9>"$WORK/display" >/dev/null 2>&1 &
    XVFB_PID=$!
    for _ in $(seq 100); do
        if [ -s "$WORK/display" ]; then
            export DISPLAY=":$(head -1 "$WORK/display")"
            return 0
        fi
        sleep 0.1
    done
    fail "cannot start Xvfb"
}

# Copies the data files into the scratch directory (level file optional).
stage_data() {
    cp "$BUILD_DIR/tolbrint.dat" "$WORK/"
    cp "${1:-$BUILD_DIR/level1.dat}" "$WORK/level1.dat"
}

# Starts the game in the scratch directory with the given arguments; its exit
# code lands in $WORK/rc.
start_game() {
    (
        cd "$WORK" || exit
        "$GAME" "$@" >"$WORK/out" 2>&1 &
        echo $! >"$WORK/game.pid"
        wait $!
        echo $? >"$WORK/rc"
    ) &
    GAME_PID=$!
}

# Waits for the game's window and points the mouse at it so keys reach it.
wait_for_window() {
    local id
    for _ in $(seq 100); do
        id=$(xdotool search --name "^tolbrint$" 2>/dev/null | head -1)
        if [ -n "$id" ]; then
            WINDOW=$id
            xdotool mousemove --window "$WINDOW" 160 120
            return 0
        fi
        sleep 0.1
    done
    fail "the game's window did not appear: $(cat "$WORK/out" 2>/dev/null)"
}

key() { xdotool key --delay 30 "$@"; }
key_down() { xdotool keydown "$@"; }
key_up() { xdotool keyup "$@"; }

# Screenshot of the game's window as PNG; prints the path.
shot() {
    local name=$1
    xwd -silent -id "$WINDOW" -out "$WORK/$name.xwd" || fail "xwd failed"
    convert "$WORK/$name.xwd" "$WORK/$name.png" || fail "convert failed"
    echo "$WORK/$name.png"
}

# Colour of one pixel of a PNG as "r,g,b" (0..255).
pixel() {
    convert "$1" -crop "1x1+$2+$3" -depth 8 txt:- | tail -1 | sed -E 's/^[^:]*: *\(([0-9]+),([0-9]+),([0-9]+).*/\1,\2,\3/'
}

# Waits up to $1 seconds for the game to exit; prints its exit code.
wait_exit() {
    for _ in $(seq $(($1 * 10))); do
        [ -s "$WORK/rc" ] && { GAME_PID=; cat "$WORK/rc"; return 0; }
        sleep 0.1
    done
    echo timeout
}

# Number of differing pixels between two screenshots.
pixels_differing() {
    compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1
}

# Bounding box "WxH+X+Y" of the pixels that differ between two screenshots.
difference_box() {
    convert "$1" "$2" -compose difference -composite -fuzz 0 -format '%@' info:
}

# True once play has painted screen column 0, which the intro leaves black
# but for a star or two: several rows must show colour.
play_has_begun() {
    local y
    for y in 5 35 65 95; do
        [ "$(pixel "$1" 0 $y)" != "0,0,0" ] || return 1
    done
}

# Starts the game on a level, passes the intro and waits for the first frame
# of play. The key is pressed again now and then, since one pressed before
# the window takes input is lost; keys typed early wait in the buffer.
start_play() {
    start_x
    stage_data "$1"
    start_game
    wait_for_window
    pass_intro
}

# Presses a key until the game's first frame of play shows.
pass_intro() {
    local shot_path
    for attempt in $(seq 300); do
        [ $((attempt % 10)) = 1 ] && key space
        sleep 0.1
        shot_path=$(shot waiting)
        play_has_begun "$shot_path" && { sleep 0.3; return 0; }
    done
    fail "play did not start: $(cat "$WORK/out")"
}

# The level used by the play tests: flat ground, a portal at the start.
PLAY_LEVEL="$SOURCE_DIR/tests/e2e/levels/play.dat"
CLOSE_WINDOW="$BUILD_DIR/tests/close_window"
