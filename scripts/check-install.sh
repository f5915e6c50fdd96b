#!/bin/sh
# Checks an install from a build that exists, cheaply: `cmake --install` into a
# temporary DESTDIR, the tree against the expected layout, the desktop entry, metainfo
# and MIME files with the desktop's own validators, and the installed player run by a
# normal user (nobody, HOME in a temporary folder, offscreen, a private null sink): it
# starts playing the file it is given, takes a second one from a second start, keeps
# its files in ~/.config/tarnel/ and not in its program folder, and ends on SIGTERM
# with exit status 0.
#   check-install.sh [build-dir]     (as root)
set -e
cd "$(dirname "$0")/.."
root=$(pwd)
build=${1:-build}
user=nobody

fail() {
    echo "check-install: $*" >&2
    exit 1
}

work=$(mktemp -d /tmp/tarnel-install.XXXXXX)
player=""
cleanup() {
    [ -n "$player" ] && kill -KILL "$player" 2>/dev/null || true
    "$root/scripts/pulse-null-sink.sh" stop "$work/pulse" >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT INT TERM
# The user walks through to the installed program and the media, and no further.
chmod 755 "$work"

prefix=$(sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p' "$build/CMakeCache.txt")
[ -n "$prefix" ] || fail "$build is no configured build folder"
dest="$work/dest"
DESTDIR="$dest" cmake --install "$build" >"$work/install.log" || fail "cmake --install failed: $(cat "$work/install.log")"
top="$dest$prefix"

# The tree: every path, its type, mode and link target.
(cd "$top" && find . -mindepth 1 \( -type f -printf '%M %p\n' \) -o \( -type l -printf 'link %p -> %l\n' \) \
    -o \( -type d -printf '%M %p/\n' \)) | sort >"$work/tree"
sort >"$work/expected" <<'EOF'
drwxr-xr-x ./bin/
link ./bin/tarnel -> ../lib/tarnel/tarnel
drwxr-xr-x ./lib/
drwxr-xr-x ./lib/tarnel/
-rwxr-xr-x ./lib/tarnel/tarnel
-rw-r--r-- ./lib/tarnel/nastaveni.ini
-rw-r--r-- ./lib/tarnel/tarnel.svg
drwxr-xr-x ./lib/tarnel/jazyky/
-rw-r--r-- ./lib/tarnel/jazyky/cs.txt
-rw-r--r-- ./lib/tarnel/jazyky/en.txt
-rw-r--r-- ./lib/tarnel/jazyky/jazyky.txt
drwxr-xr-x ./lib/tarnel/koncovky/
-rw-r--r-- ./lib/tarnel/koncovky/koncovky1.txt
drwxr-xr-x ./lib/tarnel/zkratky/
-rw-r--r-- ./lib/tarnel/zkratky/zkratky.txt
drwxr-xr-x ./share/
drwxr-xr-x ./share/applications/
-rw-r--r-- ./share/applications/tarnel.desktop
drwxr-xr-x ./share/icons/
drwxr-xr-x ./share/icons/hicolor/
drwxr-xr-x ./share/icons/hicolor/scalable/
drwxr-xr-x ./share/icons/hicolor/scalable/apps/
-rw-r--r-- ./share/icons/hicolor/scalable/apps/tarnel.svg
drwxr-xr-x ./share/man/
drwxr-xr-x ./share/man/man1/
-rw-r--r-- ./share/man/man1/tarnel.1
drwxr-xr-x ./share/metainfo/
-rw-r--r-- ./share/metainfo/org.example.tarnel.metainfo.xml
drwxr-xr-x ./share/mime/
drwxr-xr-x ./share/mime/packages/
-rw-r--r-- ./share/mime/packages/tarnel.xml
EOF
diff -u "$work/expected" "$work/tree" >&2 || fail "the installed tree differs from the expected layout (- expected, + installed)"
[ "$(readlink -f "$top/bin/tarnel")" = "$top/lib/tarnel/tarnel" ] || fail "bin/tarnel does not lead to lib/tarnel/tarnel"

# The desktop's validators. The entry starts the installed launcher.
desktop-file-validate "$top/share/applications/tarnel.desktop" || fail "tarnel.desktop is not valid"
grep -qx "Exec=$prefix/bin/tarnel %f" "$top/share/applications/tarnel.desktop" || fail "tarnel.desktop does not start $prefix/bin/tarnel"
appstreamcli validate --no-net --strict "$top/share/metainfo/org.example.tarnel.metainfo.xml" >"$work/appstream.log" 2>&1 \
    || fail "metainfo: $(cat "$work/appstream.log")"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
grep -q "<release version=\"$version\"" "$top/share/metainfo/org.example.tarnel.metainfo.xml" \
    || fail "metainfo does not name release $version"
# Our MIME definitions beside the system's: the database builds without a word and
# knows our three extensions.
mkdir -p "$work/mime/packages"
cp /usr/share/mime/packages/freedesktop.org.xml "$top/share/mime/packages/tarnel.xml" "$work/mime/packages/"
XDG_DATA_DIRS="$work" update-mime-database "$work/mime" >"$work/mime.log" 2>&1 || fail "update-mime-database: $(cat "$work/mime.log")"
[ ! -s "$work/mime.log" ] || fail "update-mime-database: $(cat "$work/mime.log")"
for glob in 'audio/x-wave:\*\.wave' 'video/x-dvd-ifo:\*\.ifo' 'application/x-cda:\*\.cda'; do
    grep -q ":$glob\$" "$work/mime/globs2" || fail "the MIME database has no $glob"
done
grep -qx 'audio/x-wave audio/x-wav' "$work/mime/subclasses" || fail "audio/x-wave is no kind of audio/x-wav"
if command -v groff >/dev/null; then
    groff -man -ww -z "$top/share/man/man1/tarnel.1" 2>"$work/man.log" || true
    [ ! -s "$work/man.log" ] || fail "tarnel.1: $(cat "$work/man.log")"
fi

# The installed player, run by a normal user. Its own sound server: the user reaches
# only the socket.
PULSE_SERVER=$("$root/scripts/pulse-null-sink.sh" start "$work/pulse")
chmod 711 "$work/pulse"
export PULSE_SERVER
home="$work/home"
mkdir -p "$home/runtime" "$work/media"
chown -R "$user" "$home"
chmod 700 "$home" "$home/runtime"
ffmpeg -loglevel error -f lavfi -i sine=frequency=440:duration=60 "$work/media/first tone.wav"
ffmpeg -loglevel error -f lavfi -i sine=frequency=660:duration=2 "$work/media/second.mp3"
chmod 644 "$work/media/"*
chmod 755 "$work/media"
(cd "$top" && find . | sort) >"$work/before"

as_user() {
    runuser -u "$user" -- env -i PATH=/usr/bin:/bin HOME="$home" XDG_RUNTIME_DIR="$home/runtime" \
        QT_QPA_PLATFORM=offscreen PULSE_SERVER="$PULSE_SERVER" \
        XDG_DATA_DIRS="$top/share:/usr/share" \
        DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent/tarnel-install-check \
        DBUS_SYSTEM_BUS_ADDRESS=unix:path=/nonexistent/tarnel-install-check "$@"
}

# Waits up to $1 seconds for the command after it to succeed.
wait_for() {
    limit=$(($(date +%s) + $1))
    shift
    until "$@"; do
        [ "$(date +%s)" -lt "$limit" ] || return 1
        sleep 0.2
    done
}

as_user "$top/bin/tarnel" "$work/media/first tone.wav" >"$work/player.log" 2>&1 &
runner=$!
# The player: the user's process of the installed program (the only one so far).
player_pid() {
    player=$(pgrep -u "$user" -f "^$top/bin/tarnel " || true)
    [ -n "$player" ]
}
wait_for 30 player_pid || fail "the player did not start: $(cat "$work/player.log")"
# Playing: a stream of the player's process on the null sink, not corked.
playing() {
    pactl list sink-inputs | awk -v pid="$player" '
        /^Sink Input/ { corked = "" }
        /Corked:/ { corked = $2 }
        $1 == "application.process.id" && $3 == "\"" pid "\"" && corked == "no" { found = 1 }
        END { exit !found }'
}
wait_for 60 playing || fail "the player is not playing its file: $(cat "$work/player.log")"
[ "$(stat -c %U /proc/"$player")" = "$user" ] || fail "the player does not run as $user"

# A second start hands its file over and ends with 0.
as_user "$top/bin/tarnel" "$work/media/second.mp3" >"$work/second.log" 2>&1 || fail "the hand-off failed: $(cat "$work/second.log")"

kill -TERM "$player"
status=0
wait "$runner" || status=$?
player=""
[ "$status" -eq 0 ] || fail "the player ended with status $status on SIGTERM: $(cat "$work/player.log")"

# Its files are the user's, in ~/.config/tarnel/; the program folder is as installed.
config="$home/.config/tarnel"
[ "$(stat -c '%U %a' "$config")" = "$user 700" ] || fail "$config is not private to $user"
for f in nastaveni.ini playlist.st3 zkratky/zkratky.txt; do
    [ "$(stat -c %U "$config/$f" 2>/dev/null)" = "$user" ] || fail "no $f of $user's in $config"
done
python3 -c 'import sys, zlib; print(zlib.decompress(open(sys.argv[1], "rb").read()).decode().replace("\r", ""))' "$config/playlist.st3" \
    >"$work/playlist"
grep -qx "$work/media/first tone.wav" "$work/playlist" || fail "the playlist lacks the first file: $(cat "$work/playlist")"
grep -qx "$work/media/second.mp3" "$work/playlist" || fail "the playlist lacks the handed file: $(cat "$work/playlist")"
(cd "$top" && find . | sort) | diff -u "$work/before" - >&2 || fail "the player changed its program folder"
entry="$home/.local/share/applications/tarnel.desktop"
grep -qx "Exec=$top/lib/tarnel/tarnel %f" "$entry" || fail "the user's entry does not start the installed player: $(grep ^Exec "$entry")"

echo "check-install: the installed tree, its desktop files and the installed player run by $user are as expected"
