<?php
// The report board: the newest reports, newest first, each "<date> <name>: <message>;D7;".
declare(strict_types=1);
require __DIR__ . '/lib/reports.php';

tarnel_client_id();
date_default_timezone_set(tarnel_env('TARNEL_TIMEZONE', 'Europe/Prague'));
$rows = tarnel_db()->query('SELECT name, message, created FROM reports ORDER BY created DESC, id DESC LIMIT '
    . TARNEL_BOARD_SIZE);
header('Content-Type: text/html; charset=utf-8');
foreach ($rows as $row) {
    echo date('d.m.Y H:i', (int)$row['created']), ' ', $row['name'], ': ', $row['message'], TARNEL_SEPARATOR;
}
