#!/bin/sh
# CPU cost of playing a 640 x 360 H.264 video in the player with the video window shown,
# at the window's first-start size (480 x 330, data/nastaveni.ini) and at 1280 x 720, against
# gst-play-1.0 --videosink=ximagesink on the same file, all under one Xvfb and into a
# private PulseAudio null sink, in one run. Prints each figure and the ratios
# player / gst-play-1.0. Not a ctest test; figures go to bench/video/RESULTS.md.
#
#   bench/video/measure_video_cpu.sh [SECONDS]
# Environment: BUILD (build folder, default build), WARMUP (seconds of playing before
# measuring, default 3), REPEAT (runs of each, default 2).
# CPU time is utime + stime of the process (all threads) from /proc/PID/stat. The X
# server's CPU over the same seconds is printed beside it: the player has the server
# scale the picture (RENDER), which a desktop's server does on its GPU but Xvfb on the CPU.
# The player is the built program (BUILD/dist/tarnel) in a temporary program folder
# with the shipped first-start layout, the file on its command line; its video window is
# shown through NASTAVENI3.
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-15}
build=${BUILD:-build}
warmup=${WARMUP:-3}
repeat=${REPEAT:-2}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
player="$build/dist/tarnel"
[ -x "$player" ] || { echo "no $player (build the program first)" >&2; exit 1; }
for tool in ffmpeg gst-play-1.0 pactl pulseaudio Xvfb; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done

work=$(mktemp -d /tmp/tarnel-video-cpu.XXXXXX)
chmod 700 "$work"
pid=
xvfb=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    "$root/scripts/pulse-null-sink.sh" stop "$work/pulse" >/dev/null 2>&1 || true
    [ -n "${KEEP:-}" ] && echo "kept $work" >&2 || rm -rf "$work"
}
trap cleanup EXIT INT TERM

length=$((seconds + warmup + 10))
ffmpeg -loglevel error -f lavfi -i "testsrc2=s=640x360:r=25:d=$length" -f lavfi -i "sine=f=440:d=$length" \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 128k "$work/clip.mp4"

display=:$((90 + $$ % 100))
Xvfb "$display" -screen 0 1920x1080x24 -noreset -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
sleep 1
export DISPLAY="$display"
PULSE_SERVER=$("$root/scripts/pulse-null-sink.sh" start "$work/pulse")
export PULSE_SERVER
ticks=$(getconf CLK_TCK)
cpu_ticks() { sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
playing_streams() { pactl list sink-inputs short 2>/dev/null | wc -l; }

# measure NAME COMMAND...: CPU seconds of SECONDS, WARMUP seconds after sound starts.
measure() {
    name=$1
    shift
    "$@" >"$work/$name.log" 2>&1 &
    pid=$!
    i=0
    while [ "$(playing_streams)" -lt 1 ] && [ $i -lt 150 ]; do i=$((i + 1)); sleep 0.1; done
    [ "$(playing_streams)" -ge 1 ] || { echo "$name is not playing:" >&2; cat "$work/$name.log" >&2; exit 1; }
    sleep "$warmup"
    start=$(cpu_ticks "$pid")
    xstart=$(cpu_ticks "$xvfb")
    sleep "$seconds"
    kill -0 "$pid" 2>/dev/null || { echo "$name ended early:" >&2; cat "$work/$name.log" >&2; exit 1; }
    end=$(cpu_ticks "$pid")
    xend=$(cpu_ticks "$xvfb")
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=
    i=0
    while [ "$(playing_streams)" -gt 0 ] && [ $i -lt 50 ]; do i=$((i + 1)); sleep 0.1; done
    used=$(awk -v t="$((end - start))" -v hz="$ticks" 'BEGIN { printf "%.2f", t / hz }')
    xused=$(awk -v t="$((xend - xstart))" -v hz="$ticks" 'BEGIN { printf "%.2f", t / hz }')
}

# run_player WIDTH HEIGHT: the video window at that size.
run_player() {
    prog="$work/prog"
    rm -rf "$prog" "$work/runtime" "$work/home"
    mkdir -p "$prog" "$work/runtime" "$work/home"
    chmod 700 "$work/runtime"
    cp "$player" "$prog/"
    for d in jazyky zkratky koncovky; do cp -r "$build/dist/$d" "$prog/"; done
    # The shipped layout, with the video window shown at the size asked for.
    awk -v w="$1" -v h="$2" '
        /^\[/ { skip = ($0 ~ /^\[NASTAVENI3\]/) }
        !skip { print }
        /^\[NASTAVENI2\]/ { print "Aktualizace=0" }
        END { printf "[NASTAVENI3]\r\nSirka=%s\r\nVyska=%s\r\nZLeva=515\r\nZHora=235\r\nVidet=1\r\n", w, h }
    ' "$root/data/nastaveni.ini" >"$prog/nastaveni.ini"
    measure tarnel env HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=xcb \
        DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent "$prog/tarnel" "$work/clip.mp4"
}

run_gst_play() {
    measure gst-play env HOME="$work/home" gst-play-1.0 --no-interactive -q --videosink=ximagesink "$work/clip.mp4"
}

add() { awk -v a="$1" -v b="$2" 'BEGIN { print a + b }'; }
echo "640x360 H.264 + AAC; measuring $seconds s after $warmup s of playing, $repeat run(s) each"
small=0 large=0 gst=0 xsmall=0 xlarge=0 xgst=0
n=1
while [ $n -le "$repeat" ]; do
    run_player 480 330
    small=$(add "$small" "$used") xsmall=$(add "$xsmall" "$xused")
    s=$used sx=$xused
    run_player 1280 720
    large=$(add "$large" "$used") xlarge=$(add "$xlarge" "$xused")
    l=$used lx=$xused
    run_gst_play
    gst=$(add "$gst" "$used") xgst=$(add "$xgst" "$xused")
    echo "run $n: tarnel 480x330 ${s} s (X server ${sx} s), tarnel 1280x720 ${l} s (X server ${lx} s), gst-play-1.0 ${used} s (X server ${xused} s) CPU"
    n=$((n + 1))
done
awk -v a="$small" -v b="$large" -v g="$gst" -v xa="$xsmall" -v xb="$xlarge" -v xg="$xgst" -v s="$seconds" -v r="$repeat" 'BEGIN {
    printf "tarnel, video window 480x330:   %.2f s CPU in %d s (%.1f %% of one core), X server %.2f s\n", a / r, s, 100 * a / r / s, xa / r
    printf "tarnel, video window 1280x720:  %.2f s CPU in %d s (%.1f %% of one core), X server %.2f s\n", b / r, s, 100 * b / r / s, xb / r
    printf "gst-play-1.0 (ximagesink):      %.2f s CPU in %d s (%.1f %% of one core), X server %.2f s\n", g / r, s, 100 * g / r / s, xg / r
    if (g > 0) printf "ratio 480x330 / gst-play-1.0: %.2f\nratio 1280x720 / gst-play-1.0: %.2f\n", a / g, b / g
    if (g + xg > 0) printf "with the X server: ratio 480x330 %.2f, ratio 1280x720 %.2f\n", (a + xa) / (g + xg), (b + xb) / (g + xg)
}'
