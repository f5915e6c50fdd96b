#!/bin/sh
# Runs libFuzzer targets of a sanitizer build, each for a bounded time, from the seed
# corpus in fuzz/corpus/<target>/:
#   scripts/fuzz-run.sh <build-dir> <seconds per target> [target...]
# Without targets, every folder of fuzz/corpus is run; a built target without a corpus is
# an error, so none is left out. New inputs go to a scratch folder, or with
# TARNEL_FUZZ_CORPUS=<dir> to <dir>/<target>/, kept between runs. A crash, a leak, an
# input slower than 10 s or one that takes more than 2 GiB fails the run; the input that
# did it is printed in base64, ready to go into the target's corpus
# (base64 -d > fuzz/corpus/<target>/<name>). Targets run side by side, one per core.
set -u
cd "$(dirname "$0")/.."
[ $# -ge 2 ] || { echo "usage: $0 <build-dir> <seconds> [target...]" >&2; exit 2; }
build=$1
seconds=$2
shift 2
targets="$*"
if [ -z "$targets" ]; then
    for exe in "$build"/fuzz/fuzz_*; do
        [ -f "$exe" ] && [ -x "$exe" ] || continue
        t=${exe##*/fuzz_}
        if [ ! -d "fuzz/corpus/$t" ]; then
            echo "fuzz: fuzz_$t has no seed corpus in fuzz/corpus/$t" >&2
            exit 1
        fi
    done
    targets=$(ls fuzz/corpus)
fi

scratch=$(mktemp -d /tmp/tarnel-fuzz.XXXXXX)
trap 'rm -rf "$scratch"' EXIT INT TERM
# One target per core at a time: every target runs for the same time, so batches of
# that many finish together.
jobs=$(nproc 2>/dev/null || echo 2)

# Runs one target; its report goes to $scratch/<target>.out, its exit status to .rc.
run_target() {
    t=$1
    exe="$build/fuzz/fuzz_$t"
    out="$scratch/$t.out"
    if [ ! -x "$exe" ]; then
        echo "fuzz: $exe is not built" >"$out"
        echo 1 >"$scratch/$t.rc"
        return
    fi
    corpus="$scratch/corpus/$t"
    [ -n "${TARNEL_FUZZ_CORPUS:-}" ] && corpus="$TARNEL_FUZZ_CORPUS/$t"
    mkdir -p "$corpus" "$scratch/tmp-$t"
    log="$scratch/$t.log"
    # The outer bound catches a target that hangs where libFuzzer's own watch cannot.
    TMPDIR="$scratch/tmp-$t" QT_QPA_PLATFORM=offscreen \
        ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        timeout -k 10 $((seconds * 2 + 60)) "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$scratch/$t-" "$corpus" "fuzz/corpus/$t" >"$log" 2>&1
    rc=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    if [ $rc -eq 0 ]; then
        echo "fuzz_$t: ${runs:-?} runs in $seconds s, no finding" >"$out"
        echo 0 >"$scratch/$t.rc"
        return
    fi
    {
        echo "fuzz_$t: FAILED (exit $rc) after ${runs:-?} runs"
        grep -v '^#[0-9]' "$log" | tail -n 60
        found=0
        for f in "$scratch/$t"-*; do
            [ -f "$f" ] || continue
            found=1
            echo "fuzz_$t: reproducer ${f##*/} ($(wc -c <"$f") bytes), base64:"
            base64 -w0 "$f"
            echo
        done
        [ $found -eq 1 ] || echo "fuzz_$t: no reproducer was written (the outer time bound ended it)"
    } >"$out"
    echo 1 >"$scratch/$t.rc"
}

status=0
n=0
for t in $targets; do
    run_target "$t" &
    n=$((n + 1))
    if [ $n -ge "$jobs" ]; then
        wait
        n=0
    fi
done
wait
for t in $targets; do
    cat "$scratch/$t.out"
    [ "$(cat "$scratch/$t.rc" 2>/dev/null)" = 0 ] || status=1
done
exit $status
