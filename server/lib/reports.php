<?php
// Storage of the problem reports: one table, reached through PDO, so SQLite serves a
// small installation and PostgreSQL or MySQL a busy one with the same scripts.
declare(strict_types=1);

const TARNEL_SEPARATOR = ';D7;';
const TARNEL_NAME_MAX = 50;
const TARNEL_MESSAGE_MAX = 500;
const TARNEL_REPORTS_PER_MINUTE = 5;
const TARNEL_BOARD_SIZE = 100;

function tarnel_env(string $name, string $default): string
{
    $v = getenv($name);
    return ($v === false || $v === '') ? $default : $v;
}

function tarnel_db(): PDO
{
    $dsn = tarnel_env('TARNEL_DB_DSN', 'sqlite:' . dirname(__DIR__) . '/data/tarnel.sqlite');
    $user = getenv('TARNEL_DB_USER') ?: null;
    $password = getenv('TARNEL_DB_PASSWORD') ?: null;
    $db = new PDO($dsn, $user, $password, [PDO::ATTR_ERRMODE => PDO::ERRMODE_EXCEPTION]);
    $driver = $db->getAttribute(PDO::ATTR_DRIVER_NAME);
    if ($driver === 'sqlite') {
        $db->exec('PRAGMA busy_timeout = 5000');
        $id = 'id INTEGER PRIMARY KEY AUTOINCREMENT';
    } elseif ($driver === 'pgsql') {
        $id = 'id BIGSERIAL PRIMARY KEY';
    } else {
        $id = 'id BIGINT AUTO_INCREMENT PRIMARY KEY';
    }
    $db->exec("CREATE TABLE IF NOT EXISTS reports ($id, name VARCHAR(200) NOT NULL,"
        . ' message VARCHAR(2000) NOT NULL, created BIGINT NOT NULL, address VARCHAR(64) NOT NULL,'
        . ' client VARCHAR(64) NOT NULL)');
    if ($driver !== 'mysql') {
        $db->exec('CREATE INDEX IF NOT EXISTS reports_sender ON reports (address, created)');
    }
    return $db;
}

// The player sends Windows-1250 bytes; newer clients and browsers send UTF-8.
function tarnel_to_utf8(string $bytes): string
{
    if (preg_match('//u', $bytes) === 1) {
        return $bytes;
    }
    $text = iconv('WINDOWS-1250', 'UTF-8//IGNORE', $bytes);
    return $text === false ? '' : $text;
}

// One board row per report: no line breaks or control characters, no separator
// (removed until none is left, since a removal can join one from its halves).
function tarnel_clean(string $bytes, int $max): string
{
    $text = preg_replace('/[\x00-\x1F\x7F]+/u', ' ', tarnel_to_utf8($bytes)) ?? '';
    do {
        $before = $text;
        $text = str_replace(TARNEL_SEPARATOR, '', $text);
    } while ($text !== $before);
    $text = trim($text);
    if (iconv_strlen($text, 'UTF-8') > $max) {
        $text = rtrim(iconv_substr($text, 0, $max, 'UTF-8'));
    }
    return $text;
}

// A random id in a cookie, kept with each report: reports of one client run belong together.
function tarnel_client_id(): string
{
    $id = $_COOKIE['tarnel_klient'] ?? '';
    if (!is_string($id) || preg_match('/^[0-9a-f]{32}$/', $id) !== 1) {
        $id = bin2hex(random_bytes(16));
    }
    setcookie('tarnel_klient', $id, ['expires' => time() + 365 * 86400, 'path' => '/', 'httponly' => true]);
    return $id;
}

function tarnel_fail(int $status, string $text): never
{
    http_response_code($status);
    header('Content-Type: text/plain; charset=utf-8');
    echo $text, "\n";
    exit;
}
