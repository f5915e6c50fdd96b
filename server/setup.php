<?php
// Creates the report table and its indexes in the configured database, once, before
// the site takes reports (the scripts never create anything). Safe to run again.
//   php server/setup.php          (TARNEL_DB_DSN, TARNEL_DB_USER, TARNEL_DB_PASSWORD
//                                  as the web server passes them; default SQLite in data/)
declare(strict_types=1);
require __DIR__ . '/lib/reports.php';

if (PHP_SAPI !== 'cli') {
    exit(1);
}
try {
    $db = tarnel_db(true);
    $driver = $db->getAttribute(PDO::ATTR_DRIVER_NAME);
    $id = match ($driver) {
        'sqlite' => 'id INTEGER PRIMARY KEY AUTOINCREMENT',
        'pgsql' => 'id BIGSERIAL PRIMARY KEY',
        default => 'id BIGINT AUTO_INCREMENT PRIMARY KEY',
    };
    if ($driver === 'sqlite') {
        // Readers (the board) never block the writer; kept in the file.
        $db->exec('PRAGMA journal_mode = WAL');
    }
    $db->exec("CREATE TABLE IF NOT EXISTS reports ($id, name VARCHAR(200) NOT NULL,"
        . ' message VARCHAR(2000) NOT NULL, created BIGINT NOT NULL, address VARCHAR(64) NOT NULL,'
        . ' client VARCHAR(64) NOT NULL)');
    if ($driver === 'mysql') {
        if ($db->query("SHOW INDEX FROM reports WHERE Key_name = 'reports_sender'")->fetch() === false) {
            $db->exec('CREATE INDEX reports_sender ON reports (address, created)');
        }
    } else {
        $db->exec('CREATE INDEX IF NOT EXISTS reports_sender ON reports (address, created)');
    }
} catch (Throwable $e) {
    fwrite(STDERR, 'setup: ' . $e->getMessage() . "\n");
    exit(1);
}
echo "setup: reports table ready ($driver)\n";
