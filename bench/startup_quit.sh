#!/usr/bin/env bash
# Start-up and quit times of the desktop program, as a user sees them, on a private X display.
#   start-up: from starting the process to a painted window (its menu bar drawn);
#   quit:     from choosing 文件 > 退出 to the end of the process;
# then the same for a trivial Qt window (bench/trivial_window), and the ratio of the warm start-ups.
# usage: bench/startup_quit.sh [path/to/trawlix] [runs]   (needs Xvfb and xdotool)
# The screen is watched by bench/screen_probe, which reads only the menu bar's corner; where it was not
# built, ImageMagick's import is used, which grabs the whole screen each time and so slows the start it
# measures (figures about half a second higher on two cores).
set -euo pipefail

bin=${1:-build/src/gui/trawlix}
runs=${2:-5}
probe=$(dirname "$bin")/../../bench/screen_probe
# The yardstick: a trivial Qt window, built with the desktop program.
trivial=$(dirname "$bin")/../../bench/trivial_window
[ -x "$bin" ] || { echo "no program at $bin" >&2; exit 2; }
tools=(Xvfb xdotool)
[ -x "$probe" ] || tools+=(import)
for tool in "${tools[@]}"; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (packages xvfb, xdotool, imagemagick)" >&2; exit 2; }
done

work=$(mktemp -d)
display=":$((200 + $$ % 300))"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() { kill "$xvfb" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
export DISPLAY=$display HOME=$work/home XDG_RUNTIME_DIR=$work/run LANG=zh_CN.UTF-8
export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---no-sandbox --disable-gpu}" QTWEBENGINE_DISABLE_SANDBOX=1
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

now() { date +%s.%N; }
# Waits until the menu bar's corner is drawn: its mean brightness is 0 while nothing is, about 0.9 once it is.
corner() { import -window root -crop 300x20+0+0 +repage -colorspace gray -format '%[fx:mean]' info: 2>/dev/null || echo 0; }
wait_drawn() {
    if [ -x "$probe" ]; then
        "$probe" 0 0 300 20 0.5 30
    else
        until awk -v m="$(corner)" 'BEGIN { exit !(m > 0.5) }'; do :; done
    fi
}

# One program, runs times: a line per run, and the warm starts' median start-up in $work/median.<label>.
# "engine" says whether the web engine's helper processes were already running when the window showed.
measure() {
    local label=$1 program=$2
    : >"$work/starts.$label"
    for run in $(seq "$runs"); do
        xdotool mousemove 1 799 >/dev/null
        t0=$(now)
        "$program" >"$work/log.$label.$run" 2>&1 &
        app=$!
        wait_drawn || { echo "no window within 30 s (see $work/log.$label.$run)" >&2; exit 1; }
        kill -0 "$app" 2>/dev/null || { echo "the program ended early (see $work/log.$label.$run)" >&2; exit 1; }
        t1=$(now)
        engine=no
        ps --ppid "$app" -o comm= 2>/dev/null | grep -q QtWebEngine && engine=yes
        # Let the engine finish starting behind the window, as a user would only quit after a while.
        sleep 2
        xdotool mousemove 28 11 click 1 >/dev/null
        sleep 0.3
        t2=$(now)
        xdotool key x >/dev/null
        wait "$app" || true
        t3=$(now)
        start=$(echo "$t1 - $t0" | bc)
        [ "$run" -gt 1 ] && echo "$start" >>"$work/starts.$label"
        awk -v l="$label" -v r="$run" -v s="$start" -v q="$(echo "$t3 - $t2" | bc)" -v e="$engine" \
            'BEGIN { printf "%-8s %-4s %12.2f %10.2f %8s\n", l, r, s, q, e }'
    done
    sort -n "$work/starts.$label" | awk '{ v[NR] = $1 } END { print (NR ? v[int((NR + 1) / 2)] : 0) }' \
        >"$work/median.$label"
}

printf '%-8s %-4s %12s %10s %8s\n' program run "start-up s" "quit s" engine
measure trawlix "$bin"
if [ -x "$trivial" ]; then
    measure trivial "$trivial"
fi
echo "(the first run of each is the coldest; medians below are of the warm starts)"
mine=$(cat "$work/median.trawlix")
if [ -x "$trivial" ]; then
    base=$(cat "$work/median.trivial")
    awk -v m="$mine" -v b="$base" \
        'BEGIN { printf "warm start-up median: trawlix %.3f s, trivial Qt window %.3f s, ratio %.2f\n", m, b, (b > 0 ? m / b : 0) }'
else
    echo "warm start-up median: trawlix $mine s (no trivial_window built beside it: no ratio)"
fi
