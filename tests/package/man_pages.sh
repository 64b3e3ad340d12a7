# What an install gives the desktop and man: man pages that groff reads
# without a warning and that list exactly the options each program's --help
# lists, a desktop entry and AppStream data that their validators pass.
source "$(dirname "$0")/lib.bash" "$@"
prefix="$SCRATCH/prefix"
cmake --install "$BUILD_DIR" --prefix "$prefix" >"$SCRATCH/install.log" 2>&1 ||
    fail "cmake --install failed: $(cat "$SCRATCH/install.log")"

# The text of one section of a rendered page, without its heading.
section() {
    awk -v name="$2" '/^[A-Z]/ { inside = ($0 == name); next } inside' "$1"
}

# Long options as a program or a page spells them, sorted and unique.
long_options() { grep -oE -- '--[a-z][a-z0-9-]*' | sort -u; }

check_page() {
    local program=$1 page=$2 required=$3
    [ -f "$page" ] || fail "no man page $page"
    zcat "$page" >"$SCRATCH/page.roff"
    groff -man -ww -z "$SCRATCH/page.roff" 2>"$SCRATCH/groff.log"
    [ ! -s "$SCRATCH/groff.log" ] || fail "groff warns about $page: $(cat "$SCRATCH/groff.log")"
    groff -man -Tascii -P-cbou "$SCRATCH/page.roff" 2>/dev/null >"$SCRATCH/page.txt"
    local heading
    for heading in NAME SYNOPSIS DESCRIPTION OPTIONS $required "EXIT STATUS" FILES EXAMPLES "SEE ALSO"; do
        grep -qx "$heading" "$SCRATCH/page.txt" || fail "$page has no $heading section"
    done
    "$program" --help >"$SCRATCH/help.txt" || fail "$program --help failed"
    long_options <"$SCRATCH/help.txt" >"$SCRATCH/help.options"
    section "$SCRATCH/page.txt" OPTIONS | long_options >"$SCRATCH/page.options"
    diff -u "$SCRATCH/help.options" "$SCRATCH/page.options" >"$SCRATCH/options.diff" ||
        fail "$page and $program --help list different options: $(cat "$SCRATCH/options.diff")"
    [ -s "$SCRATCH/help.options" ] || fail "$program --help lists no options"
}

check_page "$prefix/games/tolbrint" "$prefix/share/man/man6/tolbrint.6.gz" CONTROLS
grep -q XDG_STATE_HOME "$SCRATCH/page.txt" || fail "tolbrint(6) does not say where menu starts put the side files"
check_page "$prefix/bin/tolbrint-check" "$prefix/share/man/man1/tolbrint-check.1.gz" ""
check_page "$prefix/bin/tolbrint-map" "$prefix/share/man/man1/tolbrint-map.1.gz" ""
check_page "$prefix/bin/tolbrint-tiled" "$prefix/share/man/man1/tolbrint-tiled.1.gz" ""

appstreamcli validate --no-net "$prefix"/share/metainfo/*.metainfo.xml >"$SCRATCH/appstream.log" 2>&1 ||
    fail "appstreamcli rejects the AppStream data: $(cat "$SCRATCH/appstream.log")"
desktop-file-validate "$prefix"/share/applications/*.desktop >"$SCRATCH/desktop.log" 2>&1 ||
    fail "desktop-file-validate rejects the desktop entry: $(cat "$SCRATCH/desktop.log")"
[ ! -s "$SCRATCH/desktop.log" ] || fail "desktop-file-validate warns: $(cat "$SCRATCH/desktop.log")"
echo PASS
