#!/bin/sh
# A private PulseAudio daemon with one null sink ("tarnel_null") for tests.
#   pulse-null-sink.sh start DIR [stock]  start it in DIR, print the PULSE_SERVER value
#   pulse-null-sink.sh stop DIR           stop the daemon started in DIR
# "stock" leaves the null sink as PulseAudio serves it (with rewinds, rendering up to
# 2 s ahead while idle): the way a new stream starts late on it is what players meet.
# Clients need PULSE_SERVER=unix:DIR/native (printed by start); XDG_RUNTIME_DIR=DIR is
# also fine for Qt. What was played can be recorded with: parec -d tarnel_null.monitor
set -e

usage() {
    echo "usage: $0 start|stop DIR" >&2
    exit 2
}

[ $# -eq 2 ] || [ $# -eq 3 ] || usage
cmd=$1
dir=$2
sinkargs="norewinds=1"
[ "${3:-}" = stock ] && sinkargs=""

case "$cmd" in
start)
    mkdir -p "$dir"
    chmod 700 "$dir"
    dir=$(cd "$dir" && pwd)
    export HOME="$dir" XDG_RUNTIME_DIR="$dir"
    # A daemon left over from an earlier run in the same folder is replaced.
    if [ -f "$dir/pulse/pid" ] && kill -0 "$(cat "$dir/pulse/pid")" 2>/dev/null; then
        "$0" stop "$dir"
    fi
    rm -f "$dir/native"
    # norewinds=1 (the default here): a stream starts on the idle null sink within
    # ~50 ms, as on PipeWire; without it the start waits for the sink's render-ahead.
    pulseaudio --daemonize=yes --exit-idle-time=-1 -n --disallow-exit --use-pid-file=yes \
        --log-target="file:$dir/pa.log" \
        --load="module-null-sink sink_name=tarnel_null $sinkargs" \
        --load="module-native-protocol-unix auth-anonymous=1 socket=$dir/native"
    i=0
    until PULSE_SERVER="unix:$dir/native" pactl info >/dev/null 2>&1; do
        i=$((i + 1))
        if [ $i -ge 100 ]; then
            echo "pulse-null-sink: the daemon did not answer; see $dir/pa.log" >&2
            exit 1
        fi
        sleep 0.05
    done
    PULSE_SERVER="unix:$dir/native" pactl set-default-sink tarnel_null >/dev/null 2>&1 || true
    echo "unix:$dir/native"
    ;;
stop)
    [ -d "$dir" ] || exit 0
    dir=$(cd "$dir" && pwd)
    pidfile="$dir/pulse/pid"
    [ -f "$pidfile" ] || exit 0
    pid=$(cat "$pidfile")
    if kill -0 "$pid" 2>/dev/null; then
        kill "$pid"
        i=0
        while kill -0 "$pid" 2>/dev/null && [ $i -lt 100 ]; do
            i=$((i + 1))
            sleep 0.05
        done
        if kill -0 "$pid" 2>/dev/null; then
            kill -9 "$pid" 2>/dev/null || true
        fi
    fi
    rm -f "$pidfile" "$dir/native"
    ;;
*)
    usage
    ;;
esac
