#!/bin/sh
# Start-up of the player against gst-play-1.0, in one run, under Xvfb with a private
# PulseAudio null sink. Not a ctest test; figures go to bench/startup/RESULTS.md by hand.
#
#   bench/startup/measure_startup.sh
# Environment: BUILD (build folder, default build), REPEAT (runs of each case, default 3;
# medians are printed), ENTRIES (the long playlist, default 100000), CASES (comma-separated
# from first, second, lists; default all), KEEP=1 keeps the work folder.
#
# What it measures (times from exec, medians):
#  (a) first window mapped, on a very first start (fresh GST_REGISTRY, HOME and XDG
#      folders) and warm; the peer is gst-play-1.0's first sound started the same way;
#  (b) first sound (the stream that plays appears on the null sink; pulsesink's short-lived
#      format probe is left out) for the player and for gst-play-1.0
#      playing the same MP3, warm;
#  (c) a 10-entry and a long playlist: every window mapped, first sound, the CPU burst
#      (utime + stime from /proc/PID/stat every 100 ms; it ends where 300 ms in a row
#      use under 20 % of one core), CPU use from 2 s to 15 s and RSS at 3 s;
#  (d) a user's second start: a fresh HOME and program folder, a first start in them,
#      then the start that is measured (first window, first sound) and gst-play-1.0 in
#      the same HOME (GStreamer's registry where a user has it, in ~/.cache).
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD:-build}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
player="$build/dist/tarnel"
[ -x "$player" ] || { echo "no player at $player (build it first)" >&2; exit 1; }

# Debian packages only: x11-utils brings xev (the map watcher).
need=
command -v xev >/dev/null || need="$need x11-utils"
command -v Xvfb >/dev/null || need="$need xvfb"
[ -x /usr/bin/python3 ] || need="$need python3-minimal"
if [ -n "$need" ]; then
    if [ "$(id -u)" = 0 ]; then
        apt-get install -y --no-install-recommends $need >/dev/null
    else
        echo "missing packages:$need (install them, or run as root)" >&2
        exit 1
    fi
fi
for tool in ffmpeg gst-play-1.0 pactl pulseaudio stdbuf; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done

work=$(mktemp -d /tmp/tarnel-startup.XXXXXX)
chmod 700 "$work"
xvfb=
cleanup() {
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    "$root/scripts/pulse-null-sink.sh" stop "$work/pulse" >/dev/null 2>&1 || true
    [ -n "${KEEP:-}" ] && echo "kept $work" >&2 || rm -rf "$work"
}
trap cleanup EXIT INT TERM

# A display of our own: the first free number from 90 on.
display=90
while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb=$!
i=0
until xwininfo -display ":$display" -root >/dev/null 2>&1; do
    i=$((i + 1))
    [ $i -lt 100 ] || { echo "Xvfb did not start; see $work/xvfb.log" >&2; exit 1; }
    sleep 0.05
done

PULSE_SERVER=$("$root/scripts/pulse-null-sink.sh" start "$work/pulse")
export PULSE_SERVER

# A 20 s MP3, two tones a fifth apart.
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=20" \
    -f lavfi -i "sine=frequency=660:duration=20" -filter_complex "[0:a][1:a]amerge=inputs=2" \
    -ac 2 -ar 44100 -b:a 192k "$work/tone.mp3"

DISPLAY=":$display" /usr/bin/python3 "$root/bench/startup/measure_startup.py" \
    --player "$player" --dist "$build/dist" --work "$work" \
    --repeat "${REPEAT:-3}" --entries "${ENTRIES:-100000}" --cases "${CASES:-first,second,lists}"
