#!/usr/bin/python3
"""A read-only FUSE view of a folder whose files answer late, like a file on a stalled
network share: looking a file up, reading its attributes and opening it each take
DELAY seconds; reading an open file is immediate. The kernel caches nothing
(attr_timeout=0, entry_timeout=0), so every stat waits again.

usage: slowfs.py SOURCE MOUNTPOINT [DELAY_SECONDS [LOG]]   (ends on fusermount -u)
LOG gets one line per late answer: the operation, the path and who asked (thread id,
its process and its name), so that a waiting GUI thread shows up by name. Needs /dev/fuse and Debian's python3-fusepy (scripts/install-deps.sh --bench)."""
import errno
import os
import sys
import time

import fusepy


class SlowFs(fusepy.Operations):
    def __init__(self, source, delay, log):
        self.source = os.path.realpath(source)
        self.delay = delay
        self.log = open(log, 'a', buffering=1) if log else None

    def _path(self, path):
        return os.path.join(self.source, path.lstrip('/'))

    def _wait(self, op, path):
        # The mount point itself answers at once: mounting and listing stay quick.
        if path == '/':
            return
        if self.log:
            tid = fusepy.fuse_get_context()[2]
            self.log.write('%.3f %s %s tid=%d tgid=%s comm=%s\n'
                           % (time.time(), op, path, tid, _proc(tid, 'status', 'Tgid:'), _proc(tid, 'comm')))
        time.sleep(self.delay)

    def getattr(self, path, fh=None):
        self._wait('getattr', path)
        try:
            st = os.lstat(self._path(path))
        except OSError as e:
            raise fusepy.FuseOSError(e.errno)
        keys = ('st_atime', 'st_ctime', 'st_gid', 'st_mode', 'st_mtime', 'st_nlink', 'st_size', 'st_uid')
        return {k: getattr(st, k) for k in keys}

    def readdir(self, path, fh):
        return ['.', '..'] + os.listdir(self._path(path))

    def open(self, path, flags):
        if flags & (os.O_WRONLY | os.O_RDWR):
            raise fusepy.FuseOSError(errno.EROFS)
        self._wait('open', path)
        return os.open(self._path(path), os.O_RDONLY)

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def release(self, path, fh):
        os.close(fh)
        return 0


def _proc(tid, name, key=None):
    try:
        with open('/proc/%d/%s' % (tid, name)) as f:
            text = f.read()
    except OSError:
        return '?'
    if key is None:
        return text.strip().replace(' ', '_')
    for line in text.split('\n'):
        if line.startswith(key):
            return line.split()[1]
    return '?'


def main():
    if len(sys.argv) not in (3, 4, 5):
        sys.exit(__doc__)
    delay = float(sys.argv[3]) if len(sys.argv) > 3 else 3.0
    log = sys.argv[4] if len(sys.argv) > 4 else None
    fusepy.FUSE(SlowFs(sys.argv[1], delay, log), sys.argv[2], foreground=True, nothreads=False, ro=True,
                attr_timeout=0, entry_timeout=0, negative_timeout=0)


if __name__ == '__main__':
    main()
