#!/bin/sh
# Runs the project's web server (server/) locally with PHP's built-in server, its
# document root server/public (lib/ and data/ lie outside it).
#   scripts/server.sh [address:port]      default 127.0.0.1:8080
# The database is server/data/tarnel.sqlite unless TARNEL_DB_DSN names another
# (TARNEL_DB_USER and TARNEL_DB_PASSWORD for servers that want them); setup.php creates
# its table first. PHP_CLI_SERVER_WORKERS sets the number of worker processes (4).
# Point the player at it with UpdateServer and ReportServer in [NASTAVENI2].
# For a server on the internet use nginx or Apache with php-fpm (server/examples/):
# PHP's built-in server reads a whole request body before the script can refuse it.
set -e
cd "$(dirname "$0")/../server"
listen=${1:-127.0.0.1:8080}
php setup.php >&2
[ -f public/tarnel/tarnelsetup.exe ] || echo "server: no public/tarnel/tarnelsetup.exe yet; the update download will answer 404" >&2
echo "server: http://$listen/ (Ctrl+C ends it)" >&2
PHP_CLI_SERVER_WORKERS=${PHP_CLI_SERVER_WORKERS:-4} exec php -d post_max_size=64K -S "$listen" -t public
