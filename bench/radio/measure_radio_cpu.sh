#!/bin/sh
# CPU cost of playing a 128 kbit/s MP3 internet radio station in the player (radio
# window shown) against gst-play-1.0 playing the same address, both from the local
# ICY server (tests/fixtures/radio/icy_server.py, titles changing every 3 s) into a
# private PulseAudio null sink, in one run. Prints each figure and the ratio
# player / gst-play-1.0. Not a ctest test; figures go to bench/radio/RESULTS.md.
#
#   bench/radio/measure_radio_cpu.sh [SECONDS]
# Environment: BUILD (build folder, default build), WARMUP (seconds after the station
# plays before measuring, default 3), REPEAT (runs of each, default 3).
# CPU time is utime + stime of the process (all threads) from /proc/PID/stat.
#
# The player is build/bench/radio/bench_radio_player: the player's own windows and
# radio (app/Startup) with the first station double-clicked a second after start.
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-20}
build=${BUILD:-build}
warmup=${WARMUP:-3}
repeat=${REPEAT:-3}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
player="$build/bench/radio/bench_radio_player"
[ -x "$player" ] || { echo "no $player (build the bench targets first)" >&2; exit 1; }
for tool in ffmpeg gst-play-1.0 pactl pulseaudio python3; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done

work=$(mktemp -d /tmp/tarnel-radio-cpu.XXXXXX)
chmod 700 "$work"
pid=
server=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    [ -n "$server" ] && kill "$server" 2>/dev/null || true
    "$root/scripts/pulse-null-sink.sh" stop "$work/pulse" >/dev/null 2>&1 || true
    [ -n "${KEEP:-}" ] && echo "kept $work" >&2 || rm -rf "$work"
}
trap cleanup EXIT INT TERM

# Two tones a fifth apart, stereo, 44.1 kHz, CBR 128 kbit/s; the server loops it.
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=30" \
    -f lavfi -i "sine=frequency=660:duration=30" -filter_complex "[0:a][1:a]amerge=inputs=2" \
    -ac 2 -ar 44100 -b:a 128k -write_xing 0 -id3v2_version 0 "$work/station.mp3"
python3 "$root/tests/fixtures/radio/icy_server.py" --mp3 "$work/station.mp3" --port-file "$work/port" \
    --title-every 3 2>"$work/server.log" &
server=$!
i=0
while [ ! -s "$work/port" ] && [ $i -lt 100 ]; do i=$((i + 1)); sleep 0.1; done
url="http://127.0.0.1:$(cat "$work/port")/icy.mp3"

PULSE_SERVER=$("$root/scripts/pulse-null-sink.sh" start "$work/pulse")
export PULSE_SERVER
ticks=$(getconf CLK_TCK)
cpu_ticks() { sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'; }
playing_streams() { pactl list sink-inputs short 2>/dev/null | wc -l; }

# measure NAME READY COMMAND...: CPU seconds of SECONDS, starting WARMUP seconds after
# the command printed READY (or after start, for an empty READY).
measure() {
    name=$1 ready=$2
    shift 2
    "$@" >"$work/$name.log" 2>&1 &
    pid=$!
    if [ -n "$ready" ]; then
        i=0
        while ! grep -qx "$ready" "$work/$name.log" && [ $i -lt 150 ]; do
            kill -0 "$pid" 2>/dev/null || break
            i=$((i + 1))
            sleep 0.1
        done
        grep -qx "$ready" "$work/$name.log" || { echo "$name never said \"$ready\":" >&2; cat "$work/$name.log" >&2; exit 1; }
    fi
    sleep "$warmup"
    [ "$(playing_streams)" -ge 1 ] || { echo "$name is not playing:" >&2; cat "$work/$name.log" >&2; exit 1; }
    start=$(cpu_ticks "$pid")
    sleep "$seconds"
    kill -0 "$pid" 2>/dev/null || { echo "$name ended early:" >&2; cat "$work/$name.log" >&2; exit 1; }
    end=$(cpu_ticks "$pid")
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=
    i=0
    while [ "$(playing_streams)" -gt 0 ] && [ $i -lt 50 ]; do i=$((i + 1)); sleep 0.1; done
    used=$(awk -v t="$((end - start))" -v hz="$ticks" 'BEGIN { printf "%.2f", t / hz }')
}

run_player() {
    prog="$work/prog"
    rm -rf "$prog" "$work/runtime" "$work/home"
    mkdir -p "$prog" "$work/runtime" "$work/home"
    chmod 700 "$work/runtime"
    cp "$player" "$prog/"
    for d in jazyky zkratky koncovky; do cp -r "$build/dist/$d" "$prog/"; done
    printf '[NASTAVENI2]\r\nAktualizace=0\r\n[NASTAVENI6]\r\nVidet=1\r\n' >"$prog/nastaveni.ini"
    python3 -c 'import sys, zlib; open(sys.argv[1], "wb").write(zlib.compress((sys.argv[2] + "\r\n").encode(), 9))' \
        "$prog/radia.st3" "$url"
    measure tarnel playing env HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen \
        "$prog/bench_radio_player" --start-after-ms 1000
}

run_gst_play() {
    measure gst-play "" env HOME="$work/home" gst-play-1.0 --no-interactive -q "$url"
}

add() { awk -v a="$1" -v b="$2" 'BEGIN { print a + b }'; }
echo "station $url; measuring $seconds s after $warmup s of playing, $repeat run(s) each"
total_player=0
total_gst=0
n=1
while [ $n -le "$repeat" ]; do
    run_player
    total_player=$(add "$total_player" "$used")
    p=$used
    run_gst_play
    total_gst=$(add "$total_gst" "$used")
    echo "run $n: tarnel ${p} s, gst-play-1.0 ${used} s CPU"
    n=$((n + 1))
done
awk -v p="$total_player" -v g="$total_gst" -v s="$seconds" -v r="$repeat" 'BEGIN {
    printf "tarnel (radio window shown): %.2f s CPU in %d s (%.2f %% of one core)\n", p / r, s, 100 * p / r / s
    printf "gst-play-1.0:                %.2f s CPU in %d s (%.2f %% of one core)\n", g / r, s, 100 * g / r / s
    if (g > 0) printf "ratio tarnel / gst-play-1.0: %.2f\n", p / g
}'
