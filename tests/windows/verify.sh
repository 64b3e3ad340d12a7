# A golden replay checked by tolbrint.exe under Wine, with no display, ends
# as it does on Linux: the same line, the same exit code.
#   verify.sh GAME BUILD_DIR SOURCE_DIR ZIP REPLAY
source "$(dirname "$0")/lib.bash" "$@"
name=$(basename "$5")
cp "$5" "$WORK/$name"
mkdir "$WORK/linux"
cp "$5" "$WORK/linux/$name"

windows_rc=$(DISPLAY= run_wine "$WORK" "$WORK/windows.out" "$WORK/windows.err" --verify "$name")
(cd "$WORK/linux" && env -u DISPLAY "$LINUX_GAME" --verify "$name" >"$WORK/linux.out" 2>"$WORK/linux.err")
linux_rc=$?
echo "Linux:   $(cat "$WORK/linux.out" "$WORK/linux.err")"
echo "Windows: $(cat "$WORK/windows.out" "$WORK/windows.err")"
[ "$linux_rc" = 0 ] || fail "the Linux build does not verify $name either (exit code $linux_rc)"
[ "$windows_rc" = 0 ] || fail "tolbrint.exe --verify $name: exit code $windows_rc"
cmp -s "$WORK/linux.out" "$WORK/windows.out" && cmp -s "$WORK/linux.err" "$WORK/windows.err" ||
    fail "tolbrint.exe --verify $name printed otherwise than the Linux build"
