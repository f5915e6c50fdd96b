#!/usr/bin/python3
"""Reads a monitor recording (raw s16le, stereo, 44.1 kHz) of a playlist of tones, one
frequency per entry, and prints how much of each entry was heard, every gap, and
whether the first entry came again after the last (the list wrapped).

usage: analyse.py RECORDING ENTRY_SECONDS FREQ1 FREQ2 ... [--summary FILE --label TEXT]
       analyse.py --table FILE
With --summary, one JSON line per recording is appended to FILE; --table prints the
lines of FILE side by side (per list and server: the player and its peer).
Needs numpy (Debian's python3-numpy; scripts/install-deps.sh --bench)."""
import json
import sys

import numpy as np

RATE = 44100
STEP = 220      # 5 ms: where a tone starts and ends
WINDOW = 882    # 20 ms around each step: which tone it is


def runs_of(left, freqs):
    """[tone index, first sample, end sample, samples of sound] of each stretch of one
    tone; silence inside a stretch is not counted as sound."""
    steps = (len(left) - WINDOW) // STEP
    if steps <= 0:
        return []
    loud = np.sqrt(np.mean(left[:steps * STEP].reshape(steps, STEP) ** 2, axis=1)) >= 200
    starts = np.arange(steps) * STEP + STEP // 2 - WINDOW // 2
    starts = np.clip(starts, 0, len(left) - WINDOW)
    frames = np.lib.stride_tricks.sliding_window_view(left, WINDOW)[starts]
    t = np.arange(WINDOW) / RATE
    basis = np.exp(-2j * np.pi * np.outer(freqs, t)) * np.hanning(WINDOW)
    tone = np.argmax(np.abs(frames @ basis.T), axis=1)
    runs = []
    for k in np.nonzero(loud)[0]:
        at = int(k) * STEP
        if runs and runs[-1][0] == tone[k] and at - runs[-1][2] <= STEP:
            runs[-1][2] = at + STEP
            runs[-1][3] += STEP
        else:
            runs.append([int(tone[k]), at, at + STEP, STEP])
    # A step across the joint of two tones may read as a third: drop such slivers.
    runs = [r for r in runs if r[2] - r[1] > 2 * STEP]
    merged = []
    for r in runs:
        if merged and merged[-1][0] == r[0]:
            merged[-1][2] = r[2]
            merged[-1][3] += r[3]
        else:
            merged.append(r)
    return merged


def analyse(path, seconds, freqs):
    data = np.fromfile(path, dtype='<i2')
    left = data[0::2].astype(np.float64)
    runs = runs_of(left, freqs)
    n = len(freqs)
    out = {'order': [r[0] + 1 for r in runs], 'heard': [], 'gaps': [], 'wrap': None}
    # The list from its first entry on: entries 1..n, then entry 1 again.
    first = next((i for i, r in enumerate(runs) if r[0] == 0), None)
    if first is None:
        return out
    seq = runs[first:first + n + 1]
    for k in range(n):
        if k >= len(seq) or seq[k][0] != k:
            break
        out['heard'].append(seq[k][3] / RATE)
        if k > 0:
            out['gaps'].append((seq[k][1] - seq[k - 1][2]) / RATE)
    if len(out['heard']) == n and len(seq) > n and seq[n][0] == 0:
        out['wrap'] = (seq[n][1] - seq[n - 1][2]) / RATE
    return out


def report(out, seconds, n):
    print('order heard: %s' % ' '.join(map(str, out['order'])))
    for k, heard in enumerate(out['heard']):
        gap = ', gap before it %.3f s' % out['gaps'][k - 1] if k > 0 else ''
        print('  entry %d: heard %.3f s of %.3f (%.1f %%)%s' % (k + 1, heard, seconds, 100 * heard / seconds, gap))
    if len(out['heard']) < n:
        print('  entry %d: NOT heard in its place' % (len(out['heard']) + 1))
    if out['wrap'] is not None:
        print('  wraps: entry 1 again after entry %d, gap before it %.3f s' % (n, out['wrap']))
    else:
        print('  wraps: NO (entry 1 not heard again after entry %d)' % n)
    whole = min(out['heard']) * 100 / seconds if len(out['heard']) == n else 0.0
    gaps = out['gaps'] + ([out['wrap']] if out['wrap'] is not None else [])
    print('RESULT whole=%.1f%% worstgap=%s wraps=%s' % (whole, '%.3fs' % max(gaps) if gaps else '-',
                                                        'yes' if out['wrap'] is not None else 'no'))


def table(path):
    rows = [json.loads(line) for line in open(path)]
    print('%-40s %-8s %-22s %s' % ('list / server / program', 'worst %', 'gaps (s), last: wrap', 'wraps'))
    for r in rows:
        n = r['entries']
        whole = '%.1f' % (min(r['heard']) * 100 / r['seconds']) if len(r['heard']) == n else 'missing'
        gaps = ' '.join('%.3f' % g for g in r['gaps'] + ([r['wrap']] if r['wrap'] is not None else []))
        print('%-40s %-8s %-22s %s' % (r['label'], whole, gaps or '-', 'yes' if r['wrap'] is not None else 'no'))


def main():
    args = sys.argv[1:]
    if len(args) == 2 and args[0] == '--table':
        table(args[1])
        return
    summary = label = None
    if '--summary' in args:
        i = args.index('--summary')
        summary, label = args[i + 1], args[i + 3]
        args = args[:i]
    if len(args) < 3:
        sys.exit(__doc__)
    seconds = float(args[1])
    freqs = [float(f) for f in args[2:]]
    out = analyse(args[0], seconds, freqs)
    report(out, seconds, len(freqs))
    if summary:
        with open(summary, 'a') as f:
            f.write(json.dumps(dict(out, label=label, seconds=seconds, entries=len(freqs))) + '\n')


if __name__ == '__main__':
    main()
