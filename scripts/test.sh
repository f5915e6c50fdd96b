#!/bin/sh
# Installs what is missing, builds the player and its tests with gcc, and the sanitizer
# configuration with clang (AddressSanitizer and UndefinedBehaviorSanitizer: the unit tests
# and the fuzz targets only), starts a private PulseAudio with a null sink, runs every
# test, the unit tests again under the sanitizers, each fuzz target for
# TARNEL_FUZZ_SECONDS (default 20) from its seed corpus, and checks what
# `cmake --install` lays down (scripts/check-install.sh). Must run as root on Debian 12.
set -e
cd "$(dirname "$0")/.."
root=$(pwd)

./scripts/install-deps.sh

./scripts/build.sh build
./scripts/build-sanitize.sh build-asan

# Everything the tests start lives in one private folder and goes away at the end.
work=$(mktemp -d /tmp/tarnel-test.XXXXXX)
chmod 700 "$work"
cleanup() {
    "$root/scripts/pulse-null-sink.sh" stop "$work/pulse" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

mkdir -p "$work/pulse" "$work/runtime"
chmod 700 "$work/runtime"
PULSE_SERVER=$("$root/scripts/pulse-null-sink.sh" start "$work/pulse")
export PULSE_SERVER
export XDG_RUNTIME_DIR="$work/runtime"
export QT_QPA_PLATFORM=offscreen
export HOME="$work"

status=0
ctest --test-dir build -j2 --output-on-failure || status=1
# The sanitizer build runs the tests of the plain classes.
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-asan -L unit -j2 --output-on-failure || status=1
# Every parser of outside input, fuzzed briefly: a finding fails the run.
./scripts/fuzz-run.sh build-asan "${TARNEL_FUZZ_SECONDS:-20}" || status=1
# What `cmake --install` lays down, from the build above, and the installed player run
# by a normal user.
"$root/scripts/check-install.sh" build || status=1
exit $status
