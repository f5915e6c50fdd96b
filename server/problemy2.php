<?php
// Takes one problem report: the form fields jmeno (name) and zprava (message).
declare(strict_types=1);
require __DIR__ . '/lib/reports.php';

if (($_SERVER['REQUEST_METHOD'] ?? '') !== 'POST') {
    tarnel_fail(405, 'POST only');
}
$client = tarnel_client_id();
$name = tarnel_clean((string)($_POST['jmeno'] ?? ''), TARNEL_NAME_MAX);
$message = tarnel_clean((string)($_POST['zprava'] ?? ''), TARNEL_MESSAGE_MAX);
header('Content-Type: text/plain; charset=utf-8');
if ($message === '') {
    echo "OK\n";
    exit;
}
$address = (string)($_SERVER['REMOTE_ADDR'] ?? '');
$now = time();
$db = tarnel_db();
$db->beginTransaction();
$count = $db->prepare('SELECT COUNT(*) FROM reports WHERE address = ? AND created > ?');
$count->execute([$address, $now - 60]);
if ((int)$count->fetchColumn() >= TARNEL_REPORTS_PER_MINUTE) {
    $db->rollBack();
    header('Retry-After: 60');
    tarnel_fail(429, 'Too many reports, try again in a minute');
}
$insert = $db->prepare('INSERT INTO reports (name, message, created, address, client) VALUES (?, ?, ?, ?, ?)');
$insert->execute([$name, $message, $now, $address, $client]);
$db->commit();
echo "OK\n";
