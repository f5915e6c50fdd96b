#!/usr/bin/python3
"""How long the player's GUI thread goes without answering, measured from outside.

A probe thread asks the player for an MPRIS property (Properties.Get of
org.mpris.MediaPlayer2.Player Metadata on a private session bus; the player answers
on its GUI thread) every 20 ms and times each round trip. The longest round trip is
the longest time the GUI thread did not answer (give or take the 20 ms tick). Cases:

  video-end   three 2 s MP4s (a tone in their audio) switch at their ends, 20 times
  video-next  the same list, MPRIS Next 20 times, each once the previous switch is seen
  slow-open   a file on a FUSE file system that answers after 3 s (slowfs.py): handed
              to the player by a second instance, then played (MPRIS Next), then
              reached at the end of a 3 s entry
  next-burst  MPRIS Next 20 times a second for 10 s (sent without waiting for the
              answers) on a list of six audio formats (5 s tones), after one pass
              through the list; open descriptors (/proc/PID/fd) and RSS before, and
              10 s after the player has taken the last call of the burst

Every case starts a fresh player in a temporary program directory with its own
runtime folder, home, private PulseAudio null sink and session bus. A round trip that
gets no answer within 20 s ends the case ("frozen"); the player is then killed.
Goals: never above 100 ms; descriptors and RSS after the burst within 5 % of before.

usage: bench/responsiveness/measure_responsiveness.py [CASE...]
Environment: BUILD (build folder, default build), KEEP=1 keeps the work folder.
Needs ffmpeg, pulseaudio, dbus-daemon, python3-dbus, and for slow-open /dev/fuse and
python3-fusepy (scripts/install-deps.sh --bench). Debian's /usr/bin/python3."""
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

import dbus

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
NAME = 'org.mpris.MediaPlayer2.tarnel'
PATH = '/org/mpris/MediaPlayer2'
PLAYER = 'org.mpris.MediaPlayer2.Player'
PROPS = 'org.freedesktop.DBus.Properties'
TICK = 0.020
FROZEN = 20.0


def ffmpeg(*args):
    subprocess.run(['ffmpeg', '-hide_banner', '-loglevel', 'error', '-y'] + list(args), check=True)


def tone(path, freq, seconds, codec):
    ffmpeg('-f', 'lavfi', '-i', 'sine=frequency=%d:duration=%g:sample_rate=44100' % (freq, seconds),
           '-ac', '2', '-af', 'volume=4', *codec, path)


def clip(path, freq, seconds):
    ffmpeg('-f', 'lavfi', '-i', 'testsrc=size=320x240:rate=25:duration=%g' % seconds,
           '-f', 'lavfi', '-i', 'sine=frequency=%d:duration=%g:sample_rate=44100' % (freq, seconds),
           '-ac', '2', '-c:v', 'mpeg4', '-q:v', '5', '-c:a', 'aac', '-b:a', '128k', '-shortest', path)


class Session:
    """The private PulseAudio, session bus and media of one run."""

    def __init__(self):
        self.work = tempfile.mkdtemp(prefix='tarnel-responsiveness.')
        os.chmod(self.work, 0o700)
        pulse = os.path.join(self.work, 'pulse')
        self.pulse_server = subprocess.run([os.path.join(ROOT, 'scripts/pulse-null-sink.sh'), 'start', pulse],
                                           check=True, capture_output=True, text=True).stdout.strip()
        out = subprocess.run(['dbus-daemon', '--session', '--fork', '--print-address=1', '--print-pid=1'],
                             check=True, capture_output=True, text=True).stdout.split('\n')
        self.bus_address, self.bus_pid = out[0].strip(), int(out[1])
        self.media = os.path.join(self.work, 'media')
        os.makedirs(self.media)

    def close(self):
        try:
            os.kill(self.bus_pid, signal.SIGTERM)
        except OSError:
            pass
        subprocess.run([os.path.join(ROOT, 'scripts/pulse-null-sink.sh'), 'stop', os.path.join(self.work, 'pulse')],
                       capture_output=True)
        if os.environ.get('KEEP'):
            print('kept %s' % self.work, file=sys.stderr)
        else:
            shutil.rmtree(self.work, ignore_errors=True)


class Player:
    """The built player in a program directory of its own."""

    count = 0

    def __init__(self, session, build):
        Player.count += 1
        self.session = session
        self.dir = os.path.join(session.work, 'prog%d' % Player.count)
        dist = os.path.join(build, 'dist')
        os.makedirs(self.dir)
        shutil.copy2(os.path.join(dist, 'tarnel'), self.dir)
        for sub in ('jazyky', 'zkratky', 'koncovky'):
            shutil.copytree(os.path.join(dist, sub), os.path.join(self.dir, sub))
        with open(os.path.join(self.dir, 'nastaveni.ini'), 'wb') as f:
            f.write(b'[NASTAVENI2]\r\nAktualizace=0\r\n')
        runtime = os.path.join(self.dir, 'runtime')
        os.makedirs(os.path.join(runtime, 'home'))
        os.chmod(runtime, 0o700)
        self.env = dict(os.environ, XDG_RUNTIME_DIR=runtime, HOME=os.path.join(runtime, 'home'),
                        QT_QPA_PLATFORM='offscreen', PULSE_SERVER=session.pulse_server,
                        DBUS_SESSION_BUS_ADDRESS=session.bus_address,
                        DBUS_SYSTEM_BUS_ADDRESS='unix:path=/nonexistent/no-system-bus')
        self.process = None

    def start(self, files):
        log = open(os.path.join(self.dir, 'stderr.txt'), 'wb')
        self.process = subprocess.Popen([os.path.join(self.dir, 'tarnel')] + files, env=self.env,
                                        stdout=log, stderr=log)
        bus = dbus.bus.BusConnection(self.session.bus_address)
        deadline = time.monotonic() + 60
        while not bus.name_has_owner(NAME):
            if time.monotonic() > deadline or self.process.poll() is not None:
                raise RuntimeError('the player did not come up on the bus (see %s)' % log.name)
            time.sleep(0.05)
        bus.close()

    def hand_off(self, path, timeout=60):
        """A second instance with a file: seconds until it ended, or None."""
        t0 = time.monotonic()
        try:
            subprocess.run([os.path.join(self.dir, 'tarnel'), path], env=self.env, timeout=timeout,
                           capture_output=True)
        except subprocess.TimeoutExpired:
            return None
        return time.monotonic() - t0

    def fds(self):
        return len(os.listdir('/proc/%d/fd' % self.process.pid))

    def rss_kib(self):
        with open('/proc/%d/status' % self.process.pid) as f:
            for line in f:
                if line.startswith('VmRSS:'):
                    return int(line.split()[1])
        return -1

    def stop(self):
        if self.process is None or self.process.poll() is not None:
            return
        self.process.send_signal(signal.SIGTERM)
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()


class Probe(threading.Thread):
    """Asks for Metadata and PlaybackStatus every TICK; keeps each call's round trip and
    the entries named."""

    def __init__(self, address):
        super().__init__(daemon=True)
        self.bus = dbus.bus.BusConnection(address)
        self.props = dbus.Interface(self.bus.get_object(NAME, PATH, introspect=False), PROPS)
        self.rtts = []       # (sent at, round trip)
        self.urls = []       # the entry named by each answer, changes only
        self.seen = []       # (when, file name) of each change
        self.status = ''
        self.pending_since = None
        self.frozen = False
        self.stopping = False

    def run(self):
        next_at = time.monotonic()
        while not self.stopping:
            t0 = time.monotonic()
            self.pending_since = t0
            try:
                meta = self.props.Get(PLAYER, 'Metadata', timeout=FROZEN)
                t1 = time.monotonic()
                self.rtts.append((t0, t1 - t0))
                self.pending_since = t1
                self.status = str(self.props.Get(PLAYER, 'PlaybackStatus', timeout=FROZEN))
                self.rtts.append((t1, time.monotonic() - t1))
            except dbus.DBusException:
                self.rtts.append((self.pending_since, time.monotonic() - self.pending_since))
                self.frozen = True
                self.pending_since = None
                return
            self.pending_since = None
            url = str(meta.get('xesam:url', ''))
            if not self.urls or self.urls[-1] != url:
                self.urls.append(url)
                self.seen.append((time.monotonic(), os.path.basename(url)))
            next_at = max(next_at + TICK, time.monotonic())
            time.sleep(max(0.0, next_at - time.monotonic()))

    def stalled_for(self):
        since = self.pending_since
        return 0.0 if since is None else time.monotonic() - since

    def wait(self, condition, timeout):
        """Until condition() holds; False on timeout or when the player froze."""
        deadline = time.monotonic() + timeout
        while not condition():
            if self.frozen or not self.is_alive() or time.monotonic() > deadline:
                return False
            time.sleep(0.01)
        return True

    def finish(self):
        self.stopping = True
        self.join(FROZEN + 5)
        self.bus.close()


class Case:
    def __init__(self, name):
        self.name = name
        self.notes = []
        self.extra = {}
        self.probe = None
        self.phases = []

    def phase(self, label):
        """What happens from now on: the longest round trip of each phase is noted."""
        self.phases.append((time.monotonic(), label))

    def phase_notes(self):
        notes = []
        for i, (start, label) in enumerate(self.phases):
            end = self.phases[i + 1][0] if i + 1 < len(self.phases) else float('inf')
            inside = [r for t, r in self.probe.rtts if start <= t < end]
            if inside:
                notes.append('%s: longest %.0f ms' % (label, 1000 * max(inside)))
        return notes

    def row(self):
        rtts = sorted(r for _, r in self.probe.rtts) if self.probe else []
        self.notes += self.phase_notes() if self.probe else []
        worst = max(rtts) if rtts else float('nan')
        if self.probe and self.probe.frozen:
            self.notes.insert(0, 'FROZEN: no answer within %d s' % FROZEN)
        p99 = rtts[int(0.99 * (len(rtts) - 1))] if rtts else float('nan')
        slow = sum(1 for r in rtts if r > 0.1)
        verdict = 'ok' if rtts and worst <= 0.1 and not (self.probe and self.probe.frozen) else 'OVER'
        return [self.name, str(len(rtts)), '%.0f' % (worst * 1000), '%.0f' % (p99 * 1000), str(slow), verdict,
                '; '.join(self.notes)]


def call(session, method, *args, timeout=FROZEN):
    bus = dbus.bus.BusConnection(session.bus_address)
    try:
        obj = bus.get_object(NAME, PATH, introspect=False)
        getattr(dbus.Interface(obj, PLAYER), method)(*args, timeout=timeout)
        return True
    except dbus.DBusException:
        return False
    finally:
        bus.close()


def run_case(session, build, name, files, body):
    case = Case(name)
    player = Player(session, build)
    try:
        player.start(files)
        case.probe = Probe(session.bus_address)
        case.probe.start()
        body(case, player)
    except RuntimeError as e:
        case.notes.append(str(e))
    finally:
        if case.probe:
            case.probe.stopping = True
            if case.probe.frozen or case.probe.stalled_for() > 1:
                player.process.kill()
            case.probe.finish()
        player.stop()
    return case


def switches(probe):
    return max(0, len(probe.urls) - 1)


def video_end(case, player):
    ok = case.probe.wait(lambda: switches(case.probe) >= 20, 120)
    case.notes.append('%d of 20 switches seen' % switches(case.probe) + ('' if ok else ' (gave up)'))


def video_next(case, player):
    case.probe.wait(lambda: case.probe.status == 'Playing', 30)
    done = 0
    for _ in range(20):
        before = switches(case.probe)
        if not call(player.session, 'Next') or not case.probe.wait(lambda: switches(case.probe) > before, 20):
            break
        done += 1
    case.notes.append('%d of 20 Next calls switched' % done)


def slow_open(slow_dir, slow_name, log):
    def body(case, player):
        body_steps(case, player)
        # Who waited for the file system: the GUI thread is the one whose id is the process's.
        waits = {}
        with open(log) as f:
            for line in f:
                fields = dict(kv.split('=', 1) for kv in line.split()[3:])
                if fields.get('tgid') == str(player.process.pid):
                    who = 'GUI thread' if fields['tid'] == fields['tgid'] else 'thread "%s"' % fields['comm']
                    waits[who] = waits.get(who, 0) + 1
        case.notes.append('late answers waited for: ' + (', '.join('%s %d' % kv for kv in sorted(waits.items()))
                                                        or 'none'))

    def body_steps(case, player):
        case.probe.wait(lambda: case.probe.status == 'Playing', 30)
        case.phase('hand-off')
        took = player.hand_off(os.path.join(slow_dir, slow_name))
        case.notes.append('hand-off answered after %s' % ('%.1f s' % took if took is not None else 'never (60 s)'))
        if case.probe.frozen:
            return
        case.phase('Next into it')
        t0 = time.monotonic()
        call(player.session, 'Next')
        playing = case.probe.wait(lambda: case.probe.urls[-1].endswith(slow_name)
                                  and case.probe.status == 'Playing', 60)
        case.notes.append('Next into it: playing after %s' % ('%.1f s' % (time.monotonic() - t0) if playing
                                                              else 'never (60 s)'))
        if case.probe.frozen:
            return
        # At the end of the short first entry the slow one comes next on its own.
        case.phase('Previous')
        call(player.session, 'Previous')
        case.probe.wait(lambda: not case.probe.urls[-1].endswith(slow_name), 20)
        case.phase('reached at the end of the entry before')
        t0 = time.monotonic()
        # GStreamer's file source starts three times while playbin sets up (about 15 s
        # each on this file system): give it two minutes.
        reached = case.probe.wait(lambda: case.probe.urls[-1].endswith(slow_name)
                                  and case.probe.status == 'Playing', 120)
        names = ' '.join(n for t, n in case.probe.seen if t >= t0)
        case.notes.append('at the end of the entry before it: playing after %s'
                          % ('%.1f s' % (time.monotonic() - t0) if reached
                             else 'never (120 s; entries named meanwhile: %s; status %s, entry %s)'
                             % (names or 'none', case.probe.status, os.path.basename(case.probe.urls[-1]))))
    return body


def next_burst(case, player):
    case.probe.wait(lambda: case.probe.status == 'Playing', 30)
    # Once through the list first, one entry at a time: every decoder has been loaded
    # before the starting figures are taken.
    case.phase('once through the list')
    for _ in range(6):
        before = switches(case.probe)
        if not call(player.session, 'Next') or not case.probe.wait(lambda: switches(case.probe) > before, 20):
            case.notes.append('a Next of the first pass did not switch')
            return
        case.probe.wait(lambda: case.probe.status == 'Playing', 20)
    time.sleep(2)
    fds0, rss0 = player.fds(), player.rss_kib()
    # Sent at their own pace, as a key held down would: no call waits for the one before.
    case.phase('burst')
    bus = dbus.bus.BusConnection(player.session.bus_address)
    methods = dbus.Interface(bus.get_object(NAME, PATH, introspect=False), PLAYER)
    calls = 0
    t0 = time.monotonic()
    while time.monotonic() - t0 < 10 and not case.probe.frozen:
        methods.Next(ignore_reply=True)
        calls += 1
        time.sleep(max(0.0, t0 + calls * 0.05 - time.monotonic()))
    burst_end = time.monotonic()
    # A call sent after them is answered once the GUI thread has taken them all.
    answered = call(player.session, 'Play', timeout=120)
    bus.close()
    drained = time.monotonic() - burst_end
    case.notes.append('%d Next calls sent in %.1f s, all taken %s' % (
        calls, burst_end - t0, '%.1f s after the last' % drained if answered else 'NOT within 120 s'))
    if case.probe.frozen or not answered:
        return
    case.phase('after')
    time.sleep(10)
    fds1, rss1 = player.fds(), player.rss_kib()
    case.extra = {'fds': (fds0, fds1), 'rss': (rss0, rss1)}


def print_table(rows):
    head = ['case', 'probes', 'longest ms', 'p99 ms', '>100 ms', 'goal', 'notes']
    widths = [max(len(r[i]) for r in rows + [head]) for i in range(len(head) - 1)]
    fmt = '  '.join('%%-%ds' % w for w in widths) + '  %s'
    print(fmt % tuple(head))
    for r in rows:
        print(fmt % tuple(r))


def main():
    build = os.environ.get('BUILD', 'build')
    if not os.path.isabs(build):
        build = os.path.join(ROOT, build)
    if not os.access(os.path.join(build, 'dist/tarnel'), os.X_OK):
        sys.exit('no player at %s/dist/tarnel (build it first)' % build)
    wanted = sys.argv[1:] or ['video-end', 'video-next', 'slow-open', 'next-burst']
    session = Session()
    fuse = None
    cases = []
    try:
        m = session.media
        clips = []
        for i, freq in enumerate((500, 1000, 2000)):
            clips.append(os.path.join(m, 'clip%d.mp4' % (i + 1)))
            clip(clips[-1], freq, 2)
        formats = [('mp3', ['-c:a', 'libmp3lame', '-b:a', '192k']), ('flac', ['-c:a', 'flac']),
                   ('ogg', ['-c:a', 'libvorbis']), ('m4a', ['-c:a', 'aac', '-b:a', '160k']),
                   ('wav', ['-c:a', 'pcm_s16le']), ('au', ['-c:a', 'pcm_s16be', '-f', 'au'])]
        tones = []
        for i, (ext, codec) in enumerate(formats):
            tones.append(os.path.join(m, 'tone%d.%s' % (i + 1, ext)))
            tone(tones[-1], 400 + 300 * i, 5, codec)
        short = os.path.join(m, 'short.wav')
        tone(short, 440, 3, ['-c:a', 'pcm_s16le'])
        for name in wanted:
            if name == 'video-end':
                cases.append(run_case(session, build, name, clips, video_end))
            elif name == 'video-next':
                cases.append(run_case(session, build, name, clips, video_next))
            elif name == 'slow-open':
                if not os.path.exists('/dev/fuse'):
                    print('slow-open: no /dev/fuse, skipped', file=sys.stderr)
                    continue
                src, mnt = os.path.join(session.work, 'slowsrc'), os.path.join(session.work, 'slow')
                os.makedirs(src)
                os.makedirs(mnt)
                tone(os.path.join(src, 'slow.mp3'), 660, 5, ['-c:a', 'libmp3lame'])
                log = os.path.join(session.work, 'slowfs.log')
                fuse = subprocess.Popen([sys.executable, os.path.join(ROOT, 'bench/responsiveness/slowfs.py'),
                                         src, mnt, '3', log])
                while not os.path.ismount(mnt):
                    if fuse.poll() is not None:
                        sys.exit('slowfs.py could not mount (see above)')
                    time.sleep(0.05)
                cases.append(run_case(session, build, name, [short], slow_open(mnt, 'slow.mp3', log)))
            elif name == 'next-burst':
                cases.append(run_case(session, build, name, tones, next_burst))
            else:
                sys.exit('unknown case %s' % name)
    finally:
        if fuse:
            subprocess.run(['fusermount', '-u', '-z', os.path.join(session.work, 'slow')], capture_output=True)
            fuse.terminate()
            fuse.wait()
        session.close()
    print_table([c.row() for c in cases])
    for c in cases:
        if c.extra:
            (f0, f1), (r0, r1) = c.extra['fds'], c.extra['rss']
            print('%s: descriptors %d -> %d (%+.1f %%), RSS %d -> %d KiB (%+.1f %%) 10 s after the burst'
                  % (c.name, f0, f1, 100.0 * (f1 - f0) / f0, r0, r1, 100.0 * (r1 - r0) / r0))


if __name__ == '__main__':
    main()
