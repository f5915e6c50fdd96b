#!/bin/sh
# Runs the project's web server (server/) locally with PHP's built-in server.
#   scripts/server.sh [address:port]      default 127.0.0.1:8080
# The database is server/data/tarnel.sqlite unless TARNEL_DB_DSN names another
# (TARNEL_DB_USER and TARNEL_DB_PASSWORD for servers that want them).
# Point the player at it with UpdateServer and ReportServer in [NASTAVENI2].
set -e
cd "$(dirname "$0")/../server"
listen=${1:-127.0.0.1:8080}
[ -f tarnel/tarnelsetup.exe ] || echo "server: no tarnel/tarnelsetup.exe yet; the update download will answer 404" >&2
echo "server: http://$listen/ (Ctrl+C ends it)" >&2
exec php -S "$listen" -t . router.php
