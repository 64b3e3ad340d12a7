# The package as Debian's tools see it: its files in Debian's places for a
# game, its control fields, one version everywhere, and lintian without errors.
source "$(dirname "$0")/lib.bash" "$@"
deb=$(package_file)
version=$(project_version)

dpkg-deb -c "$deb" >"$SCRATCH/contents" || fail "dpkg-deb -c cannot read $deb"
# "./usr/games/tolbrint" and the like, one a line.
awk '{print $6}' "$SCRATCH/contents" | sed 's|^\./|/|; s|/$||' >"$SCRATCH/paths"
for path in \
    /usr/games/tolbrint /usr/bin/tolbrint-check /usr/bin/tolbrint-map \
    /usr/share/games/tolbrint/tolbrint.dat /usr/share/games/tolbrint/sounds.dat /usr/share/games/tolbrint/music.dat \
    /usr/share/games/tolbrint/level1.dat /usr/share/games/tolbrint/level2.dat /usr/share/games/tolbrint/level3.dat \
    /usr/share/man/man6/tolbrint.6.gz /usr/share/man/man1/tolbrint-check.1.gz \
    /usr/share/man/man1/tolbrint-map.1.gz /usr/bin/tolbrint-tiled /usr/share/man/man1/tolbrint-tiled.1.gz \
    /usr/share/applications/org.tolbrint.Tolbrint.desktop \
    /usr/share/metainfo/org.tolbrint.Tolbrint.metainfo.xml \
    /usr/share/icons/hicolor/64x64/apps/tolbrint.png /usr/share/icons/hicolor/256x256/apps/tolbrint.png \
    /usr/share/doc/tolbrint/copyright /usr/share/doc/tolbrint/changelog.gz; do
    grep -qx "$path" "$SCRATCH/paths" || fail "the package lacks $path"
done
outside=$(grep -v '^/usr\(/\|$\)' "$SCRATCH/paths" | grep -vx '/\?' || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
! grep -q '^/usr/local' "$SCRATCH/paths" || fail "files under /usr/local: $(grep '^/usr/local' "$SCRATCH/paths")"
! grep -qE 'tolbrint-(mkdat|mksounds|icon|renders)|test_|close_window|bench' "$SCRATCH/paths" ||
    fail "build-only programs in the package: $(grep -E 'tolbrint-(mkdat|mksounds|icon|renders)|test_|close_window|bench' "$SCRATCH/paths")"
! awk '$2 != "root/root"' "$SCRATCH/contents" | grep -q . || fail "files not owned by root"

dpkg-deb -I "$deb" >"$SCRATCH/info" || fail "dpkg-deb -I cannot read $deb"
field() { sed -n "s/^ $1: //p" "$SCRATCH/info"; }
[ "$(field Package)" = tolbrint ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', the build's is $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture is '$(field Architecture)'"
[ "$(field Section)" = games ] || fail "Section is '$(field Section)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
# dpkg-shlibdeps finds the libraries the programs link: Allegro, its PNG
# add-on and the C and C++ runtimes, with versions.
depends=$(field Depends)
for library in liballegro4.4 libloadpng4.4 libc6 libstdc++6; do
    [[ ", $depends" == *", $library (>= "* ]] || fail "Depends lacks a versioned $library: $depends"
done

# One version: the package's, the game's --version, the changelog's and the
# AppStream release.
dpkg-deb -x "$deb" "$SCRATCH/root"
game_version=$("$SCRATCH/root/usr/games/tolbrint" --version) || fail "tolbrint --version failed"
[ "$game_version" = "tolbrint $version" ] || fail "--version prints '$game_version', the package is $version"
changelog_version=$(zcat "$SCRATCH/root/usr/share/doc/tolbrint/changelog.gz" | sed -n '1s/^tolbrint (\([^)]*\)).*/\1/p')
[ "$changelog_version" = "$version" ] || fail "the changelog's latest entry is $changelog_version, the package is $version"
grep -q "<release version=\"$version\"" "$SCRATCH/root/usr/share/metainfo/org.tolbrint.Tolbrint.metainfo.xml" ||
    fail "the AppStream data has no release $version"
exec_line=$(sed -n 's/^Exec=//p' "$SCRATCH/root/usr/share/applications/org.tolbrint.Tolbrint.desktop")
[ "$exec_line" = "/usr/games/tolbrint --from-menu" ] || fail "the desktop entry runs '$exec_line'"

lintian --tag-display-limit 0 "$deb" >"$SCRATCH/lintian" 2>&1
cat "$SCRATCH/lintian"
! grep -q '^E: ' "$SCRATCH/lintian" || fail "lintian reports errors"
echo PASS
