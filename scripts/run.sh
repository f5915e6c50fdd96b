#!/bin/sh
# Installs what is missing (as root), builds, and starts the player from build/dist
# with its shipped data. Arguments are passed on as media files.
set -e
cd "$(dirname "$0")/.."
if [ "$(id -u)" = "0" ]; then
    ./scripts/install-deps.sh
else
    sudo ./scripts/install-deps.sh
fi
./scripts/build.sh build -DTARNEL_BUILD_TESTS=OFF -DTARNEL_BUILD_BENCH=OFF
exec build/dist/tarnel "$@"
