#!/bin/sh
# CPU cost of waiting on the network: the player whose update check at start waits on a
# server that takes the connection and never answers, against the same player idle (no
# update server), in one run, into a private PulseAudio null sink, offscreen. Prints
# each figure and the ratio waiting / idle. BASELINE=<another build folder> measures
# that build's player waiting too (for example one from before a change). Not a ctest
# test; figures go to bench/online/RESULTS.md by hand.
#
#   bench/online/measure_online_wait_cpu.sh [SECONDS]
# Environment: BUILD (build folder, default build), WARMUP (seconds skipped after start,
# default 5; the check waits 30 s for data, so WARMUP + SECONDS stays below that).
# CPU time is utime + stime of the process from /proc/PID/stat.
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-10}
build=${BUILD:-build}
warmup=${WARMUP:-5}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
[ -x "$build/dist/tarnel" ] || { echo "no player at $build/dist/tarnel (build it first)" >&2; exit 1; }
[ $((warmup + seconds)) -lt 30 ] || { echo "WARMUP + SECONDS must stay below 30" >&2; exit 1; }

work=$(mktemp -d /tmp/tarnel-online-cpu.XXXXXX)
chmod 700 "$work"
server=
cleanup() {
    [ -n "$server" ] && kill "$server" 2>/dev/null || true
    "$root/scripts/pulse-null-sink.sh" stop "$work/pulse" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

mkdir -p "$work/pulse" "$work/runtime"
chmod 700 "$work/runtime"
PULSE_SERVER=$("$root/scripts/pulse-null-sink.sh" start "$work/pulse")
export PULSE_SERVER XDG_RUNTIME_DIR="$work/runtime" QT_QPA_PLATFORM=offscreen HOME="$work"

# Takes connections on 127.0.0.1 and never answers.
python3 -c '
import socket, sys
s = socket.socket(); s.bind(("127.0.0.1", 0)); s.listen(16)
with open(sys.argv[1], "w") as f: f.write(str(s.getsockname()[1]))
held = []
while True: held.append(s.accept()[0])
' "$work/port" &
server=$!
while [ ! -s "$work/port" ]; do sleep 0.1; done
port=$(cat "$work/port")

# measure <dist folder> <update server or empty>: CPU seconds over SECONDS
measure() {
    dir="$work/prog.$$.$(date +%s%N)"
    mkdir -p "$dir"
    cp -r "$1"/. "$dir"/
    printf '[NASTAVENI2]\r\nAktualizace=1\r\nVidet=1\r\nUpdateServer=%s\r\n' "$2" > "$dir/nastaveni.ini"
    "$dir/tarnel" >"$dir/log" 2>&1 &
    pid=$!
    sleep "$warmup"
    a=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    sleep "$seconds"
    b=$(awk '{print $14 + $15}' "/proc/$pid/stat")
    kill -TERM "$pid"
    wait "$pid" 2>/dev/null || true
    echo $((b - a))
}

hz=$(getconf CLK_TCK)
idle=$(measure "$build/dist" "")
waiting=$(measure "$build/dist" "http://127.0.0.1:$port")
echo "idle:    $idle ticks in ${seconds} s ($(awk "BEGIN{printf \"%.2f\", 100*$idle/$hz/$seconds}") % of one core)"
echo "waiting: $waiting ticks in ${seconds} s ($(awk "BEGIN{printf \"%.2f\", 100*$waiting/$hz/$seconds}") % of one core)"
echo "ratio waiting / idle: $(awk "BEGIN{printf \"%.2f\", ($waiting+1)/($idle+1)}") (ticks + 1 each)"
if [ -n "${BASELINE:-}" ]; then
    base=$(measure "$BASELINE/dist" "http://127.0.0.1:$port")
    echo "baseline waiting: $base ticks in ${seconds} s ($(awk "BEGIN{printf \"%.2f\", 100*$base/$hz/$seconds}") % of one core)"
fi
