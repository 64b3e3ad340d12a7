# Shared by the Wine tests: the end-to-end helpers, the Windows zip unpacked
# into the scratch directory and a Wine prefix of the tests' own.
#   source lib.bash GAME BUILD_DIR SOURCE_DIR ZIP
# GAME is the Linux game, kept as LINUX_GAME; GAME becomes tolbrint.exe
# under Wine, for start_game and the other helpers.
source "$3/tests/e2e/lib/common.bash" "$1" "$2" "$3"
ZIP=$4
LINUX_GAME=$GAME

[ -f "$ZIP" ] || skip "no $ZIP (scripts/windows.sh makes it)"
command -v wine >/dev/null && command -v wineboot >/dev/null || skip "no Wine (scripts/windows.sh installs it)"

# Wine's own chatter stays off the terminal, and its prefix is the tests':
# the player's ~/.wine is never touched. The prefix is made once per build
# tree and kept, as making it takes most of the time.
export WINEDEBUG=-all
export WINEPREFIX="$(cd "$BUILD_DIR" && pwd)/windows/wineprefix"
mkdir -p "$BUILD_DIR/windows" || fail "cannot make $BUILD_DIR/windows"

# A test that fails leaves Wine's processes behind; the prefix's server
# takes them all down.
eval "e2e_$(declare -f cleanup)"
cleanup() {
    timeout 30 wineserver -k 2>/dev/null
    e2e_cleanup
}

# Makes the prefix if it is not there; tests starting together wait for the
# first one. No Mono or Gecko: their installers would ask in a window.
make_prefix() {
    [ -e "$WINEPREFIX/.made" ] && return 0
    rm -rf "$WINEPREFIX"
    WINEDLLOVERRIDES="mscoree,mshtml=" timeout -k 5 120 wineboot -i >"$WORK/wineboot.out" 2>&1 ||
        fail "wineboot -i could not make $WINEPREFIX: $(tail -5 "$WORK/wineboot.out")"
    timeout -k 5 60 wineserver -w || fail "Wine's server did not end after wineboot"
    touch "$WINEPREFIX/.made"
}
exec 8>"$BUILD_DIR/windows/wineprefix.lock"
flock -w 180 8 || fail "waited 180 s for another test to make the Wine prefix"
make_prefix
exec 8>&-

# %APPDATA%, where the game reads its settings file and keeps its runs. A
# settings file left by a failed test would change every later run.
APPDATA_DIR="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming"
[ -d "$APPDATA_DIR" ] || fail "no $APPDATA_DIR: Wine made no profile for $(id -un)"
WINDOWS_SETTINGS="$APPDATA_DIR/tolbrint/tolbrint.cfg"
rm -f "$WINDOWS_SETTINGS"

# The zip's files, as a player unpacks them, right in the scratch directory.
unzip -q -j "$ZIP" -d "$WORK" || fail "cannot unpack $ZIP"
for file in tolbrint.exe tolbrint.dat sounds.dat music.dat level1.dat level2.dat level3.dat; do
    [ -f "$WORK/$file" ] || fail "no $file in $ZIP"
done

# Allegro shows its window at once, off the screen and a few pixels big,
# and sizes it later; its message box is another window of the game's name.
# The one shown on the screen, bigger than that, is the game's (or its
# message box). Sets WINDOW, like the Linux helper it replaces.
window_shown() {
    local id
    expect_running "the game, before its window was shown,"
    for id in $(xdotool search --name "^tolbrint$" 2>/dev/null); do
        xwininfo -id "$id" 2>/dev/null | awk '
            /Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 }
            /Width:/ { w = $2 } /Height:/ { h = $2 } /Map State: IsViewable/ { shown = 1 }
            END { exit !(shown && x >= 0 && y >= 0 && w >= 100 && h >= 50) }' && WINDOW=$id && return 0
    done
    return 1
}

# Every start under Wine has a deadline of its own, so that a hang there
# fails the test with what the game said rather than at CTest's timeout.
GAME="$WORK/bin/tolbrint-wine"
cat >"$GAME" <<WRAPPER
#!/bin/sh
exec timeout -k 5 \${WINE_RUN_SECONDS:-90} wine "$WORK/tolbrint.exe" "\$@"
WRAPPER
chmod +x "$GAME"

# Runs the game under Wine in DIR with ARGs; prints the exit code. Its
# stdout goes to OUT and its stderr to ERR, both with Unix line ends (the C
# library on Windows writes CR LF), and stderr without the lines of the
# sound library that Wine's MIDI driver loads.
#   run_wine DIR OUT ERR [ARG...]
run_wine() {
    local dir=$1 out=$2 err=$3 rc
    shift 3
    (cd "$dir" && "$GAME" "$@" >"$out.crlf" 2>"$err.crlf")
    rc=$?
    tr -d '\r' <"$out.crlf" >"$out"
    tr -d '\r' <"$err.crlf" | grep -v '^ALSA lib ' >"$err"
    echo "$rc"
}
