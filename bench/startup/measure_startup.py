"""Runs the cases of measure_startup.sh (which prepares Xvfb, the null sink and the
media) and prints the figures. Times are seconds from just before exec."""
import argparse
import os
import shutil
import signal
import statistics
import subprocess
import threading
import time
import zlib

CLK_TCK = os.sysconf('SC_CLK_TCK')


class Watcher:
    """Stamps the lines of a line-buffered watcher process as they arrive."""

    def __init__(self, argv, match):
        self.events = []
        self.lock = threading.Lock()
        self.proc = subprocess.Popen(['stdbuf', '-oL'] + argv, stdout=subprocess.PIPE,
                                     stderr=subprocess.DEVNULL, text=True, bufsize=1)
        self.match = match
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        pending = None
        for line in self.proc.stdout:
            now = time.monotonic()
            hit = self.match(line, pending)
            if hit == 'pending':
                pending = now
            elif hit:
                with self.lock:
                    self.events.append((pending if pending else now, hit))
                pending = None
            else:
                pending = None

    def since(self, t0):
        with self.lock:
            return [(t - t0, what) for t, what in self.events if t >= t0]

    def stop(self):
        self.proc.terminate()
        self.proc.wait()


def map_line(line, pending):
    # "MapNotify event, serial ..." then "    event 0x..., window 0x..., override NO"
    if line.startswith('MapNotify event'):
        return 'pending'
    if pending is not None and 'override' in line:
        if line.strip().endswith('override NO'):
            return line.split('window')[-1].split(',')[0].strip()
        return None
    return None


def sound_line(line, _pending):
    for kind in ('new', 'remove'):
        if f"'{kind}' on sink-input" in line:
            return (kind, line.strip().split('#')[-1])
    return None


def cpu_ticks(pid):
    with open(f'/proc/{pid}/stat') as f:
        fields = f.read().rsplit(')', 1)[1].split()
    return int(fields[11]) + int(fields[12])


def rss_mib(pid):
    with open(f'/proc/{pid}/status') as f:
        for line in f:
            if line.startswith('VmRSS:'):
                return int(line.split()[1]) / 1024.0
    return float('nan')


def fresh_env(work, name, registry):
    env = dict(os.environ)
    env.pop('QT_QPA_PLATFORM', None)
    base = os.path.join(work, 'env-' + name)
    shutil.rmtree(base, ignore_errors=True)
    for sub in ('home', 'config', 'cache', 'data', 'runtime'):
        os.makedirs(os.path.join(base, sub), mode=0o700)
    env.update(HOME=os.path.join(base, 'home'), XDG_CONFIG_HOME=os.path.join(base, 'config'),
               XDG_CACHE_HOME=os.path.join(base, 'cache'), XDG_DATA_HOME=os.path.join(base, 'data'),
               XDG_RUNTIME_DIR=os.path.join(base, 'runtime'), GST_REGISTRY=registry)
    return env


def user_env(work, name):
    """A user's own folders, kept between the runs that use them; GStreamer keeps its
    registry where it does for a user (no GST_REGISTRY)."""
    env = fresh_env(work, name, '')
    env.pop('GST_REGISTRY')
    return env


def run(argv, env, maps, sounds, seconds, cwd=None):
    """Starts argv, samples its CPU every 100 ms for `seconds`, then ends it."""
    t0 = time.monotonic()
    proc = subprocess.Popen(argv, env=env, cwd=cwd, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL, start_new_session=True)
    samples = []
    rss = float('nan')
    while True:
        now = time.monotonic() - t0
        if proc.poll() is not None:
            break
        try:
            samples.append((now, cpu_ticks(proc.pid)))
            if rss != rss and now >= 3.0:
                rss = rss_mib(proc.pid)
        except (FileNotFoundError, ProcessLookupError):
            break
        if now >= seconds:
            break
        time.sleep(0.1 - (now % 0.1))
    ended_early = proc.poll() is not None
    if not ended_early:
        proc.send_signal(signal.SIGTERM)
    try:
        proc.wait(timeout=15)
    except subprocess.TimeoutExpired:
        proc.kill()
        proc.wait()
    time.sleep(0.3)  # late watcher lines
    return dict(maps=maps.since(t0), sounds=sounds.since(t0), samples=samples, rss=rss,
                ended_early=ended_early)


def burst_end(samples):
    """End of the start-up burst: where 3 intervals in a row use under 20 % of a core."""
    quiet = 0
    for i in range(1, len(samples)):
        (ta, ca), (tb, cb) = samples[i - 1], samples[i]
        use = (cb - ca) / CLK_TCK / max(tb - ta, 1e-3)
        quiet = quiet + 1 if use < 0.2 else 0
        if quiet == 3:
            return samples[i - 3][0]
    return float('nan')


def cpu_between(samples, a, b):
    def at(t):
        best = min(samples, key=lambda s: abs(s[0] - t))
        return best
    (ta, ca), (tb, cb) = at(a), at(b)
    if tb - ta < 1:
        return float('nan')
    return 100.0 * (cb - ca) / CLK_TCK / (tb - ta)


def write_playlist(path, entries):
    text = ''.join(e + '\r\n' for e in entries).encode('utf-8')
    with open(path, 'wb') as f:
        f.write(zlib.compress(text, 9))


def tagged_mp3(path):
    trailer = bytearray(128)
    trailer[0:3] = b'TAG'
    title = b'Tagged song'
    trailer[3:3 + len(title)] = title
    with open(path, 'wb') as f:
        f.write(b'\xff' * 256 + bytes(trailer))


def program_dir(args, name, entries):
    prog = os.path.join(args.work, 'prog-' + name)
    shutil.rmtree(prog, ignore_errors=True)
    os.makedirs(prog)
    shutil.copy2(args.player, prog)
    for d in ('jazyky', 'zkratky', 'koncovky', 'ax', 'images'):
        src = os.path.join(args.dist, d)
        if os.path.isdir(src):
            shutil.copytree(src, os.path.join(prog, d))
    # No update check over the network.
    with open(os.path.join(prog, 'nastaveni.ini'), 'wb') as f:
        f.write(b'[NASTAVENI2]\r\nAktualizace=0\r\n')
    write_playlist(os.path.join(prog, 'playlist.st3'), entries)
    return os.path.join(prog, os.path.basename(args.player))


def median(values):
    values = [v for v in values if v == v]
    return statistics.median(values) if values else float('nan')


def first(events):
    return events[0][0] if events else float('nan')


def first_sound(events):
    """When the stream that plays was created. pulsesink first opens a short-lived stream
    to probe the formats; a stream removed within 0.5 s is not the one that plays."""
    for t, (kind, sid) in events:
        if kind == 'new' and not any(k == 'remove' and i == sid and u - t < 0.5 for u, (k, i) in events):
            return t
    return float('nan')


def nth(events, n):
    return events[n - 1][0] if len(events) >= n else float('nan')


def fmt(v, unit='s'):
    return 'n/a' if v != v else (f'{v:.3f} s' if unit == 's' else f'{v:.1f} {unit}')


def ratio(a, b):
    return 'n/a' if a != a or b != b or b == 0 else f'{a / b:.2f}'


def main():
    p = argparse.ArgumentParser()
    p.add_argument('--player', required=True)
    p.add_argument('--dist', required=True)
    p.add_argument('--work', required=True)
    p.add_argument('--repeat', type=int, default=3)
    p.add_argument('--entries', type=int, default=100000)
    p.add_argument('--cases', default='first,second,lists',
                   help='comma-separated: first (very first and warm), second (a user\'s second start), '
                        'lists (10 and long entries)')
    args = p.parse_args()
    todo = set(args.cases.split(','))
    work = args.work
    tone = os.path.join(work, 'tone.mp3')

    # Every entry after the first is a tagged MP3: hard links, a new file every 10,000
    # (file systems limit the links of one file).
    songs = os.path.join(work, 'songs')
    os.makedirs(songs)
    extra = []
    for i in range(1, args.entries if 'lists' in todo else 10):
        path = os.path.join(songs, f'song{i}.mp3')
        source = os.path.join(songs, f'song{i - i % 10000}.mp3')
        if i % 10000 == 0:
            tagged_mp3(path)
        else:
            if not os.path.exists(source):
                tagged_mp3(source)
            os.link(source, path)
        extra.append(path)
    short_list = [tone] + extra[:9]
    long_list = [tone] + extra

    maps = Watcher(['xev', '-root', '-event', 'substructure'], map_line)
    sounds = Watcher(['pactl', 'subscribe'], sound_line)
    time.sleep(0.5)

    warm_registry = os.path.join(work, 'registry-warm.bin')
    subprocess.run(['gst-inspect-1.0'], env=fresh_env(work, 'inspect', warm_registry),
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)

    res = {k: [] for k in ('first_win_cold', 'first_sound_cold', 'first_win_warm', 'first_sound_warm',
                           'gst_sound_cold', 'gst_sound_warm', 'user_win_1', 'user_sound_1', 'user_win_2',
                           'user_sound_2', 'user_gst_sound')}
    cases = {n: {k: [] for k in ('all', 'sound', 'burst', 'cpu', 'rss', 'count')} for n in ('short', 'long')}
    gst = ['gst-play-1.0', '--no-interactive', '-q']
    for r in range(args.repeat):
        if 'second' in todo:
            # A user's second start: one HOME and program folder for both starts, as a user
            # has them; the first start leaves its files (associations, the icon in the
            # user's hicolor theme, the MIME database, GStreamer's registry, settings).
            # gst-play-1.0 then starts in the same HOME.
            env = user_env(work, 'user')
            exe = program_dir(args, 'user', short_list)
            out = run([exe], env, maps, sounds, 4)
            res['user_win_1'].append(first(out['maps']))
            res['user_sound_1'].append(first_sound(out['sounds']))
            out = run([exe], env, maps, sounds, 4)
            res['user_win_2'].append(first(out['maps']))
            res['user_sound_2'].append(first_sound(out['sounds']))
            out = run(gst + [tone], env, maps, sounds, 3)
            res['user_gst_sound'].append(first_sound(out['sounds']))
        if 'first' in todo:
            cold = os.path.join(work, f'registry-cold-{r}.bin')
            exe = program_dir(args, 'a', short_list)
            out = run([exe], fresh_env(work, 'cold', cold), maps, sounds, 4)
            res['first_win_cold'].append(first(out['maps']))
            res['first_sound_cold'].append(first_sound(out['sounds']))
            exe = program_dir(args, 'a', short_list)
            out = run([exe], fresh_env(work, 'warm', warm_registry), maps, sounds, 4)
            res['first_win_warm'].append(first(out['maps']))
            res['first_sound_warm'].append(first_sound(out['sounds']))

            out = run(gst + [tone], fresh_env(work, 'gcold', os.path.join(work, f'registry-gcold-{r}.bin')),
                      maps, sounds, 4)
            res['gst_sound_cold'].append(first_sound(out['sounds']))
        if 'first' in todo or 'lists' in todo:
            out = run(gst + [tone], fresh_env(work, 'gsound', warm_registry), maps, sounds, 3)
            res['gst_sound_warm'].append(first_sound(out['sounds']))

        for name, entries in (('short', short_list), ('long', long_list)) if 'lists' in todo else ():
            exe = program_dir(args, name, entries)
            out = run([exe], fresh_env(work, name, warm_registry), maps, sounds, 15.2)
            c = cases[name]
            c['count'].append(len(out['maps']))
            c['all'].append(out['maps'])
            c['sound'].append(first_sound(out['sounds']))
            c['burst'].append(burst_end(out['samples']))
            c['cpu'].append(cpu_between(out['samples'], 2.0, 15.0))
            c['rss'].append(out['rss'])
            if out['ended_early']:
                print(f'warning: the player ended early in the {name} case')
        print(f'run {r + 1} of {args.repeat} done', flush=True)

    maps.stop()
    sounds.stop()

    m = {k: median(v) for k, v in res.items()}
    gst_sound = m['gst_sound_warm']
    print()
    # gst-play-1.0 shows no window of its own here (no X video sink installed): its first
    # sound is the peer's first sign of life.
    if 'first' in todo:
        print('(a) exec -> first window mapped (peer: gst-play-1.0 first sound)')
        print(f"    very first start: tarnel {fmt(m['first_win_cold'])}   gst-play-1.0 {fmt(m['gst_sound_cold'])}"
              f"   ratio {ratio(m['first_win_cold'], m['gst_sound_cold'])}")
        print(f"    warm:             tarnel {fmt(m['first_win_warm'])}   gst-play-1.0 {fmt(gst_sound)}"
              f"   ratio {ratio(m['first_win_warm'], gst_sound)}")
        print('(b) exec -> first sound (the playing stream appears on the null sink)')
        print(f"    warm:             tarnel {fmt(m['first_sound_warm'])}   gst-play-1.0 {fmt(gst_sound)}"
              f"   ratio {ratio(m['first_sound_warm'], gst_sound)}")
        print(f"    very first start: tarnel {fmt(m['first_sound_cold'])}   gst-play-1.0 {fmt(m['gst_sound_cold'])}"
              f"   ratio {ratio(m['first_sound_cold'], m['gst_sound_cold'])}")
    if 'lists' in todo:
        # Every window: as many as the 10-entry case maps.
        windows = max(cases['short']['count'] + [1])
        summary = {}
        for name in ('short', 'long'):
            c = cases[name]
            summary[name] = dict(all=median([nth(e, windows) for e in c['all']]), sound=median(c['sound']),
                                 burst=median(c['burst']), cpu=median(c['cpu']), rss=median(c['rss']))
        print(f'(c) playlists ({windows} windows at start)')
        for name, label in (('short', '10 entries'), ('long', f'{args.entries} entries')):
            s = summary[name]
            print(f"    {label:>15}: all windows {fmt(s['all'])}  first sound {fmt(s['sound'])} "
                  f"(ratio to gst-play-1.0 {ratio(s['sound'], gst_sound)})  CPU burst {fmt(s['burst'])}  "
                  f"CPU 2-15 s {fmt(s['cpu'], '%')}  RSS at 3 s {fmt(s['rss'], 'MiB')}")
        s, l = summary['short'], summary['long']
        print(f"    long list costs: windows +{fmt(l['all'] - s['all'])}, first sound +{fmt(l['sound'] - s['sound'])}")
    if 'second' in todo:
        # The same HOME as the start before; gst-play-1.0 right after, in that HOME.
        peer = m['user_gst_sound']
        print("(d) a user's second start (HOME kept from a first start; peer: gst-play-1.0 in that HOME)")
        print(f"    first window:  tarnel {fmt(m['user_win_2'])}   gst-play-1.0 first sound {fmt(peer)}"
              f"   ratio {ratio(m['user_win_2'], peer)}   (this user's first start: {fmt(m['user_win_1'])})")
        print(f"    first sound:   tarnel {fmt(m['user_sound_2'])}   gst-play-1.0 {fmt(peer)}"
              f"   ratio {ratio(m['user_sound_2'], peer)}   (this user's first start: {fmt(m['user_sound_1'])})")
        print('    each run (window / sound / gst-play-1.0 sound): ' + ', '.join(
            f'{w:.3f} / {so:.3f} / {g:.3f}' for w, so, g in
            zip(res['user_win_2'], res['user_sound_2'], res['user_gst_sound'])))


if __name__ == '__main__':
    main()
