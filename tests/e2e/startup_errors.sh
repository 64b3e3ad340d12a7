# Start-up failures end with a message and exit code 1, never a signal.
source "$(dirname "$0")/lib/common.bash" "$@"

# No display at all: Allegro cannot start.
( cd "$WORK" && env -u DISPLAY "$GAME" >"$WORK/out" 2>&1 ); rc=$?
[ $rc = 1 ] || fail "without a display: exit code $rc, expected 1"
grep -q "cannot start the Allegro library.*DISPLAY is not set" "$WORK/out" || fail "without a display: message was: $(cat "$WORK/out")"
# A display that no server answers is named.
( cd "$WORK" && DISPLAY=:7777 "$GAME" >"$WORK/out" 2>&1 ); rc=$?
[ $rc = 1 ] || fail "with an absent display: exit code $rc, expected 1"
grep -q 'cannot start the Allegro library.*X display ":7777"' "$WORK/out" || fail "with an absent display: message was: $(cat "$WORK/out")"

# A display but no graphics datafile anywhere: the game names the file. The
# program is copied away from the build directory so it cannot find the
# datafile beside itself.
if [ -e /usr/local/share/tolbrint/tolbrint.dat ] || [ -e /usr/share/tolbrint/tolbrint.dat ]; then
    skip "an installed tolbrint.dat would be found"
fi
start_x
cp "$GAME" "$WORK/game"
( cd "$WORK" && ./game >"$WORK/out" 2>&1 ); rc=$?
[ $rc = 1 ] || fail "missing datafile: exit code $rc, expected 1"
grep -q "tolbrint.dat: cannot open the graphics datafile" "$WORK/out" || fail "missing datafile: message was: $(cat "$WORK/out")"

# A broken datafile is reported the same way.
printf 'slh.ALL.garbage' >"$WORK/tolbrint.dat"
( cd "$WORK" && ./game >"$WORK/out" 2>&1 ); rc=$?
[ $rc = 1 ] || fail "broken datafile: exit code $rc, expected 1"
grep -q "tolbrint.dat: " "$WORK/out" || fail "broken datafile: message was: $(cat "$WORK/out")"
echo PASS
