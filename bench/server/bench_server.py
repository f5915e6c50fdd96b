#!/usr/bin/env python3
"""Report server throughput: reports stored per second and latency (p50, p99) with 20
and 100 clients posting at once, SQLite against PostgreSQL, side by side in one run.

Each case runs a fresh copy of server/ behind nginx + php-fpm (server/examples/nginx.conf)
and, with --builtin, PHP's built-in server too. PostgreSQL is a private cluster in a
temporary folder on 127.0.0.1. Every post comes from a loopback address of its own, so
the per-sender rate limit is checked and passes, as for many users.

    bench/server/bench_server.py [--seconds 10] [--workers 8] [--builtin]
"""

import argparse
import asyncio
import os
import statistics
import sys
import time
import urllib.parse

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'tests', 'server'))
import serverstack as st  # noqa: E402


async def post(port, source, body):
    """One report as the player sends it (HTTP/1.0, one connection); returns the status."""
    reader, writer = await asyncio.open_connection('127.0.0.1', port, local_addr=(source, 0))
    try:
        writer.write(b'POST /problemy2.php HTTP/1.0\r\nHost: 127.0.0.1\r\n'
                     b'Content-Type: application/x-www-form-urlencoded\r\n'
                     b'Content-Length: %d\r\n\r\n%s' % (len(body), body))
        await writer.drain()
        answer = await reader.read()
    finally:
        writer.close()
    line = answer.split(b'\r\n', 1)[0].split()
    status = int(line[1]) if len(line) > 1 else 0
    return status if status != 200 or answer.endswith(b'\r\n\r\nOK\n') else -1


async def load(port, clients, seconds, first):
    latencies, errors = [], []
    end = time.monotonic() + seconds
    counter = [first]

    async def client(c):
        while time.monotonic() < end:
            n = counter[0]
            counter[0] += 1
            body = urllib.parse.urlencode({'jmeno': 'bench', 'zprava': 'Report %d from client %d' % (n, c)}).encode()
            t = time.monotonic()
            try:
                status = await asyncio.wait_for(post(port, st.source_address(n), body), 60)
            except (OSError, asyncio.TimeoutError) as e:
                status = repr(e)
            if status == 200:
                latencies.append(time.monotonic() - t)
            else:
                errors.append(status)
    start = time.monotonic()
    await asyncio.gather(*(client(c) for c in range(clients)))
    return latencies, errors, time.monotonic() - start, counter[0]


def percentile(values, p):
    if not values:
        return float('nan')
    values = sorted(values)
    return values[min(len(values) - 1, int(p / 100.0 * len(values)))]


def main():
    ap = argparse.ArgumentParser(description=__doc__.split('\n')[0])
    ap.add_argument('--seconds', type=float, default=10)
    ap.add_argument('--workers', type=int, default=8, help='PHP worker processes')
    ap.add_argument('--clients', default='20,100')
    ap.add_argument('--builtin', action='store_true', help="also PHP's built-in server")
    args = ap.parse_args()
    concurrency = [int(c) for c in args.clients.split(',')]
    servers = [st.NginxFpm] + ([st.BuiltinServer] if args.builtin else [])

    print('%d cores, %s, %d PHP workers, %.0f s per case' % (os.cpu_count(), time.strftime('%Y-%m-%d %H:%M'),
                                                             args.workers, args.seconds))
    results = {}
    postgres = st.Postgres().start()
    try:
        for server_class in servers:
            for db in ('sqlite', 'pgsql'):
                site = st.Site(postgres.settings() if db == 'pgsql' else {})
                site.setup()
                site.clear()  # the cluster outlives a case
                server = server_class(site, workers=args.workers).start()
                try:
                    first = 0
                    for clients in concurrency:
                        lat, errors, elapsed, first = asyncio.run(load(server.port, clients, args.seconds, first))
                        stored = site.count()
                        results[(server_class.name, db, clients)] = (len(lat) / elapsed, lat, errors)
                        print('%-16s %-6s %3d clients: %7.1f reports/s  p50 %6.1f ms  p99 %6.1f ms  '
                              '%d errors%s  (%d stored in all)' % (
                                  server_class.name, db, clients, len(lat) / elapsed, percentile(lat, 50) * 1000,
                                  percentile(lat, 99) * 1000, len(errors),
                                  (' ' + str(sorted(set(map(str, errors)))[:5])) if errors else '', stored),
                              flush=True)
                finally:
                    server.close()
                    site.close()
    finally:
        postgres.close()

    print()
    for server_class in servers:
        for clients in concurrency:
            s = results[(server_class.name, 'sqlite', clients)][0]
            p = results[(server_class.name, 'pgsql', clients)][0]
            print('%-16s %3d clients: PostgreSQL / SQLite = %.2f' % (server_class.name, clients, p / s))
    failed = sum(len(r[2]) for r in results.values())
    print('errors in all: %d' % failed)
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
