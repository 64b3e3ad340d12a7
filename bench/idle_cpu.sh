#!/bin/bash
# The running game's CPU use while the hero stands still: the real game under
# Xvfb on the shipped level, its user and system time read from /proc over
# ten seconds of play.   bench/idle_cpu.sh [BUILD_DIR] (default build)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
work=$(mktemp -d /tmp/tolbrint-idle-XXXXXX)
xvfb_pid=
game_pid=
cleanup() {
    # Allegro's own signal handler may hang once the X server is gone.
    [ -n "$game_pid" ] && kill -9 "$game_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

for n in $(seq 150 199); do
    [ -e /tmp/.X11-unix/X$n ] && continue
    Xvfb :$n -screen 0 640x480x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    sleep 1
    kill -0 "$xvfb_pid" 2>/dev/null && { export DISPLAY=:$n; break; }
done
cp "$build/tolbrint.dat" "$build/level1.dat" "$work/"
(cd "$work" && exec "$build/tolbrint" >/dev/null 2>&1) &
game_pid=$!
for _ in $(seq 100); do
    window=$(xdotool search --name "^tolbrint$" 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.1
done
xdotool mousemove --window "$window" 160 120
xdotool key space
sleep 12 # the intro takes about seven seconds; then the hero stands

ticks() { awk '{print $14 + $15}' "/proc/$game_pid/stat"; }
seconds=10
before=$(ticks)
sleep "$seconds"
after=$(ticks)
hz=$(getconf CLK_TCK)
awk -v t=$((after - before)) -v hz="$hz" -v s="$seconds" \
    'BEGIN { printf "CPU while standing still: %.1f%% of one core (%d ticks of 1/%d s in %d s)\n", 100 * t / hz / s, t, hz, s }'
