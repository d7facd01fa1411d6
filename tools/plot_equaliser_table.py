#!/usr/bin/env python3
"""Draws the pictures of docs/equaliser-table.md from model/data/equaliser_table.f64.

Standard library only: the SVG is written by hand.
usage: tools/plot_equaliser_table.py [TABLE] [OUTDIR]
"""
import cmath
import math
import os
import struct
import sys

STEP = 1.5625e-12
COLOURS = ["#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b", "#e377c2", "#17becf"]


def read_table(path):
    data = open(path, "rb").read()
    if data[:8] != b"VLKEQT01":
        raise SystemExit(f"{path}: not an equaliser table file")
    points, sets = struct.unpack("<II", data[8:16])
    values = struct.unpack(f"<{points + points * sets}d", data[16:])
    stamps = values[:points]
    return points, sets, stamps, [values[points + s * points: points + (s + 1) * points] for s in range(sets)]


def dc_gain(response):
    total = 0.0
    for v in response[:500]:
        total += v
    return total * STEP


def magnitude_db(response, f):
    acc = 0j
    for n, v in enumerate(response):
        acc += v * cmath.exp(-2j * math.pi * f * n * STEP)
    return 20 * math.log10(abs(acc * STEP))


class Plot:
    def __init__(self, title, xlabel, ylabel, xr, yr, logx=False):
        self.w, self.h, self.l, self.r, self.t, self.b = 640, 400, 70, 20, 40, 50
        self.title, self.xlabel, self.ylabel, self.xr, self.yr, self.logx = title, xlabel, ylabel, xr, yr, logx
        self.items = []
        self.legend = []

    def x(self, v):
        lo, hi = self.xr
        if self.logx:
            v, lo, hi = math.log10(v), math.log10(lo), math.log10(hi)
        return self.l + (v - lo) / (hi - lo) * (self.w - self.l - self.r)

    def y(self, v):
        lo, hi = self.yr
        return self.h - self.b - (v - lo) / (hi - lo) * (self.h - self.t - self.b)

    def line(self, xs, ys, colour, label=None, dash=None):
        pts = " ".join(f"{self.x(a):.1f},{self.y(b):.1f}" for a, b in zip(xs, ys))
        style = f' stroke-dasharray="{dash}"' if dash else ""
        self.items.append(f'<polyline fill="none" stroke="{colour}" stroke-width="1.5"{style} points="{pts}"/>')
        if label:
            self.legend.append((label, colour, dash))

    def svg(self, xticks, yticks):
        out = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{self.w}" height="{self.h}" '
               f'font-family="sans-serif" font-size="12">',
               f'<rect width="{self.w}" height="{self.h}" fill="white"/>',
               f'<text x="{self.w / 2}" y="22" text-anchor="middle" font-size="15">{self.title}</text>']
        for t in xticks:
            out.append(f'<line x1="{self.x(t):.1f}" y1="{self.t}" x2="{self.x(t):.1f}" y2="{self.h - self.b}" stroke="#ddd"/>')
            out.append(f'<text x="{self.x(t):.1f}" y="{self.h - self.b + 16}" text-anchor="middle">{t:g}</text>')
        for t in yticks:
            out.append(f'<line x1="{self.l}" y1="{self.y(t):.1f}" x2="{self.w - self.r}" y2="{self.y(t):.1f}" stroke="#ddd"/>')
            out.append(f'<text x="{self.l - 6}" y="{self.y(t) + 4:.1f}" text-anchor="end">{t:g}</text>')
        out.append(f'<rect x="{self.l}" y="{self.t}" width="{self.w - self.l - self.r}" height="{self.h - self.t - self.b}" fill="none" stroke="black"/>')
        out.append(f'<text x="{self.w / 2}" y="{self.h - 12}" text-anchor="middle">{self.xlabel}</text>')
        out.append(f'<text transform="translate(16,{self.h / 2}) rotate(-90)" text-anchor="middle">{self.ylabel}</text>')
        out.extend(self.items)
        for i, (label, colour, dash) in enumerate(self.legend):
            yy = self.t + 14 + 16 * i
            style = f' stroke-dasharray="{dash}"' if dash else ""
            out.append(f'<line x1="{self.w - 190}" y1="{yy}" x2="{self.w - 165}" y2="{yy}" stroke="{colour}" stroke-width="2"{style}/>')
            out.append(f'<text x="{self.w - 160}" y="{yy + 4}">{label}</text>')
        out.append("</svg>\n")
        return "\n".join(out)


def main():
    table = sys.argv[1] if len(sys.argv) > 1 else "model/data/equaliser_table.f64"
    outdir = sys.argv[2] if len(sys.argv) > 2 else "docs"
    points, sets, stamps, resp = read_table(table)
    os.makedirs(outdir, exist_ok=True)

    p = Plot("DC gain over the gain code", "gain code g (zero code 0)", "DC gain (dB)", (0, 16), (-4, 20))
    names = ["typical", "slow", "fast"]
    for b in (0, 1):
        for c in range(3):
            gains = [20 * math.log10(dc_gain(resp[48 * g + 3 * b + c])) for g in range(17)]
            p.line(range(17), gains, COLOURS[c], f"boost {'on' if b == 0 else 'off'}, {names[c]}", None if b == 0 else "5,3")
    open(os.path.join(outdir, "equaliser-dc-gain.svg"), "w").write(p.svg(range(0, 17, 2), range(-4, 21, 4)))

    freqs = [10 ** (8 + 0.05 * k) for k in range(53)]
    p = Plot("Magnitude response, gain code 7, boost on, typical", "frequency (Hz)", "gain (dB)",
             (1e8, 4e10), (-10, 25), logx=True)
    for i, z in enumerate((0, 2, 4, 7)):
        s = 48 * 7 + 6 * z
        p.line(freqs[:-1], [magnitude_db(resp[s], f) for f in freqs[:-1]], COLOURS[i], f"zero code {z} (set {s})")
    open(os.path.join(outdir, "equaliser-magnitude.svg"), "w").write(
        p.svg([1e8, 1e9, 1e10], range(-10, 26, 5)))

    p = Plot("Impulse responses", "time (ps)", "h(t) (1/ps)", (0, 300), (-0.4, 1.0))
    for i, s in enumerate((0, 5, 6 * 7, 336, 768)):
        p.line([t * 1e12 for t in stamps[:200]], [v * 1e-12 for v in resp[s][:200]], COLOURS[i], f"set {s}")
    open(os.path.join(outdir, "equaliser-impulse.svg"), "w").write(p.svg(range(0, 301, 50), [-0.4, -0.2, 0, 0.2, 0.4, 0.6, 0.8, 1.0]))


if __name__ == "__main__":
    main()
