#!/bin/sh
# The sanitizer configuration: clang with AddressSanitizer and UndefinedBehaviorSanitizer,
# the libraries instrumented for libFuzzer. It builds what runs there only: the unit tests
# and the fuzz targets. scripts/build-sanitize.sh [build-dir]
set -e
cd "$(dirname "$0")/.."
dir=${1:-build-asan}
[ $# -gt 0 ] && shift
# A folder configured with another compiler cannot switch: start it afresh.
if [ -f "$dir/CMakeCache.txt" ] && ! grep -q '^CMAKE_CXX_COMPILER:.*clang' "$dir/CMakeCache.txt"; then
    rm -rf "$dir"
fi
exec ./scripts/build.sh "$dir" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DTARNEL_SANITIZE=ON -DTARNEL_BUILD_FUZZ=ON -DTARNEL_BUILD_BENCH=OFF "$@"
