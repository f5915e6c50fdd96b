<?php
// Takes one problem report: the form fields jmeno (name) and zprava (message). Answers
// 200 "OK" only when the report was stored; any other answer means it was not.
declare(strict_types=1);
require __DIR__ . '/../lib/reports.php';

if (($_SERVER['REQUEST_METHOD'] ?? '') !== 'POST') {
    header('Allow: POST');
    tarnel_fail(405, 'POST only');
}
tarnel_refuse_oversize_body();
$client = tarnel_client_id();
$name = $_POST['jmeno'] ?? '';
$message = $_POST['zprava'] ?? null;
if (!is_string($name) || !is_string($message)) {
    tarnel_fail(400, $message === null ? 'No message' : 'Malformed report');
}
$name = tarnel_clean($name, TARNEL_NAME_MAX);
$message = tarnel_clean($message, TARNEL_MESSAGE_MAX);
if ($message === '') {
    tarnel_fail(400, 'Empty message');
}
$address = (string)($_SERVER['REMOTE_ADDR'] ?? '');
$now = time();
try {
    $stored = tarnel_write(tarnel_db(), $address, function (PDO $db) use ($name, $message, $now, $address, $client) {
        $count = $db->prepare('SELECT COUNT(*) FROM reports WHERE address = ? AND created > ?');
        $count->execute([$address, $now - 60]);
        if ((int)$count->fetchColumn() >= TARNEL_REPORTS_PER_MINUTE) {
            return false;
        }
        $db->prepare('INSERT INTO reports (name, message, created, address, client) VALUES (?, ?, ?, ?, ?)')
            ->execute([$name, $message, $now, $address, $client]);
        return true;
    });
} catch (Throwable $e) {
    tarnel_storage_failed($e);
}
if (!$stored) {
    header('Retry-After: 60');
    tarnel_fail(429, 'Too many reports, try again in a minute');
}
header('Content-Type: text/plain; charset=utf-8');
echo "OK\n";
