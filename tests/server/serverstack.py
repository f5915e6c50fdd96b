"""The project's web server (server/) run from a test or a benchmark, on 127.0.0.1 only.

A Site is a private copy of server/ in a temporary folder (its own data/), served by
PHP's built-in server (BuiltinServer) or by nginx in front of php-fpm (NginxFpm, built
from server/examples/nginx.conf), with SQLite in the copy's data/ or a private
PostgreSQL cluster (Postgres) started in a temporary folder.
"""

import atexit
import glob
import http.client
import os
import pwd
import re
import shutil
import signal
import socket
import subprocess
import tempfile
import time

SOURCE_DIR = os.environ.get('TARNEL_SOURCE_DIR') or os.path.abspath(
    os.path.join(os.path.dirname(__file__), '..', '..'))
PHP_FPM = shutil.which('php-fpm8.2') or shutil.which('php-fpm') or '/usr/sbin/php-fpm8.2'
NGINX = shutil.which('nginx') or '/usr/sbin/nginx'
PG_BIN = (sorted(glob.glob('/usr/lib/postgresql/*/bin/initdb')) or ['/usr/lib/postgresql/15/bin/initdb'])[-1][:-7]


# Whatever is still running when the script ends (an error, SIGTERM) is stopped then.
_running = []


def _stop_all():
    while _running:
        _running.pop().close()


def _terminated(*_):
    _stop_all()
    os._exit(128 + signal.SIGTERM)


atexit.register(_stop_all)
signal.signal(signal.SIGTERM, _terminated)


def free_port():
    with socket.socket() as s:
        s.bind(('127.0.0.1', 0))
        return s.getsockname()[1]


def wait_for_port(port, process, what, timeout=60.0):
    """Polls until something accepts on the port; fails early if the process ended."""
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if process is not None and process.poll() is not None:
            raise RuntimeError('%s ended (status %s)' % (what, process.returncode))
        try:
            socket.create_connection(('127.0.0.1', port), timeout=1.0).close()
            return
        except OSError:
            time.sleep(0.02)
    raise RuntimeError('%s never listened on %d' % (what, port))


def retry_ports(server, attempts=3):
    """Starts a server on free ports, again on others if one was taken meanwhile."""
    for attempt in range(attempts):
        try:
            return server._start_once()
        except RuntimeError:
            server.close()
            if attempt == attempts - 1:
                raise


def stop(process, timeout=20.0, group=False):
    """Ends a process; group: its whole process group (PHP's built-in server leaves its
    workers running when only the first process ends)."""
    if process is None:
        return
    def signal_it(sig):
        try:
            os.killpg(process.pid, sig) if group else process.send_signal(sig)
        except ProcessLookupError:
            pass
    if process.poll() is None or group:
        signal_it(signal.SIGTERM)
    try:
        process.wait(timeout)
    except subprocess.TimeoutExpired:
        signal_it(signal.SIGKILL)
        process.wait()


def request(port, method, path, body=None, headers=None, source=None, timeout=60.0):
    """One request on a new connection; returns (status, lower-case headers, body)."""
    conn = http.client.HTTPConnection('127.0.0.1', port, timeout=timeout,
                                      source_address=(source, 0) if source else None)
    try:
        conn.putrequest(method, path, skip_accept_encoding=True)
        hdrs = dict(headers or {})
        if body is not None:
            hdrs.setdefault('Content-Type', 'application/x-www-form-urlencoded')
            hdrs.setdefault('Content-Length', str(len(body)))
        for k, v in hdrs.items():
            conn.putheader(k, v)
        conn.endheaders()
        if body:
            try:
                conn.send(body)
            except (BrokenPipeError, ConnectionResetError):
                pass  # refused before it was all read: the answer tells
        r = conn.getresponse()
        return r.status, {k.lower(): v for k, v in r.getheaders()}, r.read()
    finally:
        conn.close()


def source_address(i):
    """A loopback source address of its own for client i (all of 127/8 is local)."""
    i += 1 << 16  # from 127.1.0.0 on, never 127.0.0.1
    return '127.%d.%d.%d' % ((i >> 16) & 255, (i >> 8) & 255, i & 255)


class Postgres:
    """A private PostgreSQL cluster on 127.0.0.1, trust authentication, database tarnel."""

    def __init__(self):
        self.port = free_port()
        self.user = None
        if os.geteuid() == 0:  # the server refuses to run as root
            self.user = 'postgres'
            # In /tmp, whatever TMPDIR says: the postgres user must reach the folder.
            self.dir = tempfile.mkdtemp(prefix='tarnel-pg-', dir='/tmp')
            os.chown(self.dir, pwd.getpwnam('postgres').pw_uid, pwd.getpwnam('postgres').pw_gid)
            os.chmod(self.dir, 0o700)
        else:
            self.dir = tempfile.mkdtemp(prefix='tarnel-pg-')

    def _run(self, *args):
        cmd = list(args)
        if self.user:
            cmd = ['runuser', '-u', self.user, '--'] + cmd
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=300)

    def start(self):
        data = os.path.join(self.dir, 'data')
        self._run(PG_BIN + '/initdb', '-D', data, '-U', 'tarnel', '--auth=trust', '-E', 'UTF8',
                  '--locale=C', '--no-sync')
        opts = "-c listen_addresses=127.0.0.1 -p %d -k %s -c max_connections=200" % (self.port, self.dir)
        # -w: pg_ctl returns once the server accepts connections.
        self._run(PG_BIN + '/pg_ctl', '-D', data, '-o', opts, '-l', os.path.join(self.dir, 'log'),
                  '-w', '-t', '120', 'start')
        _running.append(self)
        self._run(PG_BIN + '/createdb', '-h', '127.0.0.1', '-p', str(self.port), '-U', 'tarnel', 'tarnel')
        return self

    def dsn(self):
        return 'pgsql:host=127.0.0.1;port=%d;dbname=tarnel' % self.port

    def settings(self):
        return {'TARNEL_DB_DSN': self.dsn(), 'TARNEL_DB_USER': 'tarnel'}

    def close(self):
        if self in _running:
            _running.remove(self)
        try:
            self._run(PG_BIN + '/pg_ctl', '-D', os.path.join(self.dir, 'data'), '-m', 'fast', '-w', 'stop')
        except (subprocess.CalledProcessError, subprocess.TimeoutExpired):
            pass
        shutil.rmtree(self.dir, ignore_errors=True)


class Site:
    """A copy of server/ with its settings (TARNEL_* names; empty: the default SQLite)."""

    def __init__(self, settings=None):
        self.dir = tempfile.mkdtemp(prefix='tarnel-site-')
        self.root = os.path.join(self.dir, 'server')
        shutil.copytree(os.path.join(SOURCE_DIR, 'server'), self.root,
                        ignore=lambda d, names: [n for n in names if os.path.basename(d) == 'data'
                                                 and n != '.gitignore'])
        self.settings = dict(settings or {})
        self.settings.setdefault('TARNEL_TIMEZONE', 'UTC')
        _running.append(self)

    def env(self):
        env = {k: v for k, v in os.environ.items() if not k.startswith('TARNEL_DB')}
        env.update(self.settings)
        return env

    def setup(self):
        subprocess.run(['php', os.path.join(self.root, 'setup.php')], env=self.env(), check=True,
                       stdout=subprocess.DEVNULL, timeout=60)

    def php(self, code):
        """Runs PHP code with $db open on the site's database; returns what it printed."""
        prelude = "require '%s/lib/reports.php'; $db = tarnel_db(); " % self.root
        out = subprocess.run(['php', '-r', prelude + code], env=self.env(), check=True,
                             stdout=subprocess.PIPE, timeout=60)
        return out.stdout.decode('utf-8')

    def rows(self):
        """(name, message, address) of every stored report, oldest first."""
        out = self.php("foreach ($db->query('SELECT name, message, address FROM reports ORDER BY id') as $r)"
                       " echo json_encode([$r['name'], $r['message'], $r['address']]), \"\\n\";")
        import json
        return [tuple(json.loads(line)) for line in out.splitlines() if line]

    def count(self):
        return int(self.php("echo $db->query('SELECT COUNT(*) FROM reports')->fetchColumn();"))

    def clear(self):
        self.php("$db->exec('DELETE FROM reports');")

    def close(self):
        if self in _running:
            _running.remove(self)
        shutil.rmtree(self.dir, ignore_errors=True)


class BuiltinServer:
    """PHP's built-in server on the site's public/ folder, as scripts/server.sh runs it."""
    name = 'php -S'

    def __init__(self, site, workers=4):
        self.site = site
        self.workers = workers
        self.process = None
        self.port = 0
        self.log = os.path.join(site.dir, 'php-s.log')

    def start(self):
        return retry_ports(self)

    def _start_once(self):
        self.port = free_port()
        env = self.site.env()
        env['PHP_CLI_SERVER_WORKERS'] = str(self.workers)
        with open(self.log, 'ab') as log:
            self.process = subprocess.Popen(
                ['php', '-d', 'post_max_size=64K', '-S', '127.0.0.1:%d' % self.port,
                 '-t', os.path.join(self.site.root, 'public')],
                env=env, stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
        _running.append(self)
        wait_for_port(self.port, self.process, 'php -S')
        return self

    def close(self):
        if self in _running:
            _running.remove(self)
        stop(self.process, group=True)


class NginxFpm:
    """nginx with server/examples/nginx.conf in front of php-fpm, both on loopback ports.
    The database settings reach PHP as FastCGI parameters, as the example shows."""
    name = 'nginx + php-fpm'

    def __init__(self, site, workers=4):
        self.site = site
        self.workers = workers
        self.dir = tempfile.mkdtemp(prefix='web-', dir=site.dir)
        self.fpm = self.nginx = None
        self.port = 0

    @staticmethod
    def available():
        return os.access(PHP_FPM, os.X_OK) and os.access(NGINX, os.X_OK)

    def _server_block(self, fpm_port):
        with open(os.path.join(SOURCE_DIR, 'server', 'examples', 'nginx.conf')) as f:
            text = f.read()
        params = ''.join('        fastcgi_param %s "%s";\n' % (k, v) for k, v in self.site.settings.items())
        replacements = [
            (r'listen 80;', 'listen 127.0.0.1:%d;' % self.port),
            (r'/srv/tarnel/server', self.site.root),
            (r'unix:/run/php/php8\.2-fpm\.sock', '127.0.0.1:%d' % fpm_port),
            (r'( *)include fastcgi_params;\n', r'\1include fastcgi_params;\n' + params.replace('\\', '\\\\')),
        ]
        for pattern, new in replacements:
            text, n = re.subn(pattern, new, text)
            if n != 1:
                raise RuntimeError('examples/nginx.conf: %s not found once' % pattern)
        return text

    def start(self):
        return retry_ports(self)

    def _start_once(self):
        d = self.dir
        fpm_port = free_port()
        self.port = free_port()
        root = os.geteuid() == 0
        with open(os.path.join(d, 'php-fpm.conf'), 'w') as f:
            f.write('[global]\nerror_log = %s/php-fpm.log\ndaemonize = no\n\n'
                    '[tarnel]\nlisten = 127.0.0.1:%d\npm = static\npm.max_children = %d\n'
                    'catch_workers_output = yes\n' % (d, fpm_port, self.workers))
        shutil.copy('/etc/nginx/fastcgi_params', d)
        with open(os.path.join(d, 'nginx.conf'), 'w') as f:
            f.write('%sworker_processes 1;\npid %s/nginx.pid;\nerror_log %s/nginx-error.log;\n'
                    'events { worker_connections 1024; }\nhttp {\n    access_log off;\n'
                    '    include /etc/nginx/mime.types;\n    default_type application/octet-stream;\n'
                    % ('user root;\n' if root else '', d, d))
            for t in ('client_body', 'fastcgi', 'proxy', 'uwsgi', 'scgi'):
                f.write('    %s_temp_path %s/%s;\n' % (t, d, t))
            f.write(self._server_block(fpm_port) + '}\n')
        log = open(os.path.join(d, 'out.log'), 'ab')
        self.fpm = subprocess.Popen([PHP_FPM, '-F', '-y', os.path.join(d, 'php-fpm.conf')] + (['-R'] if root else []),
                                    stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        self.nginx = subprocess.Popen([NGINX, '-p', d, '-c', os.path.join(d, 'nginx.conf'), '-e',
                                       os.path.join(d, 'nginx-error.log'), '-g', 'daemon off;'],
                                      stdin=subprocess.DEVNULL, stdout=log, stderr=log)
        log.close()
        _running.append(self)
        wait_for_port(fpm_port, self.fpm, 'php-fpm')
        wait_for_port(self.port, self.nginx, 'nginx')
        return self

    def close(self):
        if self in _running:
            _running.remove(self)
        stop(self.nginx)
        stop(self.fpm)
