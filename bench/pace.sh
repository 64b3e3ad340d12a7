#!/bin/bash
# The pace of the running game with sound on: the real game under Xvfb on the
# shipped level, its sound recorded through ALSA's file plugin, the hero
# firing all along; the passes are counted over ten seconds as the main
# thread's one rest(1) a pass (a pselect6 call, seen by strace).
#   bench/pace.sh [BUILD_DIR] (default build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work=$(mktemp -d /tmp/tolbrint-pace-XXXXXX)
xvfb_pid=
game_pid=
cleanup() {
    [ -n "$game_pid" ] && kill -9 "$game_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
command -v strace >/dev/null || { echo "strace is needed: apt-get install strace" >&2; exit 1; }

Xvfb -displayfd 9 -screen 0 640x480x24 -nolisten tcp 9>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -1 "$work/display")"
mkdir -p "$work/home"
printf 'pcm.!default { type file slave.pcm "null" file "%s" format "raw" }\n' "$work/sound.raw" >"$work/home/.asoundrc"
cp "$build/tolbrint.dat" "$build/sounds.dat" "$build/level1.dat" "$work/"
(cd "$work" && HOME="$work/home" exec "$build/tolbrint" --skip-intro >"$work/out" 2>&1) &
game_pid=$!
for _ in $(seq 100); do
    window=$(xdotool search --name "^tolbrint$" 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.1
done
xdotool mousemove --window "$window" 160 120
sleep 1
# The hero fires four shots a second while the passes are counted.
(for _ in $(seq 44); do xdotool key d; sleep 0.25; done) &
firing=$!
sound_before=$(stat -c %s "$work/sound.raw")
seconds=10
timeout -s INT "$seconds" strace -e trace=pselect6 -o "$work/calls" -p "$game_pid" 2>/dev/null || true
wait "$firing" 2>/dev/null || true
sound_after=$(stat -c %s "$work/sound.raw")
passes=$(grep -c pselect6 "$work/calls")
echo "sound recorded: $(((sound_after - sound_before) / 1024)) KiB; game said: $(cat "$work/out")"
awk -v p="$passes" -v s="$seconds" 'BEGIN { printf "pace with sound on: %.1f passes a second (%d passes in %d s)\n", p / s, p, s }'
