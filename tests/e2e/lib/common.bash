# Shared by the end-to-end tests: an X server of our own, the game started in
# a scratch directory, key presses, screenshots and waits for what the screen
# shows.
#   source lib/common.bash GAME BUILD_DIR SOURCE_DIR
set -u
GAME=$1
BUILD_DIR=$2
SOURCE_DIR=$3
WORK=$(mktemp -d /tmp/tolbrint-e2e-XXXXXX)
XVFB_PID=
GAME_PID=
WINDOW=
SHOT=
# Allegro's message box runs xmessage and waits for a click; a stand-in
# records the message instead, so tests can read it.
mkdir -p "$WORK/bin"
cat >"$WORK/bin/xmessage" <<STUB
#!/bin/sh
printf '%s\n' "\$@" >>"$WORK/messagebox"
STUB
chmod +x "$WORK/bin/xmessage"
export PATH="$WORK/bin:$PATH"
# The player's own settings file stays out of the tests: the game looks for
# one under the scratch directory, where a test may write it.
export XDG_CONFIG_HOME="$WORK/config"
SETTINGS_FILE="$XDG_CONFIG_HOME/tolbrint/tolbrint.cfg"

# A home of the test's own: none of the developer's settings, and the game's
# sound goes to ALSA's null device, so the tests are silent. The sound tests
# write their own .asoundrc here.
mkdir -p "$WORK/home"
printf 'pcm.!default { type null }\n' >"$WORK/home/.asoundrc"
export HOME="$WORK/home"
# Sends the game's sound into the file $1 instead, through ALSA's file
# plugin with the null device behind it: raw 16-bit stereo at 44,100 Hz.
record_sound_to() {
    printf 'pcm.!default {\n    type file\n    slave.pcm "null"\n    file "%s"\n    format "raw"\n}\n' "$1" \
        >"$HOME/.asoundrc"
}

# A failure ends the test even when it happens inside $(...) or a pipeline,
# where exit alone would end only the subshell: the subshell signals the
# test's own shell, which then exits 1 too.
TEST_PID=$$
trap 'exit 1' USR1
fail() {
    echo "FAIL: $*" >&2
    [ "$BASHPID" = "$TEST_PID" ] || kill -USR1 "$TEST_PID"
    exit 1
}

# A test that cannot run here ends as skipped (CTest's SKIP_RETURN_CODE).
# Under CI a skip fails instead: CI installs everything a test needs.
skip() {
    [ -z "${CI:-}" ] || fail "would be skipped, but CI must run it: $*"
    echo "SKIP: $*"
    exit 77
}

cleanup() {
    [ -n "$GAME_PID" ] && kill -9 "$GAME_PID" 2>/dev/null
    # The game itself, which a failed test may leave running.
    [ -s "$WORK/game.pid" ] && kill -9 "$(cat "$WORK/game.pid")" 2>/dev/null
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
    wait 2>/dev/null
    [ -n "${KEEP_WORK:-}" ] || rm -rf "$WORK"
}
trap cleanup EXIT

# --- Waiting with a deadline

# Milliseconds of the wall clock, for deadlines.
now_ms() {
    local t=${EPOCHREALTIME/[.,]/}
    echo $((t / 1000))
}

# Runs COMMAND every 0.1 s until it succeeds; when SECONDS pass first, the
# test fails, naming WHAT it waited for.
#   wait_until SECONDS WHAT COMMAND [ARG...]
wait_until() {
    local seconds=$1 what=$2
    shift 2
    local end=$(($(now_ms) + seconds * 1000))
    until "$@"; do
        [ "$(now_ms)" -lt "$end" ] || fail "waited $seconds s for $what"
        sleep 0.1
    done
}

# Takes screenshots NAME until PREDICATE holds for one, called with the
# screenshot's path and then ARGs; SHOT holds the path of that screenshot.
# When SECONDS pass first, the test fails, naming WHAT it waited for.
#   wait_for_screen SECONDS WHAT NAME PREDICATE [ARG...]
wait_for_screen() {
    local seconds=$1 what=$2 name=$3
    shift 3
    local end=$(($(now_ms) + seconds * 1000))
    until take_shot "$name" && "$@" "$SHOT"; do
        [ "$(now_ms)" -lt "$end" ] || fail "waited $seconds s for $what (last screenshot: $SHOT)"
        sleep 0.1
    done
}

# Like wait_for_screen, for what shows for a moment only: a bullet flies for
# 0.65 s, a jump lasts about as long. wait_for_screen looks again only once it
# has judged its last screenshot, which on a busy machine can take longer
# than the moment. Here screenshots are taken one after another in the
# background, until SECONDS pass or the moment is caught, and judged in the
# order taken: a slow judge looks later, but at every moment.
#   catch_on_screen SECONDS WHAT NAME PREDICATE [ARG...]
catch_on_screen() {
    local seconds=$1 what=$2 name=$3
    shift 3
    local frames="$WORK/$name.frames" judged=0 frame
    rm -rf "$frames"
    mkdir -p "$frames"
    take_frames "$frames" $(($(now_ms) + seconds * 1000)) &
    local taker=$!
    while :; do
        judged=$((judged + 1))
        frame="$frames/$judged.xwd"
        until [ -e "$frame" ] || [ -e "$frames/done" ]; do sleep 0.01; done
        if [ ! -e "$frame" ]; then
            wait "$taker"
            fail "waited $seconds s for $what ($((judged - 1)) screenshots$(cat "$frames/error" 2>/dev/null))"
        fi
        SHOT="$WORK/$name.png"
        if ! convert "$frame" "$SHOT" 2>"$WORK/shot.err"; then
            touch "$frames/stop"
            fail "cannot convert screenshot $frame: $(cat "$WORK/shot.err")"
        fi
        rm -f "$frame"
        if "$@" "$SHOT"; then
            touch "$frames/stop"
            wait "$taker"
            rm -rf "$frames"
            return 0
        fi
    done
}

# The background half of catch_on_screen: numbered screenshots in FRAMES
# until END (in now_ms) or a file "stop" there, at most 100 waiting to be
# judged; then a file "done".
take_frames() {
    local frames=$1 end=$2 taken=0
    while [ ! -e "$frames/stop" ] && [ "$(now_ms)" -lt "$end" ]; do
        if [ "$(find "$frames" -name '*.xwd' | wc -l)" -ge 100 ]; then
            sleep 0.02
            continue
        fi
        taken=$((taken + 1))
        if ! xwd -silent -id "$WINDOW" -out "$frames/$taken.part" 2>"$frames/xwd.err"; then
            echo "; the last failed: $(cat "$frames/xwd.err")" >"$frames/error"
            break
        fi
        mv "$frames/$taken.part" "$frames/$taken.xwd"
    done
    touch "$frames/done"
}

# The predicate "the screen equals this screenshot", for wait_for_screen.
same_as() { [ "$(pixels_differing "$1" "$2")" = 0 ]; }
# ... and "the screen differs from this screenshot".
differs_from() { ! same_as "$1" "$2"; }

# Whether two screenshots are the same inside BOX ("WxH+X+Y"; all of them
# when BOX is empty).
same_in() {
    [ -n "$3" ] || { same_as "$1" "$2"; return; }
    convert "$1" -crop "$3" +repage "$WORK/same_in_1.png" && convert "$2" -crop "$3" +repage "$WORK/same_in_2.png" ||
        fail "cannot crop $1 and $2 to $3"
    same_as "$WORK/same_in_1.png" "$WORK/same_in_2.png"
}

# Waits until screenshots NAME taken one after another for SPAN seconds
# (default 1; three at least) are all the same: nothing on the screen moves.
# Many screenshots rather than two, so that an animation cannot hide by
# being in the same phase at both. With a BOX ("WxH+X+Y") only that part
# of the screen must stand still. SHOT holds the last screenshot.
#   wait_for_still SECONDS WHAT NAME [SPAN [BOX]]
wait_for_still() {
    local seconds=$1 what=$2 name=$3 span=${4:-1} box=${5:-}
    local end=$(($(now_ms) + seconds * 1000)) span_ms
    span_ms=$(awk -v s="$span" 'BEGIN { printf "%d", s * 1000 }')
    local reference="$WORK/${name}_still.png" since same
    take_shot "$name"
    mv "$SHOT" "$reference"
    since=$(now_ms) same=1
    while :; do
        take_shot "$name"
        if same_in "$reference" "$SHOT" "$box"; then
            same=$((same + 1))
            [ "$same" -ge 3 ] && [ $(($(now_ms) - since)) -ge "$span_ms" ] && return 0
        else
            mv "$SHOT" "$reference"
            since=$(now_ms) same=1
        fi
        [ "$(now_ms)" -lt "$end" ] || fail "waited $seconds s for $what: the screen kept changing"
        sleep 0.05
    done
}

# --- The X server and the game

# Starts Xvfb on a display number the server picks itself (so tests running
# side by side never share one) and exports DISPLAY. The screen is 640x480
# unless a size such as 1920x1080 is given. -noreset: by default the server
# resets when its last client leaves, and drops whoever connects meanwhile;
# on a busy machine the game, coming right after xdpyinfo, was now and then
# the one dropped.
start_x() {
    rm -f "$WORK/display"
    Xvfb -displayfd 9 -screen 0 "${1:-640x480}x24" -nolisten tcp -noreset 9>"$WORK/display" >/dev/null 2>&1 &
    XVFB_PID=$!
    wait_until 30 "Xvfb to start" test -s "$WORK/display"
    export DISPLAY=":$(head -1 "$WORK/display")"
    wait_until 30 "Xvfb to answer" xdpyinfo_answers
}
xdpyinfo_answers() { xdpyinfo >/dev/null 2>&1; }

# Copies the data files into the scratch directory (level file optional).
stage_data() {
    cp "$BUILD_DIR/tolbrint.dat" "$WORK/"
    cp "${1:-$BUILD_DIR/level1.dat}" "$WORK/level1.dat"
}

# Starts the game in the scratch directory with the given arguments; its exit
# code lands in $WORK/rc.
start_game() {
    rm -f "$WORK/rc"
    (
        cd "$WORK" || exit
        "$GAME" "$@" >"$WORK/out" 2>&1 &
        echo $! >"$WORK/game.pid"
        wait $!
        echo $? >"$WORK/rc"
    ) &
    GAME_PID=$!
}

# True once the game's window exists and is shown; sets WINDOW. The window
# is made at another size and only shown once it has its final one. A game
# that has ended fails the test.
window_shown() {
    expect_running "the game, before its window was shown,"
    WINDOW=$(xdotool search --name "^tolbrint$" 2>/dev/null | head -1)
    [ -n "$WINDOW" ] && xwininfo -id "$WINDOW" 2>/dev/null | grep -q "Map State: IsViewable"
}

# True while the mouse pointer is over the game's window: with no window
# manager, keys go to the window under the pointer.
pointer_on_window() {
    xdotool mousemove --window "$WINDOW" 160 120
    local X Y left top width height
    eval "$(xdotool getmouselocation --shell | grep -E '^[XY]=')"
    read -r left top width height <<<"$(xwininfo -id "$WINDOW" | awk '
        /Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 }
        /Width:/ { w = $2 } /Height:/ { h = $2 } END { print x, y, w, h }')"
    [ -n "$height" ] && [ "$X" -ge "$left" ] && [ "$X" -lt $((left + width)) ] &&
        [ "$Y" -ge "$top" ] && [ "$Y" -lt $((top + height)) ]
}

# Waits for the game's window to be shown and for the pointer to be on it,
# so that keys reach it.
wait_for_window() {
    local seconds=${1:-30}
    wait_until "$seconds" "the game's window" window_shown
    wait_until 10 "the pointer on the game's window" pointer_on_window
}

# The window's size as "WxH".
window_size() {
    xwininfo -id "$WINDOW" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }'
}

# True once the game has ended; GAME_RC holds its exit code.
game_ended() {
    [ -s "$WORK/rc" ] || return 1
    GAME_RC=$(cat "$WORK/rc")
    GAME_PID=
}

# Fails the test if the game has ended.
expect_running() {
    ! game_ended || fail "${1:-the game} ended (exit code $GAME_RC): $(cat "$WORK/out")"
}

# Waits up to $1 seconds for the game to exit; prints its exit code, or
# "timeout".
wait_exit() {
    local end=$(($(now_ms) + $1 * 1000))
    until game_ended; do
        [ "$(now_ms)" -lt "$end" ] || { echo timeout; return 0; }
        sleep 0.1
    done
    echo "$GAME_RC"
}

key() { xdotool key --delay 30 "$@"; }
key_down() { xdotool keydown "$@"; }
key_up() { xdotool keyup "$@"; }

# --- Screenshots

# Screenshot of the game's window as PNG NAME; sets SHOT to its path. A
# missing picture fails the test.
take_shot() {
    local name=$1
    SHOT="$WORK/$name.png"
    rm -f "$SHOT"
    xwd -silent -id "$WINDOW" -out "$WORK/$name.xwd" 2>"$WORK/shot.err" ||
        fail "no screenshot $name: $(cat "$WORK/shot.err")"
    convert "$WORK/$name.xwd" "$SHOT" 2>"$WORK/shot.err" ||
        fail "cannot convert screenshot $name: $(cat "$WORK/shot.err")"
}

# Like take_shot, but prints the path, for $(shot NAME).
shot() {
    take_shot "$1"
    echo "$SHOT"
}

# Colour of one pixel of a PNG as "r,g,b" (0..255).
pixel() {
    local out colour
    [ -s "$1" ] || fail "no picture $1 to read a pixel of"
    out=$(convert "$1" -crop "1x1+$2+$3" -depth 8 txt:- 2>&1) || fail "cannot read pixel ($2, $3) of $1: $out"
    colour=$(tail -1 <<<"$out" | sed -nE 's/^[0-9]+,[0-9]+: *\(([0-9]+),([0-9]+),([0-9]+).*/\1,\2,\3/p')
    [ -n "$colour" ] || fail "no pixel ($2, $3) in $1: $out"
    echo "$colour"
}

# Number of differing pixels between two screenshots.
pixels_differing() {
    local out
    [ -s "$1" ] && [ -s "$2" ] || fail "cannot compare $1 with $2: a picture is missing"
    # compare answers 1 when the pictures differ, 2 on trouble.
    out=$(compare -metric AE "$1" "$2" null: 2>&1)
    [ $? -le 1 ] || fail "cannot compare $1 with $2: $out"
    echo "${out%% *}"
}

# Bounding box "WxH+X+Y" of the pixels that differ between two screenshots;
# "0x0+0+0" when none do (ImageMagick itself would answer with the whole
# picture).
difference_box() {
    [ "$(pixels_differing "$1" "$2")" = 0 ] && { echo 0x0+0+0; return 0; }
    convert "$1" "$2" -compose difference -composite -fuzz 0 -format '%@' info: ||
        fail "cannot compare $1 with $2"
}

# Splits a box "WxH+X+Y" into the variables BOX_W, BOX_H, BOX_X and BOX_Y.
read_box() {
    [[ $1 =~ ^([0-9]+)x([0-9]+)\+([0-9]+)\+([0-9]+)$ ]] || fail "not a box: $1"
    BOX_W=${BASH_REMATCH[1]} BOX_H=${BASH_REMATCH[2]} BOX_X=${BASH_REMATCH[3]} BOX_Y=${BASH_REMATCH[4]}
}

# --- Play

# True once play has painted screen column 0, which the intro leaves black
# but for a star: the stars lie in rows 0 to 51, and rows 65 and 95 must show
# colour as well.
play_has_begun() {
    local y
    for y in 5 35 65 95; do
        [ "$(pixel "$1" 0 $y)" != "0,0,0" ] || return 1
    done
}

# True once the title has slid in to column 1 (the intro's stars follow).
title_at_column_1() { [ "$(pixel "$1" 1 150)" != "0,0,0" ] || [ "$(pixel "$1" 1 60)" != "0,0,0" ]; }

# Whether a screenshot differs from STANDING (the hero standing, facing
# right) by a bullet flying right at the gun's height, past column 200.
#   bullet_flew_right SCREENSHOT STANDING
bullet_flew_right() {
    read_box "$(difference_box "$2" "$1")"
    [ $((BOX_X + BOX_W)) -gt 200 ] && [ "$BOX_Y" -ge 100 ] && [ $((BOX_Y + BOX_H)) -le 180 ]
}

# Bright pixels in the strip under the picture (a word such as PAUSED).
strip_text_shown() {
    local bright
    bright=$(convert "$1" -crop "320x40+0+200" +repage -fx '(r>0.8&&g>0.8&&b>0.8)?1:0' -format '%[fx:mean*w*h]' info:) ||
        fail "cannot read $1"
    [ "${bright%.*}" -gt 0 ]
}

# True when a tent's message is on the screen: light text from row 50 in
# the left third.
tent_text_shown() {
    local bright
    bright=$(convert "$1" -crop 100x40+0+48 -fx '(r>0.85&&g>0.85&&b>0.8)?1:0' -format '%[fx:mean*w*h]' info:) ||
        fail "cannot read $1"
    [ "${bright%.*}" -gt 10 ]
}

# Press the intro's key ($INTRO_KEY, space by default) every second (one
# pressed before the window takes input is lost; keys typed early wait in the
# buffer) and take a screenshot; true once play has begun.
press_until_play() {
    local now
    now=$(now_ms)
    if [ $((now - ${LAST_PRESS:-0})) -ge 1000 ]; then
        key "${INTRO_KEY:-space}"
        LAST_PRESS=$now
    fi
    expect_running "the game, before play began,"
    take_shot "${1:-waiting}" && play_has_begun "$SHOT"
}

# Presses the intro's key until play is on the screen and the keys have
# left the strip; SHOT holds that frame. The intro takes about 7 s.
#   wait_for_play [SECONDS]
wait_for_play() {
    wait_for_play_to_begin "$@"
    # Play begun from the title shows the keys in the strip for 5 s; the
    # tests go on once the strip has nothing to say.
    wait_for_screen 30 "the keys to leave the strip" quiet strip_empty
}
# The same, without waiting for the keys to leave the strip, for a test that
# must act at once.
wait_for_play_to_begin() {
    local seconds=${1:-60}
    LAST_PRESS=0
    wait_until "$seconds" "play to begin" press_until_play
}
strip_empty() { ! strip_text_shown "$1"; }

# Starts the game on a level, passes the intro and waits for play with an
# empty strip; SHOT holds that frame.
start_play() {
    start_x
    stage_data "$1"
    start_game
    wait_for_window
    wait_for_play
}

# Presses the intro's key until play shows with an empty strip; SHOT holds it.
pass_intro() { wait_for_play "$@"; }

# Whether the sky above the hero in a screenshot is the sky of $standing (a
# screenshot of the view at its start) rolled by PIXELS: the sky repeats
# every 320 columns, where the panels wrap.
#   sky_rolled_by SCREENSHOT PIXELS
sky_rolled_by() {
    convert "$standing" -crop 320x90+0+0 +repage -roll "+$2+0" "$WORK/rolled.png"
    convert "$1" -crop 320x90+0+0 +repage "$WORK/sky.png"
    same_as "$WORK/rolled.png" "$WORK/sky.png"
}

# Waits until everything has settled and checks the view's position, which
# starts at 0 (in $standing) and is SCROLLED to the right.
#   expect_view_at SCROLLED WHAT
expect_view_at() {
    local scrolled=$1 what=$2
    wait_for_still 30 "the view to settle after $what" settled
    sky_rolled_by "$SHOT" $(((-scrolled % 320 + 320) % 320)) ||
        fail "$what: the view is not $scrolled pixels to the right of the start"
    echo "ok: $what"
}

# Ends play with Escape and the game with one more key (space unless KEY is
# given); expects exit code 0. WHAT, if given, names the run in the failure.
#   quit_game [WHAT [KEY]]
quit_game() {
    key Escape
    end_last_wait "$@"
}

# Presses KEY (space by default) once a second until the game exits, for
# at most 30 s; expects exit code 0. The game drops the keys already waiting
# when Escape is taken, so on a busy machine a key sent right after Escape
# can reach it too early and be dropped with them.
#   end_last_wait [WHAT [KEY]]
end_last_wait() {
    local end=$(($(now_ms) + 30000)) rc
    while :; do
        key "${2:-space}"
        rc=$(wait_exit 1)
        [ "$rc" = timeout ] && [ "$(now_ms)" -lt "$end" ] || break
    done
    [ "$rc" = 0 ] || fail "${1:+$1: }exit code $rc, expected 0; output: $(cat "$WORK/out")"
}

# The level used by the play tests: flat ground, a portal at the start.
PLAY_LEVEL="$SOURCE_DIR/tests/e2e/levels/play.dat"
CLOSE_WINDOW="$BUILD_DIR/tests/close_window"
