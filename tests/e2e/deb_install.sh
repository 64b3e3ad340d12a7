# The Debian package as a player gets it: apt-get installs it with what it
# depends on, the game starts from /usr/games in a scratch directory and
# reaches play, man finds its page, the tools run from the PATH, and a purge
# leaves none of its files behind. Needs root; the package is always purged
# again, so no other test finds the installed data.
source "$(dirname "$0")/lib/common.bash" "$@"
[ "$(id -u)" = 0 ] || skip "installing the package with apt-get needs root"
! dpkg-query -W -f='${Status}' tolbrint 2>/dev/null | grep -q "ok installed" ||
    skip "a tolbrint package is installed already, and this test would remove it"
deb=$(ls "$BUILD_DIR"/package/tolbrint_*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || fail "no package in $BUILD_DIR/package: run the package_build test first"

APT=(apt-get -y -q -o DPkg::Lock::Timeout=600)
purge() {
    DEBIAN_FRONTEND=noninteractive "${APT[@]}" purge tolbrint >>"$WORK/apt.log" 2>&1
}
trap 'purge; cleanup' EXIT

DEBIAN_FRONTEND=noninteractive "${APT[@]}" install "$deb" >"$WORK/apt.log" 2>&1 ||
    fail "apt-get install failed: $(cat "$WORK/apt.log")"
dpkg -L tolbrint >"$WORK/files" || fail "dpkg -L tolbrint failed after the install"

GAME=/usr/games/tolbrint
start_x
start_game
wait_for_window
pass_intro
quit_game "the installed game"

[ "$(man -w tolbrint)" = /usr/share/man/man6/tolbrint.6.gz ] || fail "man -w tolbrint gives '$(man -w tolbrint 2>&1)'"
(cd "$WORK" && tolbrint-check --help) >"$WORK/check-help" || fail "tolbrint-check --help failed"
grep -q -- --help "$WORK/check-help" || fail "tolbrint-check --help says: $(cat "$WORK/check-help")"
(cd "$WORK" && tolbrint-check /usr/share/games/tolbrint/level1.dat) >"$WORK/check" 2>&1 ||
    fail "tolbrint-check on the shipped level: $(cat "$WORK/check")"

purge || fail "apt-get purge failed: $(cat "$WORK/apt.log")"
! dpkg-query -W -f='${Status}' tolbrint 2>/dev/null | grep -q "ok installed" || fail "tolbrint is still installed"
left=()
while read -r path; do
    # Shared directories such as /usr/share stay; the package's own go.
    if [ -e "$path" ] && { [ ! -d "$path" ] || [[ "$path" == */tolbrint ]]; }; then
        left+=("$path")
    fi
done <"$WORK/files"
[ ${#left[@]} -eq 0 ] || fail "left behind after the purge: ${left[*]}"
echo PASS
