#!/bin/sh
# Gapless playback: a playlist of four MP3 tones (3 s each) played by the player and by
# `gst-play-1.0 --gapless`, side by side, on three sound servers: a stock PulseAudio
# null sink (renders up to 2 s ahead while idle, so new streams start late), one with
# norewinds=1, and PipeWire's PulseAudio server when it is installed (see below). The
# null sink's monitor is recorded and analyse.py reports how much of each entry was
# heard and the gaps between entries. Not a ctest test; figures go to RESULTS.md.
#
#   bench/gapless/measure_gapless.sh          (build first: scripts/build.sh build)
# Environment: BUILD (build folder, default build), SERVERS (default
# "stock norewinds pipewire"). PipeWire needs, as root:
#   scripts/install-deps.sh --bench
# (that keeps PulseAudio installed); it is skipped when missing.
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD:-build}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
player="$build/dist/tarnel"
servers=${SERVERS:-stock norewinds pipewire}
seconds=3
freqs="400 800 1600 3200"
[ -x "$player" ] || { echo "no player at $player (build it first)" >&2; exit 1; }

work=$(mktemp -d /tmp/tarnel-gapless.XXXXXX)
chmod 700 "$work"
pids=
cleanup() {
    for p in $pids; do kill "$p" 2>/dev/null || true; done
    "$root/scripts/pulse-null-sink.sh" stop "$work/pulse" >/dev/null 2>&1 || true
    [ -n "${KEEP:-}" ] && echo "kept $work" >&2 || rm -rf "$work"
}
trap cleanup EXIT INT TERM

files=
i=1
for f in $freqs; do
    ffmpeg -loglevel error -f lavfi -i "sine=frequency=$f:duration=$seconds" -ac 2 -ar 44100 \
        -af volume=4 -c:a libmp3lame -b:a 192k "$work/tone$i.mp3"
    files="$files $work/tone$i.mp3"
    i=$((i + 1))
done
total=$((4 * seconds + 4))

# record NAME COMMAND...: plays while the sink's monitor is recorded, then analyses.
record() {
    name=$1
    shift
    parec -d bench_sink.monitor --raw --format=s16le --rate=44100 --channels=2 --latency-msec=20 \
        >"$work/$name.raw" &
    rec=$!
    sleep 0.5
    PULSE_SINK=bench_sink "$@" >"$work/$name.log" 2>&1 &
    pid=$!
    pids="$rec $pid"
    sleep "$total"
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    kill "$rec" 2>/dev/null || true
    wait "$rec" 2>/dev/null || true
    pids=
    echo "$name:"
    python3 "$root/bench/gapless/analyse.py" "$work/$name.raw" "$seconds" $freqs | sed 's/^/  /'
}

run_player() {
    prog="$work/prog"
    rm -rf "$prog" "$work/runtime-p"
    mkdir -p "$prog" "$work/runtime-p"
    chmod 700 "$work/runtime-p"
    cp "$player" "$prog/"
    for d in jazyky zkratky koncovky; do cp -r "$build/dist/$d" "$prog/"; done
    printf '[NASTAVENI2]\r\nAktualizace=0\r\n' >"$prog/nastaveni.ini"
    # shellcheck disable=SC2086
    record "tarnel-$1" env XDG_RUNTIME_DIR="$work/runtime-p" QT_QPA_PLATFORM=offscreen "$prog/tarnel" $files
}

run_peer() {
    # shellcheck disable=SC2086
    record "gst-play-$1" gst-play-1.0 --gapless --no-interactive -q $files
}

sink_up() {
    pactl load-module module-null-sink sink_name=bench_sink $1 >/dev/null
}
sink_down() {
    pactl unload-module module-null-sink >/dev/null 2>&1 || true
}

for server in $servers; do
    case "$server" in
    stock | norewinds)
        PULSE_SERVER=$("$root/scripts/pulse-null-sink.sh" start "$work/pulse")
        export PULSE_SERVER
        args=
        [ "$server" = norewinds ] && args=norewinds=1
        echo "== PulseAudio null sink, $server"
        sink_up "$args"
        run_player "$server"
        sink_down; sink_up "$args"
        run_peer "$server"
        sink_down
        "$root/scripts/pulse-null-sink.sh" stop "$work/pulse"
        ;;
    pipewire)
        if ! command -v pipewire >/dev/null || ! command -v pipewire-pulse >/dev/null \
            || ! command -v wireplumber >/dev/null || ! command -v dbus-daemon >/dev/null; then
            echo "== PipeWire: not installed, skipped"
            continue
        fi
        rt="$work/pw"
        mkdir -p "$rt"
        chmod 700 "$rt"
        export XDG_RUNTIME_DIR="$rt"
        DBUS_SESSION_BUS_ADDRESS=$(dbus-daemon --session --fork --print-address=1 --print-pid=3 3>"$rt/dbus.pid")
        export DBUS_SESSION_BUS_ADDRESS
        pipewire >"$rt/pw.log" 2>&1 &
        pids="$pids $!"
        sleep 0.5
        wireplumber >"$rt/wp.log" 2>&1 &
        pids="$pids $!"
        pipewire-pulse >"$rt/pwp.log" 2>&1 &
        pids="$pids $!"
        keep=$pids
        sleep 1.5
        export PULSE_SERVER="unix:$rt/pulse/native"
        echo "== PipeWire $(pipewire --version | sed -n "s/.*libpipewire \(.*\)/\1/p" | head -1)"
        sink_up ""
        run_player pipewire
        pids=$keep
        run_peer pipewire
        pids=$keep
        sink_down
        kill "$(cat "$rt/dbus.pid")" 2>/dev/null || true
        unset PULSE_SERVER DBUS_SESSION_BUS_ADDRESS
        ;;
    esac
done
