#!/usr/bin/env python3
"""Draws the program icon (256 x 256 RGBA PNG): a rounded tile with a play
triangle and three sorted bars. Standard library only; run once, commit the
result as assets/icon.png, and beside it assets/icon.ico (the same PNG in
an icon file, for the Windows build's resource script)."""
import struct
import sys
import zlib

SIZE = 256
SS = 4  # supersampling per axis


def inside_rounded_rect(x, y, x0, y0, x1, y1, r):
    if x < x0 or x > x1 or y < y0 or y > y1:
        return False
    cx = min(max(x, x0 + r), x1 - r)
    cy = min(max(y, y0 + r), y1 - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def inside_triangle(x, y, a, b, c):
    def side(p, q):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])
    d1, d2, d3 = side(a, b), side(b, c), side(c, a)
    neg = d1 < 0 or d2 < 0 or d3 < 0
    pos = d1 > 0 or d2 > 0 or d3 > 0
    return not (neg and pos)


BARS = [  # x0, y0, x1, y1, colour
    (150, 70, 206, 96, (255, 196, 87)),
    (150, 115, 220, 141, (120, 220, 160)),
    (150, 160, 192, 186, (255, 128, 128)),
]
TRIANGLE = ((46, 62), (46, 194), (136, 128))


def sample(x, y):
    if not inside_rounded_rect(x, y, 8, 8, 248, 248, 44):
        return (0, 0, 0, 0)
    t = y / SIZE
    base = (int(28 + 20 * t), int(70 + 40 * t), int(110 + 50 * t), 255)
    if inside_triangle(x, y, *TRIANGLE):
        return (245, 248, 252, 255)
    for x0, y0, x1, y1, col in BARS:
        if inside_rounded_rect(x, y, x0, y0, x1, y1, 12):
            return col + (255,)
    return base


def render():
    rows = []
    for py in range(SIZE):
        row = bytearray([0])  # filter type none
        for px in range(SIZE):
            acc = [0, 0, 0, 0]
            for sy in range(SS):
                for sx in range(SS):
                    r, g, b, a = sample(px + (sx + 0.5) / SS, py + (sy + 0.5) / SS)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            n = SS * SS
            alpha = acc[3] / n
            if acc[3]:
                row += bytes([acc[0] // acc[3], acc[1] // acc[3], acc[2] // acc[3], int(round(alpha))])
            else:
                row += bytes(4)
        rows.append(bytes(row))
    return b"".join(rows)


def chunk(tag, data):
    body = tag + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)


def main(out):
    raw = render()
    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(out, "wb") as f:
        f.write(png)
    # One 256 x 256 entry (written as 0 x 0) whose image is the PNG itself.
    ico = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 0, 0, 0, 0, 1, 32, len(png), 22) + png
    with open(out.rsplit(".", 1)[0] + ".ico", "wb") as f:
        f.write(ico)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "assets/icon.png")
