#!/bin/sh
# CPU cost of playing an MP3 in the player against gst-play-1.0 playing the same file,
# both into a private PulseAudio null sink, in one run: the player with the waveform
# window shown (drawing 40 times a second), with it hidden, and paused; gst-play-1.0
# playing. Prints each figure, the ratios player / gst-play-1.0 for shown and hidden,
# and the paused player's share of a core. Not a ctest test; figures go to
# bench/cpu/RESULTS.md by hand.
#
# README: build first (scripts/build.sh build), then run as root or any user:
#   bench/cpu/measure_cpu.sh [SECONDS]
# Environment: BUILD (build folder, default build), WARMUP (seconds skipped after start,
# default 3), REPEAT (runs of each, default 3), STATES (which player states, default
# "shown hidden paused paused-notick").
# CPU time is utime + stime of the process (all its threads) from /proc/PID/stat, taken
# WARMUP seconds after start and again SECONDS later; start-up is left out.
#
# Paused: the program pauses only on a click of its pause button, so that state runs
# build/bench/cpu/bench_cpu_player: the same windows, graph and controller as the player
# (app/Startup), which clicks the pause button WARMUP - 1 seconds after start and says
# "paused"; the measurement starts a second after that. paused-notick is the same with
# the playback controller's 100 ms tick stopped once paused: a projection of the
# controller rewrite that stops it (not in the player yet), reported apart.
set -eu

root=$(cd "$(dirname "$0")/../.." && pwd)
seconds=${1:-15}
build=${BUILD:-build}
warmup=${WARMUP:-3}
repeat=${REPEAT:-3}
states=${STATES:-shown hidden paused paused-notick}
case "$build" in /*) ;; *) build="$root/$build" ;; esac
player="$build/dist/tarnel"
pauser="$build/bench/cpu/bench_cpu_player"

[ -x "$player" ] || { echo "no player at $player (build it first)" >&2; exit 1; }
case " $states " in *" paused"*)
    [ -x "$pauser" ] || { echo "no $pauser (build the bench targets first)" >&2; exit 1; } ;;
esac
[ "$warmup" -ge 2 ] || { echo "WARMUP must be at least 2 s" >&2; exit 1; }
for tool in ffmpeg gst-play-1.0 pactl pulseaudio; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 1; }
done

work=$(mktemp -d /tmp/tarnel-cpu.XXXXXX)
chmod 700 "$work"
pid=
cleanup() {
    [ -n "$pid" ] && kill "$pid" 2>/dev/null || true
    "$root/scripts/pulse-null-sink.sh" stop "$work/pulse" >/dev/null 2>&1 || true
    [ -n "${KEEP:-}" ] && echo "kept $work" >&2 || rm -rf "$work"
}
trap cleanup EXIT INT TERM

# Music-like enough: two tones a fifth apart, stereo, 44.1 kHz, 192 kbit/s.
length=$((warmup + seconds + 5))
mp3="$work/test.mp3"
ffmpeg -loglevel error -f lavfi -i "sine=frequency=440:duration=$length" \
    -f lavfi -i "sine=frequency=660:duration=$length" -filter_complex "[0:a][1:a]amerge=inputs=2" \
    -ac 2 -ar 44100 -b:a 192k "$mp3"

PULSE_SERVER=$("$root/scripts/pulse-null-sink.sh" start "$work/pulse")
export PULSE_SERVER

ticks=$(getconf CLK_TCK)

# utime + stime in clock ticks (the fields after the command name in parentheses).
cpu_ticks() {
    sed 's/^.*) //' "/proc/$1/stat" | awk '{ print $12 + $13 }'
}

# Context switches of each living thread: "tid name count" lines.
thread_switches() {
    for t in /proc/"$1"/task/*; do
        printf '%s %s %s\n' "${t##*/}" "$(tr ' ' _ <"$t/comm")" \
            "$(awk '/ctxt_switches/ { s += $2 } END { print s }' "$t/status")"
    done 2>/dev/null | sort
}

playing_streams() {
    pactl list sink-inputs short 2>/dev/null | wc -l
}

# measure NAME COMMAND...: sets `used` to the CPU seconds of the measured interval.
# With READY set to a line, waits (up to WARMUP + 5 s) for the command to print it and
# starts measuring a second later.
measure() {
    name=$1
    shift
    "$@" >"$work/$name.log" 2>&1 &
    pid=$!
    sleep "$warmup"
    if [ -n "${READY:-}" ]; then
        i=0
        while ! grep -qx "$READY" "$work/$name.log" && [ $i -lt 50 ]; do
            kill -0 "$pid" 2>/dev/null || break
            i=$((i + 1))
            sleep 0.1
        done
        if ! grep -qx "$READY" "$work/$name.log"; then
            echo "$name never said \"$READY\"; its log:" >&2
            cat "$work/$name.log" >&2
            exit 1
        fi
        sleep 1
    fi
    if ! kill -0 "$pid" 2>/dev/null; then
        echo "$name ended early; see its log:" >&2
        cat "$work/$name.log" >&2
        exit 1
    fi
    if [ "$(playing_streams)" -lt 1 ]; then
        echo "$name is not playing (no stream on the null sink)" >&2
        exit 1
    fi
    start=$(cpu_ticks "$pid")
    thread_switches "$pid" >"$work/switches.before"
    sleep "$seconds"
    if ! kill -0 "$pid" 2>/dev/null; then
        wait "$pid" 2>/dev/null && status=0 || status=$?
        echo "$name ended during the measurement (exit status $status); its log:" >&2
        cat "$work/$name.log" >&2
        pid=
        exit 1
    fi
    end=$(cpu_ticks "$pid")
    thread_switches "$pid" >"$work/switches.after"
    # Wake-ups a second of each thread that lived through the interval (the clock tick
    # hides a paused player's cost; its wake-ups show where it goes).
    wakeups=$(join "$work/switches.before" "$work/switches.after" | awk -v s="$seconds" '
        { d = $5 - $3; if (d > 0) { w[$2] += d } }
        END { for (n in w) printf " %s %.1f/s", n, w[n] / s }')
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    pid=
    # Let the sink forget the stream before the next run.
    i=0
    while [ "$(playing_streams)" -gt 0 ] && [ $i -lt 50 ]; do
        i=$((i + 1))
        sleep 0.1
    done
    used=$(awk -v t="$((end - start))" -v hz="$ticks" 'BEGIN { printf "%.2f", t / hz }')
}

# run_player shown|hidden|paused|paused-notick
run_player() {
    state=$1
    prog="$work/prog"
    rm -rf "$prog" "$work/runtime" "$work/home"
    mkdir -p "$prog" "$work/runtime" "$work/home"
    chmod 700 "$work/runtime"
    cp "$player" "$prog/"
    case $state in paused*) cp "$pauser" "$prog/" ;; esac
    for d in jazyky zkratky koncovky ax images; do
        [ -d "$build/dist/$d" ] && cp -r "$build/dist/$d" "$prog/"
    done
    # No update check over the network; the waveform window as asked (paused: shown).
    videt=1
    [ "$state" = hidden ] && videt=0
    printf '[NASTAVENI2]\r\nAktualizace=0\r\n[NASTAVENI9]\r\nVidet=%s\r\n' "$videt" >"$prog/nastaveni.ini"
    if [ "$state" = paused ] || [ "$state" = paused-notick ]; then
        extra=
        [ "$state" = paused-notick ] && extra=--stop-tick-when-paused
        READY=paused measure "tarnel-$state" env HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" \
            QT_QPA_PLATFORM=offscreen "$prog/bench_cpu_player" --pause-after-ms $(((warmup - 1) * 1000)) \
            $extra "$mp3"
    else
        READY= measure "tarnel-$state" env HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" \
            QT_QPA_PLATFORM=offscreen "$prog/tarnel" "$mp3"
    fi
}

run_gst_play() {
    READY= measure gst-play env HOME="$work/home" gst-play-1.0 --no-interactive -q "$mp3"
}

add() { awk -v a="$1" -v b="$2" 'BEGIN { print a + b }'; }

echo "measuring $seconds s after $warmup s of warm-up, $repeat run(s) each: tarnel ($states), gst-play-1.0"
total_gst=0
# Variable names cannot hold "-".
var() { echo "total_$1" | tr - _; }
for state in $states; do eval "$(var "$state")=0"; done
n=1
while [ $n -le "$repeat" ]; do
    line="run $n:"
    for state in $states; do
        run_player "$state"
        v=$(var "$state")
        eval "$v=\$(add \"\$$v\" $used)"
        line="$line tarnel $state ${used} s,"
        case $state in paused*) echo "tarnel $state wake-ups:$wakeups" ;; esac
    done
    run_gst_play
    total_gst=$(add "$total_gst" "$used")
    echo "$line gst-play-1.0 ${used} s CPU"
    n=$((n + 1))
done
report() {
    awk -v p="$2" -v g="$total_gst" -v s="$seconds" -v r="$repeat" -v name="$1" 'BEGIN {
        printf "tarnel %-15s %.2f s CPU in %d s (%.2f %% of one core)", name ":", p / r, s, 100 * p / r / s
        if (name !~ /^paused/ && g > 0) printf ", ratio to gst-play-1.0 %.2f", p / g
        if (name == "paused-notick") printf " [projection: controller tick stopped]"
        printf "\n"
    }'
}
awk -v g="$total_gst" -v s="$seconds" -v r="$repeat" 'BEGIN {
    printf "gst-play-1.0:  %.2f s CPU in %d s (%.2f %% of one core)\n", g / r, s, 100 * g / r / s
}'
for state in $states; do
    eval "report $state \$$(var "$state")"
done
