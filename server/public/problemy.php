<?php
// The report board: the newest reports, newest first, each "<date> <name>: <message>;D7;".
// Plain text in UTF-8, as stored: the player decodes UTF-8 (and Windows-1250 when the
// bytes are no UTF-8), and a browser shows the text as text, never as a page.
declare(strict_types=1);
require __DIR__ . '/../lib/reports.php';

tarnel_refuse_oversize_body();
tarnel_client_id();
date_default_timezone_set(tarnel_setting('TARNEL_TIMEZONE', 'Europe/Prague'));
try {
    $rows = tarnel_db()->query('SELECT name, message, created FROM reports ORDER BY id DESC LIMIT '
        . TARNEL_BOARD_SIZE)->fetchAll(PDO::FETCH_ASSOC);
} catch (Throwable $e) {
    tarnel_storage_failed($e);
}
header('Content-Type: text/plain; charset=utf-8');
header('X-Content-Type-Options: nosniff');
header('Cache-Control: no-store');
foreach ($rows as $row) {
    echo date('d.m.Y H:i', (int)$row['created']), ' ', $row['name'], ': ', $row['message'], TARNEL_SEPARATOR;
}
