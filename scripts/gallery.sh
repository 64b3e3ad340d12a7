#!/bin/bash
# Takes the README's gallery under Xvfb, from the game in BUILD_DIR: a
# picture of each level in play, the hero firing, and the ending.
#   scripts/gallery.sh [BUILD_DIR]
# Look at every picture before committing it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)

# level, the world x the hero starts at, the keys pressed once he stands
# there, the picture; the ending is the whole game's golden run's, played
# back eight times as fast (F held).
SHOTS=(
    "1 1260 d docs/level1.png"
    "2 1220 d docs/level2.png"
    "3 1560 d docs/level3.png"
    "pack - - docs/ending.png"
)

work=$(mktemp -d /tmp/tolbrint-gallery-XXXXXX)
Xvfb -displayfd 9 -screen 0 800x600x24 -nolisten tcp -noreset 9>"$work/display" >/dev/null 2>&1 &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
until [ -s "$work/display" ]; do sleep 0.1; done
export DISPLAY=":$(head -1 "$work/display")"
until xdpyinfo >/dev/null 2>&1; do sleep 0.1; done

for shot in "${SHOTS[@]}"; do
    read -r level x keys picture <<<"$shot"
    if [ "$level" = pack ]; then
        (cd "$build" && exec ./tolbrint --scale 2 --playback "$root/tests/replays/pack.tbr") &
    else
        (cd "$work" && exec "$build/tolbrint" --skip-intro --scale 2 --level "$level" --start-x "$x") &
    fi
    game=$!
    until window=$(xdotool search --onlyvisible --name tolbrint 2>/dev/null | head -1) && [ -n "$window" ]; do
        sleep 0.2
    done
    xdotool mousemove --window "$window" 10 10
    if [ "$level" = pack ]; then
        xdotool keydown f
        # The strip counts the passes of a playback: only the ending, which
        # waits for a key, stands still.
        last=
        until now=$(xwd -id "$window" | convert xwd:- -format '%#' info:) && [ "$now" = "$last" ]; do
            last=$now
            sleep 3
        done
        xdotool keyup f
    else
        sleep 2 # he drops onto the ground and the enemies move
        for key in $keys; do
            xdotool key --delay 150 "$key"
        done
        sleep 0.5
    fi
    import -window "$window" "$root/$picture"
    kill "$game" 2>/dev/null || true
    wait "$game" 2>/dev/null || true
    echo "took $picture"
done
