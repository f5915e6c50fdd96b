#!/bin/sh
# Builds the Debian packages tarnel and tarnel-server from debian/ into the folder above
# the source tree, then installs the player with its dependencies (apt-get). Installing
# what the build needs and the package takes root; run it as root or as a user who may
# use sudo.
#   package.sh               build, then install tarnel
#   package.sh --no-install  build only
set -e
cd "$(dirname "$0")/.."
as_root() {
    if [ "$(id -u)" = "0" ]; then "$@"; else sudo "$@"; fi
}
as_root ./scripts/install-deps.sh --package
dpkg-buildpackage -us -uc -b
[ "${1:-}" = --no-install ] && exit 0
version=$(dpkg-parsechangelog -S Version)
cd ..
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y "./tarnel_${version}_$(dpkg --print-architecture).deb"
