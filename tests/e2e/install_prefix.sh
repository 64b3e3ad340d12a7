# An install under any prefix works, even moved: the game (its pictures,
# sounds and level) and the level checker find their data from where they are. Started as the desktop menu
# starts it, the game writes its side files into the XDG state directory;
# started from a terminal, into the working directory.
source "$(dirname "$0")/lib/common.bash" "$@"
first="$WORK/first"
moved="$WORK/moved"
cmake --install "$BUILD_DIR" --prefix "$first" >"$WORK/install.log" 2>&1 ||
    fail "cmake --install failed: $(cat "$WORK/install.log")"

# Plays until the first frame of play, then quits; the game runs in $WORK,
# which holds no data files.
play_and_quit() {
    start_game
    wait_for_window
    pass_intro
    quit_game "$1"
    # The sounds are found the same way (the test's sound device is ALSA's null).
    ! grep -q "without sound" "$WORK/out" || fail "$1 found no sounds: $(cat "$WORK/out")"
}

start_x
# The menu runs the entry's Exec line, which names the installed game.
desktop=$(ls "$first"/share/applications/*.desktop)
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[[ "$exec_line" == "$first/games/tolbrint "* ]] || fail "the desktop entry runs '$exec_line'"
printf '#!/bin/sh\nexec %s\n' "$exec_line" >"$WORK/bin/menu-start"
chmod +x "$WORK/bin/menu-start"
export XDG_STATE_HOME="$WORK/state"
GAME="$WORK/bin/menu-start"
play_and_quit "the game started as from the menu"
for side in debuglevel.txt default_object.txt; do
    [ -f "$XDG_STATE_HOME/tolbrint/$side" ] || fail "a menu start did not write $side into \$XDG_STATE_HOME/tolbrint"
    [ ! -e "$WORK/$side" ] || fail "a menu start wrote $side into the working directory"
done
[ "$(stat -c %a "$XDG_STATE_HOME/tolbrint")" = 700 ] || fail "the state directory is not private to the player"

mv "$first" "$moved"
GAME="$moved/games/tolbrint"
play_and_quit "the game installed under a moved prefix"
for side in debuglevel.txt default_object.txt; do
    [ -f "$WORK/$side" ] || fail "a start from a terminal did not write $side into the working directory"
done

(cd "$WORK" && "$moved/bin/tolbrint-check" "$moved/share/games/tolbrint/level1.dat") >"$WORK/check" 2>&1 ||
    fail "tolbrint-check from the moved prefix: $(cat "$WORK/check")"
grep -q "no problems found" "$WORK/check" || fail "tolbrint-check says: $(cat "$WORK/check")"
echo PASS
