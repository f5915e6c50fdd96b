#!/bin/sh
# Builds the libFuzzer targets with clang and runs each for a while (default 60 s).
set -e
cd "$(dirname "$0")/.."
seconds=${1:-60}
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTARNEL_BUILD_FUZZ=ON \
    -DTARNEL_BUILD_TESTS=OFF -DTARNEL_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)"
for t in listfile inifile linetable id3v1 icy volumeserial mimeapps textcodec online; do
    mkdir -p "build-fuzz/corpus/$t"
    echo "fuzz_$t: $seconds s"
    QT_QPA_PLATFORM=offscreen "build-fuzz/fuzz/fuzz_$t" -max_total_time="$seconds" -max_len=4096 \
        "build-fuzz/corpus/$t"
done
