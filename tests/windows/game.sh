# tolbrint.exe from the zip under Wine, as a player on Windows meets it: the
# settings file in %APPDATA%, a missing datafile, then in an X server the
# title, play, a shot, quitting and the run kept in %APPDATA%. The first
# frame of play is the Linux build's pixel for pixel, and the run recorded
# under Wine plays back on Linux, at 100 passes a second.
#   game.sh GAME BUILD_DIR SOURCE_DIR ZIP
source "$(dirname "$0")/lib.bash" "$@"

# The settings file is read from %APPDATA%\tolbrint; no display needed.
mkdir -p "$(dirname "$WINDOWS_SETTINGS")"
printf '[sound]\nvolume = 77\n' >"$WINDOWS_SETTINGS"
rc=$(DISPLAY= run_wine "$WORK" "$WORK/config.out" "$WORK/config.err" --print-config)
rm -f "$WINDOWS_SETTINGS"
[ "$rc" = 0 ] || fail "--print-config: exit code $rc: $(cat "$WORK/config.err")"
# An older file's volume is the effects' volume.
grep -qx 'effects_volume = 77' "$WORK/config.out" ||
    fail "--print-config does not show the volume set in $WINDOWS_SETTINGS: $(grep volume "$WORK/config.out")"
echo "ok: the settings file in %APPDATA%"

# Wine's desktop keeps the display it was started with: the runs in the X
# server get a server of their own.
timeout 30 wineserver -k
start_x

# Without tolbrint.dat a message box says why (Allegro's, on Windows), the
# terminal too, and closing the box ends the game with exit code 1.
mv "$WORK/tolbrint.dat" "$WORK/tolbrint.dat.aside"
start_game
wait_until 60 "the message box of the missing datafile" window_shown
grep -q "tolbrint.dat: cannot open the graphics datafile" "$WORK/out" ||
    fail "no message about the missing tolbrint.dat: $(cat "$WORK/out")"
for attempt in $(seq 30); do
    xdotool mousemove --window "$WINDOW" 20 20
    key Return
    rc=$(wait_exit 1)
    [ "$rc" = timeout ] || break
done
[ "$rc" = 1 ] || fail "without tolbrint.dat: exit code $rc, expected 1"
mv "$WORK/tolbrint.dat.aside" "$WORK/tolbrint.dat"
echo "ok: a missing tolbrint.dat"

# The title, then a key starts play; the run is recorded for the pace.
cp "$PLAY_LEVEL" "$WORK/level1.dat"
start_game --scale 1 --record run.tbr
wait_for_window 60
window_is_320x240() { [ "$(window_size)" = 320x240 ]; }
wait_until 10 "the window at scale 1 to be 320x240" window_is_320x240
wait_for_screen 60 "the title to slide in" slid title_at_column_1
wait_for_still 60 "the title to wait for a key" waiting 1
wait_for_play 30
play_began=$LAST_PRESS
wait_for_still 30 "the hero standing still" standing
windows_frame=$SHOT
echo "ok: the title and play"

# D fires a bullet that flies right at the gun's height, past column 200.
key d
catch_on_screen 10 "a bullet right of the hero" fired bullet_flew_right "$windows_frame"
wait_for_screen 10 "the bullet to vanish" after_shot same_as "$windows_frame"
# A longer run measures the pace closer.
sleep 5
quit_began=$(now_ms)
quit_game "tolbrint.exe"
cmp -s "$WORK/run.tbr" "$APPDATA_DIR/tolbrint/last.tbr" ||
    fail "the run was not kept as %APPDATA%\\tolbrint\\last.tbr: $(grep -v '^ALSA lib' "$WORK/out")"
echo "ok: a shot, quitting, and the run kept in %APPDATA%"

# The run recorded under Wine plays back alike on Linux; its passes over
# the time from the key that began play to Escape give the pace.
(cd "$WORK" && "$LINUX_GAME" --verify run.tbr >"$WORK/verify.out" 2>&1) ||
    fail "the run recorded under Wine does not verify on Linux: $(cat "$WORK/verify.out")"
passes=$(sed -nE 's/^run\.tbr: ([0-9]+) passes .*/\1/p' "$WORK/verify.out")
[ -n "$passes" ] || fail "no pass count from --verify: $(cat "$WORK/verify.out")"
pace=$((passes * 1000 / (quit_began - play_began)))
echo "ok: the run verified on Linux, $passes passes in $((quit_began - play_began)) ms: $pace a second"
[ "$pace" -ge 90 ] && [ "$pace" -le 110 ] || fail "the game ran $pace passes a second under Wine, not 100"

# The Linux build's first frame of play, in the same X server, is the same.
GAME=$LINUX_GAME
start_game --scale 1 --skip-intro
wait_for_window
wait_for_screen 30 "play to begin on Linux" linux_playing play_has_begun
wait_for_still 30 "the hero standing still on Linux" linux_standing
differing=$(pixels_differing "$windows_frame" "$SHOT")
[ "$differing" = 0 ] ||
    fail "$differing pixels of the first frame of play differ from the Linux build's, in $(difference_box "$windows_frame" "$SHOT")"
quit_game "the Linux build"
echo "ok: the first frame of play, as on Linux"
