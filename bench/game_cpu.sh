#!/bin/bash
# The running game's CPU use and pace: the real game under Xvfb on the shipped
# level, its user and system time read from /proc over ten seconds of play
# while the hero stands (or walks right, with --walk), then the passes a
# second counted over five seconds (with strace, when it is installed).
# With --fire the hero fires four shots a second all along; with --sound the
# game plays its effects into ALSA's file plugin (the null device behind it),
# from a scratch home, and the size of the recording is reported; the music
# plays too, unless --no-music runs a copy of the game from a folder without
# music.dat.
#   bench/game_cpu.sh [--build DIR] [--screen WxH] [--walk] [--fire] [--sound] [--no-music] [-- GAME OPTIONS]
# The screen is 640x480 and the build directory build unless given; with
# SHOT=FILE.png set, the screen at the end of the CPU reading is saved there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build
screen=640x480
walk=
fire=
sound=
music=yes
while [ $# -gt 0 ]; do
    case $1 in
    --build) build=$2; shift 2 ;;
    --screen) screen=$2; shift 2 ;;
    --walk) walk=yes; shift ;;
    --fire) fire=yes; shift ;;
    --sound) sound=yes; shift ;;
    --no-music) music=; shift ;;
    --) shift; break ;;
    *) echo "usage: $0 [--build DIR] [--screen WxH] [--walk] [--fire] [--sound] [--no-music] [-- GAME OPTIONS]" >&2; exit 2 ;;
    esac
done
build=$(cd "$build" && pwd)
work=$(mktemp -d /tmp/tolbrint-cpu-XXXXXX)
xvfb_pid=
game_pid=
firing=
cleanup() {
    [ -n "$walk" ] && xdotool keyup Right 2>/dev/null
    [ -n "$firing" ] && kill "$firing" 2>/dev/null
    # Allegro's own signal handler may hang once the X server is gone.
    [ -n "$game_pid" ] && kill -9 "$game_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    wait 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 9 -screen 0 "${screen}x24" -nolisten tcp -noreset 9>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
done
export DISPLAY=":$(head -1 "$work/display")"
cp "$build/tolbrint.dat" "$build/level1.dat" "$work/"
# Without --sound the game finds no sound device (a card that is not there)
# and plays silently, as before it had sound.
mkdir -p "$work/home"
printf 'pcm.!default { type hw card 99 }\n' >"$work/home/.asoundrc"
if [ -n "$sound" ]; then
    printf 'pcm.!default { type file slave.pcm "null" file "%s" format "raw" }\n' "$work/sound.raw" \
        >"$work/home/.asoundrc"
fi
game=$build/tolbrint
if [ -z "$music" ]; then
    cp "$build/tolbrint" "$build/sounds.dat" "$work/"
    game=$work/tolbrint
fi
(cd "$work" && HOME="$work/home" exec "$game" "$@" >"$work/out" 2>&1) &
game_pid=$!
for _ in $(seq 100); do
    window=$(xdotool search --name "^tolbrint$" 2>/dev/null | head -1) && [ -n "$window" ] && break
    sleep 0.1
done
xdotool mousemove --window "$window" 100 100
# The intro takes about seven seconds; a key pressed before the window takes
# input is lost, so it is pressed again (space does nothing in play).
for _ in $(seq 12); do
    xdotool key space
    sleep 1
done
[ -n "$walk" ] && xdotool keydown Right
if [ -n "$fire" ]; then
    (while :; do xdotool key d 2>/dev/null; sleep 0.25; done) &
    firing=$!
fi

what="standing still"
[ -n "$walk" ] && what="walking"
[ -n "$fire" ] && what="$what and firing"
sound_size() { stat -c %s "$work/sound.raw" 2>/dev/null || echo 0; }
sound_before=$(sound_size)
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
seconds=10
before=$(ticks "$game_pid") x_before=$(ticks "$xvfb_pid")
sleep "$seconds"
after=$(ticks "$game_pid") x_after=$(ticks "$xvfb_pid")
hz=$(getconf CLK_TCK)
awk -v t=$((after - before)) -v x=$((x_after - x_before)) -v hz="$hz" -v s="$seconds" -v what="$what" \
    'BEGIN { printf "CPU while %s: %.1f%% of one core (%d ticks of 1/%d s in %d s); the X server: %.1f%%\n", what, 100 * t / hz / s, t, hz, s, 100 * x / hz / s }'
[ -n "${SHOT:-}" ] && xwd -silent -root | convert xwd:- "$SHOT"
if [ -n "$sound" ]; then
    # 16-bit stereo at 44,100 Hz is 172 KiB a second.
    echo "sound recorded meanwhile: $((($(sound_size) - sound_before) / 1024)) KiB"
fi
[ -s "$work/out" ] && echo "the game said: $(cat "$work/out")"

# Every pass ends with a rest of one millisecond: a select call of 1 ms on
# the game's main thread.
if command -v strace >/dev/null; then
    timeout -s INT 5 strace -p "$game_pid" -e trace=pselect6 -o "$work/trace" >/dev/null 2>&1 || true
    passes=$(grep -c 'tv_nsec=1000000}' "$work/trace" || true)
    awk -v n="$passes" 'BEGIN { printf "pace: %.1f passes a second (%d in 5 s)\n", n / 5, n }'
fi
