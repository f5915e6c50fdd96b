<?php
// Storage of the problem reports: one table reached through PDO, so SQLite serves a
// small installation and PostgreSQL a busy one with the same scripts. This folder lies
// outside the document root: nothing here is ever served.
declare(strict_types=1);

const TARNEL_SEPARATOR = ';D7;';
const TARNEL_NAME_MAX = 50;
const TARNEL_MESSAGE_MAX = 500;
const TARNEL_REPORTS_PER_MINUTE = 5;
const TARNEL_BOARD_SIZE = 100;
// A report is at most 550 characters, 12 bytes each when percent-encoded UTF-8.
const TARNEL_BODY_MAX = 65536;

// A setting from the FastCGI parameters (nginx fastcgi_param, Apache SetEnv) or the
// process environment (PHP's built-in server, the command line).
function tarnel_setting(string $name, string $default = ''): string
{
    $v = $_SERVER[$name] ?? getenv($name);
    return (is_string($v) && $v !== '') ? $v : $default;
}

function tarnel_default_dsn(): string
{
    return 'sqlite:' . dirname(__DIR__) . '/data/tarnel.sqlite';
}

// $create is for setup.php only: requests never create the database or its tables.
function tarnel_db(bool $create = false): PDO
{
    $dsn = tarnel_setting('TARNEL_DB_DSN', tarnel_default_dsn());
    $user = tarnel_setting('TARNEL_DB_USER') ?: null;
    $password = tarnel_setting('TARNEL_DB_PASSWORD') ?: null;
    $options = [PDO::ATTR_ERRMODE => PDO::ERRMODE_EXCEPTION];
    if (str_starts_with($dsn, 'sqlite:')) {
        // Opening a file is cheap; a missing file is a missing setup, not a new database.
        $options[PDO::SQLITE_ATTR_OPEN_FLAGS] = PDO::SQLITE_OPEN_READWRITE | ($create ? PDO::SQLITE_OPEN_CREATE : 0);
        $options[PDO::ATTR_TIMEOUT] = 10; // busy time-out, seconds
    } elseif (!$create) {
        // A new PostgreSQL connection costs a process on the database server: each PHP
        // worker keeps its own open.
        $options[PDO::ATTR_PERSISTENT] = true;
    }
    $db = new PDO($dsn, $user, $password, $options);
    if ($db->getAttribute(PDO::ATTR_DRIVER_NAME) === 'sqlite') {
        $db->exec('PRAGMA busy_timeout = 10000');
        // With the WAL journal (setup.php) a commit survives a crash of PHP or of the
        // machine's programs; only a power cut may lose the last ones, never the file.
        $db->exec('PRAGMA synchronous = NORMAL');
    }
    return $db;
}

// Runs $work inside a write transaction: taken at once (SQLite: BEGIN IMMEDIATE, so a
// reader never has to upgrade its lock; PostgreSQL: an advisory lock per $key, so the
// count-then-insert of one sender is not raced by the same sender).
function tarnel_write(PDO $db, string $key, callable $work): mixed
{
    $driver = $db->getAttribute(PDO::ATTR_DRIVER_NAME);
    if ($driver === 'sqlite') {
        $db->exec('BEGIN IMMEDIATE');
    } else {
        $db->beginTransaction();
        if ($driver === 'pgsql') {
            $lock = $db->prepare('SELECT pg_advisory_xact_lock(hashtext(?))');
            $lock->execute([$key]);
        }
    }
    try {
        $result = $work($db);
        $driver === 'sqlite' ? $db->exec('COMMIT') : $db->commit();
        return $result;
    } catch (Throwable $e) {
        try {
            $driver === 'sqlite' ? $db->exec('ROLLBACK') : $db->rollBack();
        } catch (Throwable) {
            // the original error is the one to report
        }
        throw $e;
    }
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

// The first $n characters of UTF-8 text.
function tarnel_cut(string $text, int $n): string
{
    return preg_match('/^.{0,' . $n . '}/su', $text, $m) === 1 ? $m[0] : '';
}

// One board row per report: no line breaks or control characters, no separator
// (removed until none is left, since a removal can join one from its halves). The text
// is cut first, so that the cleaning costs the same whatever was posted; the margin
// leaves room for what the cleaning removes.
function tarnel_clean(string $bytes, int $max): string
{
    $text = tarnel_cut(tarnel_to_utf8($bytes), 4 * $max);
    $text = preg_replace('/[\x00-\x1F\x7F]+/u', ' ', $text) ?? '';
    do {
        $before = $text;
        $text = str_replace(TARNEL_SEPARATOR, '', $text);
    } while ($text !== $before);
    return rtrim(tarnel_cut(trim($text), $max));
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

// Refuses a body beyond any report from its announced length. In front of PHP the web
// server refuses it before reading it (client_max_body_size, LimitRequestBody).
function tarnel_refuse_oversize_body(): void
{
    if ((int)($_SERVER['CONTENT_LENGTH'] ?? 0) > TARNEL_BODY_MAX) {
        header('Connection: close');
        tarnel_fail(413, 'Report too large');
    }
}

function tarnel_fail(int $status, string $text): never
{
    http_response_code($status);
    header('Content-Type: text/plain; charset=utf-8');
    echo $text, "\n";
    exit;
}

// Storage errors answer 503 (the report was not stored) and go to the server's log.
function tarnel_storage_failed(Throwable $e): never
{
    error_log('tarnel: ' . $e->getMessage());
    header('Retry-After: 10');
    tarnel_fail(503, 'Reports are not available now');
}
