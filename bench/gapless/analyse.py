#!/usr/bin/env python3
"""Reads a monitor recording (raw s16le, stereo, 44.1 kHz) of a playlist of tones and
prints how much of each entry was heard and the gaps between entries.

usage: analyse.py RECORDING ENTRY_SECONDS FREQ1 FREQ2 ...
The playlist is expected in the given order, once through and back to the first."""
import math
import struct
import sys

RATE = 44100
STEP = 220  # 5 ms


def main():
    path, seconds = sys.argv[1], float(sys.argv[2])
    freqs = [float(f) for f in sys.argv[3:]]
    data = open(path, 'rb').read()
    n = len(data) // 4
    left = struct.unpack('<%dh' % (2 * n), data[:4 * n])[0::2]
    coeffs = [2 * math.cos(2 * math.pi * f / RATE) for f in freqs]
    runs = []  # [tone, first, end]
    for at in range(0, n - STEP, STEP):
        block = left[at:at + STEP]
        if math.sqrt(sum(v * v for v in block) / STEP) < 200:
            continue
        best, best_power = -1, 0.0
        for i, c in enumerate(coeffs):
            s1 = s2 = 0.0
            for v in block:
                s1, s2 = v + c * s1 - s2, s1
            power = s1 * s1 + s2 * s2 - c * s1 * s2
            if power > best_power:
                best, best_power = i, power
        if runs and runs[-1][0] == best and at - runs[-1][2] <= STEP:
            runs[-1][2] = at + STEP
        else:
            runs.append([best, at, at + STEP])
    runs = [r for r in runs if r[2] - r[1] > 2 * STEP]
    merged = []
    for r in runs:
        if merged and merged[-1][0] == r[0]:
            merged[-1][2] = r[2]
        else:
            merged.append(r)
    order = [r[0] for r in merged]
    expected = list(range(len(freqs)))
    ok = order[:len(freqs)] == expected
    print('order heard: %s (%s)' % (order, 'as listed' if ok else 'NOT as listed'))
    worst_heard, worst_gap = 100.0, 0.0
    for k, r in enumerate(merged[:len(freqs)]):
        heard = (r[2] - r[1]) / RATE
        pct = 100 * heard / seconds
        gap = ''
        if k > 0:
            g = (r[1] - merged[k - 1][2]) / RATE
            worst_gap = max(worst_gap, g)
            gap = ', gap before it %.3f s' % g
        worst_heard = min(worst_heard, pct)
        print('  entry %d: heard %.3f s of %.3f (%.1f %%)%s' % (k + 1, heard, seconds, pct, gap))
    print('RESULT whole=%.1f%% worstgap=%.3fs order=%s' % (worst_heard, worst_gap, 'ok' if ok else 'wrong'))


if __name__ == '__main__':
    main()
