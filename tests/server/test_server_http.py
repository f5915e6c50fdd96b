#!/usr/bin/env python3
"""The project's web server (server/) attacked and loaded from outside, over HTTP on
127.0.0.1: PHP's built-in server (as scripts/server.sh runs it) and nginx with php-fpm
(server/examples/nginx.conf), on SQLite (--db sqlite) or on a private PostgreSQL cluster
this script starts (--db pgsql).

    test_server_http.py [--db sqlite|pgsql] [unittest arguments]
TARNEL_LOAD_SECONDS sets the load test's length (default 10).
"""

import os
import sys
import threading
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import serverstack as st  # noqa: E402

DB = 'sqlite'
LOAD_SECONDS = float(os.environ.get('TARNEL_LOAD_SECONDS', '10'))
LOAD_CLIENTS = 20
postgres = None


def setUpModule():
    global postgres
    if DB == 'pgsql':
        postgres = st.Postgres().start()


def tearDownModule():
    if postgres:
        postgres.close()


def settings():
    return postgres.settings() if postgres else {}


def form(**fields):
    return urllib.parse.urlencode(fields).encode('ascii')


def together(n, work):
    """Runs work(i) on n threads released at once; returns the results in order."""
    barrier = threading.Barrier(n)
    results = [None] * n

    def run(i):
        barrier.wait()
        try:
            results[i] = work(i)
        except Exception as e:  # an error is a result to report, not a lost thread
            results[i] = e
    threads = [threading.Thread(target=run, args=(i,)) for i in range(n)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return results


# Paths that must reach neither the database nor the code beside the document root.
HIDDEN_PATHS = [
    '/data/tarnel.sqlite', '//data/tarnel.sqlite', '/%64ata/tarnel.sqlite', '/data%2ftarnel.sqlite',
    '/data%2Ftarnel.sqlite', '/../data/tarnel.sqlite', '/%2e%2e/data/tarnel.sqlite',
    '/tarnel/../../data/tarnel.sqlite', '/tarnel/%2e%2e/%2e%2e/data/tarnel.sqlite',
    '/tarnel%2f..%2f..%2fdata%2ftarnel.sqlite', '/problemy.php/../../data/tarnel.sqlite',
    '/data/tarnel.sqlite-wal', '/lib/reports.php', '//lib/reports.php', '/%6cib/reports.php',
    '/lib%2freports.php', '/../lib/reports.php', '/.%2e/lib/reports.php', '/setup.php', '/../setup.php',
    '/examples/nginx.conf', '/public/problemy.php',
]
LEAKS = [b'SQLite format 3', b'<?php', b'tarnel_db', b'fastcgi']

LONG = 'x' * 60000
# label, body (None: no body at all), status, stored (name, message) or None
BODIES = [
    ('a report', form(jmeno='n', zprava='hello') + b'&', 200, ('n', 'hello')),
    ('no body', None, 400, None),
    ('empty body', b'', 400, None),
    ('no message field', form(jmeno='n'), 400, None),
    ('empty message', form(jmeno='n', zprava=''), 400, None),
    ('blank message', b'jmeno=n&zprava=+++', 400, None),
    ('only separators', form(jmeno='n', zprava=';D;D7;7;;D7;'), 400, None),
    ('only control characters', form(jmeno='n', zprava='\r\n\t'), 400, None),
    ('message as an array', b'jmeno=n&zprava[]=x', 400, None),
    ('name as an array', b'jmeno[]=n&zprava=x', 400, None),
    ('just under the body limit, cut', form(jmeno='n', zprava=LONG), 200, ('n', 'x' * 500)),
    ('1 MB', form(jmeno='n', zprava='x' * 1000000), 413, None),
    ('10 MiB', form(jmeno='n', zprava='x' * (10 << 20)), 413, None),
]


class Stack:
    """The suite, run against one web server (server_class) on the module's database."""
    server_class = None

    @classmethod
    def setUpClass(cls):
        cls.site = st.Site(settings())
        cls.site.setup()
        cls.server = cls.server_class(cls.site).start()

    @classmethod
    def tearDownClass(cls):
        cls.server.close()
        cls.site.close()

    def setUp(self):
        self.site.clear()

    def req(self, method, path, body=None, **kw):
        return st.request(self.server.port, method, path, body, **kw)

    def test_public_files(self):
        status, _, body = self.req('GET', '/tarnel/update.txt')
        self.assertEqual(status, 200)
        self.assertTrue(body.startswith(b'Tarnel '), body)

    def test_hidden_files_unreachable(self):
        self.assertEqual(self.req('POST', '/problemy2.php', form(jmeno='n', zprava='secret'))[0], 200)
        if not postgres:
            self.assertTrue(os.path.getsize(os.path.join(self.site.root, 'data', 'tarnel.sqlite')) > 0)
        for path in HIDDEN_PATHS:
            for method in ('GET', 'POST'):
                with self.subTest(path=path, method=method):
                    status, _, body = self.req(method, path, b'' if method == 'POST' else None)
                    self.assertIn(status, (400, 403, 404), body[:200])
                    for leak in LEAKS:
                        self.assertNotIn(leak, body)

    def test_markup_served_as_text(self):
        name, message = '<b>n</b>', '<script>alert("x")</script> & Příliš'
        self.assertEqual(self.req('POST', '/problemy2.php', form(jmeno=name, zprava=message))[0], 200)
        # The player's own form: Windows-1250 bytes, stored and served as UTF-8.
        self.assertEqual(self.req('POST', '/problemy2.php', b'jmeno=J%EC&zprava=%9E%E1k%3Cb%3E')[0], 200)
        for method in ('POST', 'GET'):
            status, headers, body = self.req(method, '/problemy.php', b'' if method == 'POST' else None)
            self.assertEqual(status, 200)
            self.assertEqual(headers['content-type'], 'text/plain; charset=utf-8')
            self.assertEqual(headers['x-content-type-options'], 'nosniff')
            pieces = body.decode('utf-8').split(';D7;')
            self.assertEqual(len(pieces), 3, body)
            self.assertTrue(pieces[0].endswith(' Jě: žák<b>'), pieces[0])
            self.assertTrue(pieces[1].endswith(' %s: %s' % (name, message)), pieces[1])
            self.assertEqual(pieces[2], '')

    def test_bodies(self):
        for label, body, status, stored in BODIES:
            with self.subTest(label):
                self.site.clear()
                got, _, answer = self.req('POST', '/problemy2.php', body)
                self.assertEqual(got, status, answer[:200])
                if status == 200:
                    self.assertEqual(answer, b'OK\n')
                    self.assertEqual(self.site.rows(), [stored + ('127.0.0.1',)])
                else:
                    self.assertNotIn(b'OK', answer)
                    self.assertEqual(self.site.count(), 0)

    def test_post_only(self):
        status, headers, _ = self.req('GET', '/problemy2.php')
        self.assertEqual(status, 405)
        self.assertEqual(headers.get('allow'), 'POST')

    def test_rate_limit_under_a_burst(self):
        # Eight posts of one sender at once: five stored and acknowledged, three refused.
        results = together(8, lambda i: self.req('POST', '/problemy2.php', form(jmeno='n', zprava='m%d' % i),
                                                 source='127.2.0.1'))
        statuses = sorted(r[0] if isinstance(r, tuple) else repr(r) for r in results)
        self.assertEqual(statuses, [200] * 5 + [429] * 3)
        self.assertEqual(len(self.site.rows()), 5)

    def test_first_requests_of_new_workers(self):
        # Fresh workers (no connection open yet) under 20 posts at once.
        fresh = self.server_class(self.site).start()
        try:
            results = together(20, lambda i: st.request(fresh.port, 'POST', '/problemy2.php',
                                                        form(jmeno='n', zprava='m%d' % i),
                                                        source=st.source_address(900000 + i)))
        finally:
            fresh.close()
        self.assertEqual([r[0] if isinstance(r, tuple) else repr(r) for r in results], [200] * 20)
        self.assertEqual(self.site.count(), 20)

    def test_load(self):
        # LOAD_CLIENTS senders post for LOAD_SECONDS (each post from an address of its
        # own, so that the rate limit passes) while the board is read: every post is
        # answered OK and every OK is exactly one stored row.
        stop = threading.Event()
        acked, failures, boards = [], [], [0]
        lock = threading.Lock()

        def sender(c):
            n = 0
            while not stop.is_set():
                message = 'c%d-r%d' % (c, n)
                try:
                    status, _, body = self.req('POST', '/problemy2.php', form(jmeno='load', zprava=message),
                                               source=st.source_address(c * 10000 + n))
                except OSError as e:
                    status, body = repr(e), b''
                with lock:
                    (acked if status == 200 and body == b'OK\n' else failures).append((message, status, body[:80]))
                n += 1

        def reader():
            while not stop.is_set():
                status = self.req('POST', '/problemy.php', b'')[0]
                with lock:
                    boards[0] += 1
                    if status != 200:
                        failures.append(('board', status, b''))

        threads = [threading.Thread(target=sender, args=(c,)) for c in range(LOAD_CLIENTS)]
        threads.append(threading.Thread(target=reader))
        for t in threads:
            t.start()
        stop.wait(LOAD_SECONDS)
        stop.set()
        for t in threads:
            t.join()
        self.assertEqual(failures, [])
        self.assertGreater(len(acked), 0)
        rows = self.site.rows()
        self.assertEqual(sorted(r[1] for r in rows), sorted(a[0] for a in acked))
        print('\n  %s: %d reports acknowledged and stored in %.0f s by %d clients, %d board reads'
              % (self.server_class.name, len(acked), LOAD_SECONDS, LOAD_CLIENTS, boards[0]), file=sys.stderr)


class BuiltinServerTest(Stack, unittest.TestCase):
    server_class = st.BuiltinServer

    def test_storage_missing(self):
        # Before setup.php has run, nothing is stored and the answers say so.
        if postgres:
            missing = dict(postgres.settings(), TARNEL_DB_DSN=postgres.dsn().replace('tarnel', 'missing'))
        else:
            missing = {}
        site = st.Site(missing)
        server = st.BuiltinServer(site, workers=1).start()
        try:
            self.assertEqual(st.request(server.port, 'POST', '/problemy2.php', form(jmeno='n', zprava='m'))[0], 503)
            self.assertEqual(st.request(server.port, 'POST', '/problemy.php', b'')[0], 503)
            self.assertEqual(os.listdir(os.path.join(site.root, 'data')), ['.gitignore'])
        finally:
            server.close()
            site.close()


@unittest.skipUnless(st.NginxFpm.available(), 'nginx or php-fpm is not installed (scripts/install-deps.sh)')
class NginxFpmTest(Stack, unittest.TestCase):
    server_class = st.NginxFpm

    def test_oversize_refused_unread(self):
        # Only the headers are sent: the refusal comes without the body.
        status, _, _ = self.req('POST', '/problemy2.php', headers={
            'Content-Type': 'application/x-www-form-urlencoded', 'Content-Length': str(10 << 20)})
        self.assertEqual(status, 413)
        self.assertEqual(self.site.count(), 0)


if __name__ == '__main__':
    if len(sys.argv) > 2 and sys.argv[1] == '--db':
        DB = sys.argv[2]
        del sys.argv[1:3]
    unittest.main(verbosity=2)
