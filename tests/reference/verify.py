#!/usr/bin/env python3
"""Checks the reference pictures on their own, without the scene's code: tests/reference/verify.py [PNG...]

For each picture: the asymmetry about the vertical line through the centre (per mille of mirrored pixel pairs
of unlike colour, the logo's corner left out), the even wedge count n whose turn by two wedges (720/n degrees)
best maps the ring of radius 15 to 45 pixels onto itself and how well (per mille unlike), the grey haze the
glow leaves between the discs (per mille), and the box of the logo's tinted pixels outside the circle the
discs keep to, with how many such pixels lie in the other corners.
"""
import math
import struct
import sys
import zlib
from pathlib import Path


def read_png(path):
    data, at, idat = Path(path).read_bytes(), 8, b""
    while at < len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        chunk = data[at + 8:at + 8 + length]
        at += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", chunk[:10])
            assert depth == 8 and colour == 6, "8-bit RGBA expected"
        elif kind == b"IDAT":
            idat += chunk
    raw, stride, rows, previous = zlib.decompress(idat), width * 4, [], bytearray(width * 4)
    for y in range(height):
        kind, row = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for x in range(stride):
            a, b, c = row[x - 4] if x >= 4 else 0, previous[x], previous[x - 4] if x >= 4 else 0
            p = a + b - c
            paeth = a if abs(p - a) <= abs(p - b) and abs(p - a) <= abs(p - c) else b if abs(p - b) <= abs(p - c) else c
            predictor = [0, a, b, (a + b) // 2, paeth]
            row[x] = (row[x] + predictor[kind]) & 255
        rows.append([tuple(row[x:x + 4]) for x in range(0, stride, 4)])
        previous = row
    return width, height, rows  # top row first


def unlike(p, q):
    return max(abs(a - b) for a, b in zip(p[:3], q[:3])) > 24


def lit(p):
    return max(p[:3]) > 24


def check(path):
    width, height, rows = read_png(path)
    cx, cy = width / 2, height / 2
    inside = lambda x, y: math.hypot(x + 0.5 - cx, y + 0.5 - cy) < 0.45 * height
    pairs = [(rows[y][x], rows[y][width - 1 - x]) for y in range(height) for x in range(width // 2)
             if inside(x, y) and (lit(rows[y][x]) or lit(rows[y][width - 1 - x]))]
    asymmetry = 1000 * sum(unlike(p, q) for p, q in pairs) // max(1, len(pairs))

    def turned(degrees):
        count = bad = 0
        for radius in range(15, 46, 3):
            for step in range(0, 360, 2):
                a, b = math.radians(step), math.radians(step + degrees)
                p = rows[int(cy - radius * math.sin(a))][int(cx + radius * math.cos(a))]
                q = rows[int(cy - radius * math.sin(b))][int(cx + radius * math.cos(b))]
                count, bad = count + 1, bad + unlike(p, q)
        return 1000 * bad // count
    wedges = min(range(10, 96, 2), key=lambda n: turned(720 / n))

    haze = 1000 * sum(0 < p[0] == p[1] == p[2] <= 24 for row in rows for p in row) // (width * height)

    tinted = [(x, height - 1 - y) for y in range(height) for x in range(width) if not inside(x, y) and
              math.hypot(x + 0.5 - cx, y + 0.5 - cy) > 0.5 * height and max(rows[y][x][:3]) > 8 and
              max(rows[y][x][:3]) - min(rows[y][x][:3]) > 8]
    logo = [(x, y) for x, y in tinted if x >= width * 0.7 and y < height * 0.1]
    box = (min(x for x, _ in logo), max(x for x, _ in logo), min(y for _, y in logo), max(y for _, y in logo)) \
        if logo else None
    print(f"{Path(path).name}: asymmetry {asymmetry}, wedges {wedges} (turn unlike {turned(720 / wedges)}), "
          f"haze {haze}, logo x {box[:2] if box else '-'} y {box[2:] if box else '-'} "
          f"from the bottom ({len(logo)} pixels), elsewhere {len(tinted) - len(logo)}")


for picture in sys.argv[1:] or sorted(Path(__file__).parent.glob("*.png")):
    check(picture)
