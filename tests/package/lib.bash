# Shared by the install and package tests: a scratch directory, failing
# loudly, and the package that cpack built.
#   source lib.bash BUILD_DIR SOURCE_DIR
set -u
BUILD_DIR=$1
SOURCE_DIR=$2
SCRATCH=$(mktemp -d /tmp/tolbrint-package-XXXXXX)
trap 'rm -rf "$SCRATCH"' EXIT
# CTest reads this exit code as a skipped test.
SKIP=77

fail() { echo "FAIL: $*" >&2; exit 1; }

# The version the build was configured with, which --version prints.
project_version() {
    sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD_DIR/CMakeCache.txt"
}

# The .deb that the package_build test made.
package_file() {
    local deb
    deb=$(ls "$BUILD_DIR"/package/tolbrint_*.deb 2>/dev/null | head -1)
    [ -n "$deb" ] || fail "no package in $BUILD_DIR/package: run the package_build test first"
    echo "$deb"
}
