#!/bin/sh
# Installs everything the build, the player and the tests need (Debian 12, as root).
# Quiet and quick when everything is already there.
#   install-deps.sh          what the build, the player and the tests need
#   install-deps.sh --bench  also the peers the benchmarks compare with (PipeWire's
#                            PulseAudio server; it leaves PulseAudio installed) and
#                            fusepy for the slow file system of bench/responsiveness,
#                            numpy for the analysis of recordings
#   install-deps.sh --package also what building the Debian packages takes
#                            (dpkg-buildpackage -us -uc -b, then lintian)
set -e

PACKAGES="
build-essential cmake pkg-config ninja-build
clang-14 libclang-rt-14-dev clang
qt6-base-dev qt6-base-dev-tools libqt6svg6 qt6-image-formats-plugins
libgl-dev libxkbcommon-dev
libgstreamer1.0-dev libgstreamer-plugins-base1.0-dev
gstreamer1.0-tools gstreamer1.0-plugins-base gstreamer1.0-plugins-good
gstreamer1.0-plugins-bad gstreamer1.0-plugins-ugly gstreamer1.0-libav
gstreamer1.0-pulseaudio gstreamer1.0-plugins-base-apps
libcurl4-openssl-dev libmp3lame-dev zlib1g-dev libpulse-dev
libavformat-dev libavcodec-dev libswresample-dev libavutil-dev
libcdio-dev libcdio-paranoia-dev
libx11-dev libxext-dev libxrender-dev libxtst-dev
pulseaudio pulseaudio-utils
ffmpeg sox python3 lame
libgtest-dev libbenchmark-dev
xvfb xauth x11-xserver-utils
dbus python3-dbus playerctl
xdg-utils libglib2.0-bin shared-mime-info desktop-file-utils appstream procps
dosfstools ntfs-3g xorriso
dvdauthor
adwaita-icon-theme hicolor-icon-theme gtk-update-icon-cache
qt6-translations-l10n
fonts-dejavu-core
php-cli php-sqlite3 php-pgsql php-fpm nginx-light postgresql
"

for option in "$@"; do
    case "$option" in
    --bench)
        PACKAGES="$PACKAGES pipewire pipewire-pulse wireplumber dbus gstreamer1.0-x python3-fusepy fuse3 python3-numpy"
        ;;
    --package)
        PACKAGES="$PACKAGES dpkg-dev debhelper lintian ccache"
        ;;
    *)
        echo "install-deps: unknown option $option" >&2
        exit 2
        ;;
    esac
done

missing=""
for p in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $p"
    fi
done

if [ -n "$missing" ]; then
    if [ "$(id -u)" != "0" ]; then
        echo "install-deps: need root to install:$missing" >&2
        exit 1
    fi
    echo "install-deps: installing$missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
