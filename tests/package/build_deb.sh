# Builds the Debian package from the build directory with CPack.
source "$(dirname "$0")/lib.bash" "$@"
rm -rf "$BUILD_DIR/package"
(cd "$BUILD_DIR" && cpack -G DEB -B "$BUILD_DIR/package") >"$SCRATCH/cpack.log" 2>&1 ||
    fail "cpack failed: $(cat "$SCRATCH/cpack.log")"
deb=$(package_file)
echo "built $deb"
echo PASS
