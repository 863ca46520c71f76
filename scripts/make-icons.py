#!/usr/bin/env python3

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""Writes the application icon set under app/icons/hicolor: the scalable SVG, the
PNG sizes rendered from it (rsvg-convert), and the 16 x 16 PNG drawn pixel by pixel
as the program draws it (app/Icons.cpp, makeApplicationIcon), which is sharper than
any rendering at that size. Run after changing the design; the results are committed."""
import math
import os
import subprocess
import zlib
import struct

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "app", "icons", "hicolor")
SIZES = [22, 24, 32, 48, 64, 128, 256]


def svg():
    # A small oscilloscope screen: white field, dark bezel, blue grid of 4 x 4
    # divisions, one period of a black sine across it.
    left, top, width, height = 4.0, 8.0, 56.0, 48.0
    grid = []
    for k in range(5):
        x = left + width * k / 4
        y = top + height * k / 4
        grid.append(f'<path d="M{x:g} {top:g}V{top + height:g}"/>')
        grid.append(f'<path d="M{left:g} {y:g}H{left + width:g}"/>')
    points = []
    for i in range(57):
        x = left + width * i / 56
        y = top + height / 2 - 16 * math.sin(2 * math.pi * i / 56)
        points.append(f"{x:.2f},{y:.2f}")
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 64 64">
  <rect x="{left - 2:g}" y="{top - 2:g}" width="{width + 4:g}" height="{height + 4:g}" rx="3" fill="#303030"/>
  <rect x="{left:g}" y="{top:g}" width="{width:g}" height="{height:g}" fill="#ffffff"/>
  <g stroke="#0000ff" stroke-width="1.5" fill="none">
    {chr(10).join('    ' + g for g in grid).strip()}
  </g>
  <polyline points="{' '.join(points)}" fill="none" stroke="#000000" stroke-width="3.5" stroke-linecap="round" stroke-linejoin="round"/>
</svg>
"""


def icon16():
    # Same drawing as makeApplicationIcon: white, blue at every fifth column and row,
    # a sine joined column to column in black.
    size = 16
    px = [[(255, 255, 255)] * size for _ in range(size)]
    for y in range(size):
        for x in range(size):
            if x % 5 == 0 or y % 5 == 0:
                px[y][x] = (0, 0, 255)
    previous = -1
    for x in range(size):
        phase = 2 * math.pi * x / (size - 1)
        v = 7.5 - 5.5 * math.sin(phase)
        y = int(math.floor(v + 0.5)) if v >= 0 else -int(math.floor(-v + 0.5))  # lround
        if previous < 0:
            lo = hi = y
        else:
            a = previous + 1 if previous < y else y
            b = previous - 1 if previous > y else y
            lo, hi = min(a, b), max(a, b)
        for row in range(lo, hi + 1):
            px[row][x] = (0, 0, 0)
        px[y][x] = (0, 0, 0)
        previous = y
    return px


def write_png(path, rows):
    raw = b"".join(b"\0" + bytes(c for p in row for c in p) for row in rows)
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    header = struct.pack(">IIBBBBB", len(rows[0]), len(rows), 8, 2, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(raw, 9))
                + chunk(b"IEND", b""))


def main():
    scalable = os.path.join(ROOT, "scalable", "apps")
    os.makedirs(scalable, exist_ok=True)
    svg_path = os.path.join(scalable, "veldora.svg")
    with open(svg_path, "w") as f:
        f.write(svg())
    for size in SIZES:
        folder = os.path.join(ROOT, f"{size}x{size}", "apps")
        os.makedirs(folder, exist_ok=True)
        subprocess.run(["rsvg-convert", "-w", str(size), "-h", str(size), "-o",
                        os.path.join(folder, "veldora.png"), svg_path], check=True)
    folder = os.path.join(ROOT, "16x16", "apps")
    os.makedirs(folder, exist_ok=True)
    write_png(os.path.join(folder, "veldora.png"), icon16())


main()
