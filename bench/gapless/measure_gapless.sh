#!/bin/sh
# Gapless playback, the player beside `gst-play-1.0 --gapless` in the same run, on three
# sound servers: a stock PulseAudio null sink (renders up to 2 s ahead while idle, so
# new streams start late), one with norewinds=1, and PipeWire's PulseAudio server when
# it is installed (see below). Two lists, 3 s entries, one tone frequency per entry:
#   mixed  every audio format the player plays that can carry a plain tone: MP3, FLAC,
#          Ogg Vorbis, M4A (AAC in MP4), AAC (ADTS), WAV, AU, AIFF, WMA
#   av     audio and video entries alternating: MP3, MP4 (a test picture and a tone),
#          Ogg Vorbis, MP4
# The null sink's monitor is recorded with parec and analyse.py reports, per entry, the
# share heard (goal >= 98 %), every gap (goal < 0.06 s; for the av list: no longer than
# gst-play-1.0's) and whether the list wraps (entry 1 heard again after the last).
# gst-play-1.0 does not wrap: it is given the list with its first entry again at the
# end, so that the last-to-first joint is compared too. Its gapless switch (playbin's
# about-to-finish) stalls from a video entry to an audio-only one, so on the av list it
# also runs without --gapless (a new start per entry, as it plays by default). gst-play-1.0 shows the video on
# "fakesink sync=true"; the player runs offscreen. Not a ctest test; figures go to
# RESULTS.md.
#
#   bench/gapless/measure_gapless.sh          (build first: scripts/build.sh build)
# Environment: BUILD (build folder, default build), SERVERS (default
# "stock norewinds pipewire"), LISTS (default "mixed av"), KEEP=1 keeps the work
# folder. PipeWire and numpy need, as root:
#   scripts/install-deps.sh --bench
# (that keeps PulseAudio installed); PipeWire is skipped when missing.
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD:-build}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
player="$build/dist/tarnel"
servers=${SERVERS:-stock norewinds pipewire}
lists=${LISTS:-mixed av}
seconds=3
# Debian's own interpreter: numpy comes from python3-numpy.
python=/usr/bin/python3
[ -x "$player" ] || { echo "no player at $player (build it first)" >&2; exit 1; }
$python -c 'import numpy' 2>/dev/null || { echo "needs python3-numpy (scripts/install-deps.sh --bench)" >&2; exit 1; }

work=$(mktemp -d /tmp/tarnel-gapless.XXXXXX)
chmod 700 "$work"
pids=
cleanup() {
    for p in $pids; do kill -9 "$p" 2>/dev/null || true; done
    "$root/scripts/pulse-null-sink.sh" stop "$work/pulse" >/dev/null 2>&1 || true
    [ -n "${KEEP:-}" ] && echo "kept $work" >&2 || rm -rf "$work"
}
trap cleanup EXIT INT TERM

# tone FILE FREQ CODEC...: a 3 s stereo tone.
tone() {
    out=$1 f=$2
    shift 2
    ffmpeg -loglevel error -f lavfi -i "sine=frequency=$f:duration=$seconds:sample_rate=44100" -ac 2 \
        -af volume=4 "$@" "$out"
}
# clip FILE FREQ: a 3 s MP4, a moving test picture and a tone.
clip() {
    ffmpeg -loglevel error -f lavfi -i "testsrc=size=320x240:rate=25:duration=$seconds" \
        -f lavfi -i "sine=frequency=$2:duration=$seconds:sample_rate=44100" -ac 2 -af volume=4 \
        -c:v mpeg4 -q:v 5 -c:a aac -b:a 160k -shortest "$1"
}

m="$work/media"
mkdir -p "$m"
mixed_freqs="300 420 590 830 1170 1650 2330 3290 4640"
tone "$m/1.mp3" 300 -c:a libmp3lame -b:a 192k
tone "$m/2.flac" 420 -c:a flac
tone "$m/3.ogg" 590 -c:a libvorbis
tone "$m/4.m4a" 830 -c:a aac -b:a 160k
tone "$m/5.aac" 1170 -c:a aac -b:a 160k -f adts
tone "$m/6.wav" 1650 -c:a pcm_s16le
tone "$m/7.au" 2330 -c:a pcm_s16be -f au
tone "$m/8.aif" 3290 -c:a pcm_s16be -f aiff
tone "$m/9.wma" 4640 -c:a wmav2 -b:a 128k
mixed_files="$m/1.mp3 $m/2.flac $m/3.ogg $m/4.m4a $m/5.aac $m/6.wav $m/7.au $m/8.aif $m/9.wma"
av_freqs="500 1000 2000 3500"
tone "$m/a1.mp3" 500 -c:a libmp3lame -b:a 192k
clip "$m/v1.mp4" 1000
tone "$m/a2.ogg" 2000 -c:a libvorbis
clip "$m/v2.mp4" 3500
av_files="$m/a1.mp3 $m/v1.mp4 $m/a2.ogg $m/v2.mp4"

# record NAME LIST COMMAND...: plays while the sink's monitor is recorded, then analyses.
record() {
    name=$1 list=$2
    shift 2
    eval "freqs=\$${list}_freqs"
    count=$(echo $freqs | wc -w)
    parec -d bench_sink.monitor --raw --format=s16le --rate=44100 --channels=2 --latency-msec=20 \
        >"$work/$name.raw" &
    rec=$!
    sleep 0.5
    PULSE_SINK=bench_sink "$@" >"$work/$name.log" 2>&1 &
    pid=$!
    pids="$keep $rec $pid"
    # The whole list, the first entry again, and time for a late start.
    sleep $((count * seconds + seconds + 5))
    kill -TERM "$pid" 2>/dev/null || true
    # A player that froze does not end on SIGTERM.
    i=0
    while kill -0 "$pid" 2>/dev/null && [ $i -lt 50 ]; do
        sleep 0.1
        i=$((i + 1))
    done
    kill -9 "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    kill "$rec" 2>/dev/null || true
    wait "$rec" 2>/dev/null || true
    pids=$keep
    echo "$name:"
    # shellcheck disable=SC2086
    $python "$root/bench/gapless/analyse.py" "$work/$name.raw" "$seconds" $freqs \
        --summary "$work/summary.jsonl" --label "$name" | sed 's/^/  /'
}

run_player() {
    server=$1 list=$2
    prog="$work/prog"
    rm -rf "$prog" "$work/runtime-p"
    mkdir -p "$prog" "$work/runtime-p/home"
    chmod 700 "$work/runtime-p"
    cp "$player" "$prog/"
    for d in jazyky zkratky koncovky; do cp -r "$build/dist/$d" "$prog/"; done
    printf '[NASTAVENI2]\r\nAktualizace=0\r\n' >"$prog/nastaveni.ini"
    eval "files=\$${list}_files"
    # shellcheck disable=SC2086
    record "$list/$server/tarnel" "$list" env XDG_RUNTIME_DIR="$work/runtime-p" HOME="$work/runtime-p/home" \
        QT_QPA_PLATFORM=offscreen DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent \
        "$prog/tarnel" $files
}

run_peer() {
    server=$1 list=$2 mode=$3
    eval "files=\$${list}_files"
    first=${files%% *}
    # shellcheck disable=SC2086
    record "$list/$server/gst-play-1.0${mode:+ $mode}" "$list" gst-play-1.0 $mode --no-interactive -q \
        --videosink="fakesink sync=true" $files "$first"
}

sink_module=
sink_up() {
    # shellcheck disable=SC2086
    sink_module=$(pactl load-module module-null-sink sink_name=bench_sink $1)
}
sink_down() {
    pactl unload-module "$sink_module" >/dev/null 2>&1 || true
}

both() {
    server=$1 args=$2
    for list in $lists; do
        mkdir -p "$work/$list/$server"
        sink_up "$args"
        run_player "$server" "$list"
        sink_down
        sink_up "$args"
        run_peer "$server" "$list" --gapless
        sink_down
        # playbin's gapless switch stalls going from video to audio only: the av list
        # also runs as gst-play-1.0 plays by default, a new start per entry.
        if [ "$list" = av ]; then
            sink_up "$args"
            run_peer "$server" "$list" ""
            sink_down
        fi
    done
}

keep=
for server in $servers; do
    case "$server" in
    stock | norewinds)
        PULSE_SERVER=$("$root/scripts/pulse-null-sink.sh" start "$work/pulse")
        export PULSE_SERVER
        args=
        [ "$server" = norewinds ] && args=norewinds=1
        echo "== PulseAudio null sink, $server"
        both "$server" "$args"
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
        keep="$keep $!"
        sleep 0.5
        wireplumber >"$rt/wp.log" 2>&1 &
        keep="$keep $!"
        pipewire-pulse >"$rt/pwp.log" 2>&1 &
        keep="$keep $!"
        pids=$keep
        sleep 1.5
        export PULSE_SERVER="unix:$rt/pulse/native"
        echo "== PipeWire $(pipewire --version | sed -n "s/.*libpipewire \(.*\)/\1/p" | head -1)"
        both pipewire ""
        for p in $keep; do kill "$p" 2>/dev/null || true; done
        kill "$(cat "$rt/dbus.pid")" 2>/dev/null || true
        keep=
        pids=
        unset PULSE_SERVER DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR
        ;;
    esac
done

echo
echo "== Side by side (goals: worst entry >= 98 %, every gap < 0.06 s; av: gaps no longer than gst-play-1.0's)"
$python "$root/bench/gapless/analyse.py" --table "$work/summary.jsonl"
