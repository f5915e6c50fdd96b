#!/bin/sh
# Longer local fuzzing: builds the sanitizer configuration (clang, as scripts/test.sh
# does) and runs each target for a while (default 600 s), keeping what it finds in
# build-asan/fuzz-corpus/<target>/ for the next run:
#   scripts/fuzz.sh [seconds per target] [target...]
set -e
cd "$(dirname "$0")/.."
seconds=${1:-600}
[ $# -gt 0 ] && shift
./scripts/build-sanitize.sh build-asan
TARNEL_FUZZ_CORPUS=$(pwd)/build-asan/fuzz-corpus exec ./scripts/fuzz-run.sh build-asan "$seconds" "$@"
