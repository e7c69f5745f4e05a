#!/usr/bin/env python3
"""Draws the catalogue bar's button pictures, white on the dark bar.

Writes btn-compare.png (two columns side by side), btn-fav.png (a star) and
icon-sort_arrow.png (a small arrow pointing down) into the folder given, by default Resources/.
The menu button's pictures are the library's, shared by both panels. Shapes are sampled 4 by 4 per pixel; only the standard library is used.
"""
import math
import os
import struct
import sys
import zlib

SAMPLES = 4
WHITE = (255, 255, 255)


def png(width, height, pixels):
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def render(width, height, inside, colour=WHITE):
    pixels = []
    for y in range(height):
        row = []
        for x in range(width):
            hits = 0
            for sy in range(SAMPLES):
                for sx in range(SAMPLES):
                    if inside(x + (sx + 0.5) / SAMPLES, y + (sy + 0.5) / SAMPLES):
                        hits += 1
            row.append(colour + (int(round(255 * hits / SAMPLES ** 2)),))
        pixels.append(row)
    return width, height, pixels


def box(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def union(*shapes):
    return lambda x, y: any(s(x, y) for s in shapes)


def compare():
    frame = lambda x, y: (6 <= x <= 28 and 7 <= y <= 27) and not (8 <= x <= 26 and 9 <= y <= 25)
    return render(34, 34, union(frame, box(16, 7, 18, 27), box(10, 13, 14, 14.5), box(20, 13, 24, 14.5),
                                box(10, 17, 14, 18.5), box(20, 17, 24, 18.5)))


def star():
    cx, cy, outer, inner = 17, 17.5, 11, 4.6
    points = []
    for i in range(10):
        r = outer if i % 2 == 0 else inner
        a = -math.pi / 2 + i * math.pi / 5
        points.append((cx + r * math.cos(a), cy + r * math.sin(a)))

    def inside(x, y):
        # Even-odd crossing test over the star's outline.
        hit = False
        for i in range(len(points)):
            (x0, y0), (x1, y1) = points[i], points[(i + 1) % len(points)]
            if (y0 > y) != (y1 > y) and x < x0 + (y - y0) * (x1 - x0) / (y1 - y0):
                hit = not hit
        return hit
    return render(34, 34, inside)


def sort_arrow():
    return render(12, 8, lambda x, y: 1 <= y <= 7 and abs(x - 6) <= (7 - y) * 0.85)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "Resources")
    pictures = (
        ("btn-compare.png", compare),
        ("btn-fav.png", star),
        ("icon-sort_arrow.png", sort_arrow),
    )
    for name, draw in pictures:
        width, height, pixels = draw()
        with open(os.path.join(folder, name), "wb") as out:
            out.write(png(width, height, pixels))


if __name__ == "__main__":
    main()
