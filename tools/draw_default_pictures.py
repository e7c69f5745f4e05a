#!/usr/bin/env python3
"""Draws the default pictures shown for files that have no picture of their own.

Writes fileDefault.png, icon-default_pdf.png, icon-default_video.png and
icon-default_slide.png (96 by 96, RGBA) into the folder given, by default Resources/.
Only the standard library is used, so the pictures can be redrawn anywhere.
"""
import os
import struct
import sys
import zlib

SIZE = 96


def png(pixels):
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", SIZE, SIZE, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def canvas():
    return [[(0, 0, 0, 0) for _ in range(SIZE)] for _ in range(SIZE)]


def fill(pixels, inside, colour):
    for y in range(SIZE):
        for x in range(SIZE):
            if inside(x + 0.5, y + 0.5):
                pixels[y][x] = colour


def rect(x0, y0, x1, y1):
    return lambda x, y: x0 <= x < x1 and y0 <= y < y1


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def triangle(a, b, c):
    def side(p, q, x, y):
        return (q[0] - p[0]) * (y - p[1]) - (q[1] - p[1]) * (x - p[0])

    def inside(x, y):
        s1, s2, s3 = side(a, b, x, y), side(b, c, x, y), side(c, a, x, y)
        return (s1 >= 0 and s2 >= 0 and s3 >= 0) or (s1 <= 0 and s2 <= 0 and s3 <= 0)
    return inside


def page(pixels, band):
    # A sheet with a folded corner and a coloured band across its foot.
    fill(pixels, lambda x, y: 18 <= x < 78 and 8 <= y < 88 and not (x - 58 > y - 8 and x >= 58), (170, 170, 170, 255))
    fill(pixels, lambda x, y: 20 <= x < 76 and 10 <= y < 86 and not (x - 57 > y - 10 and x >= 57), (255, 255, 255, 255))
    fill(pixels, triangle((58, 8), (58, 28), (78, 28)), (210, 210, 210, 255))
    for top in (36, 44, 52):
        fill(pixels, rect(28, top, 68, top + 3), (200, 200, 200, 255))
    fill(pixels, rect(20, 62, 76, 80), band)


def file_default():
    p = canvas()
    fill(p, rect(10, 16, 86, 80), (150, 160, 175, 255))
    fill(p, rect(13, 19, 83, 77), (225, 232, 240, 255))
    fill(p, circle(64, 36, 8), (245, 200, 80, 255))
    fill(p, triangle((16, 74), (42, 38), (66, 74)), (120, 150, 120, 255))
    fill(p, triangle((46, 74), (64, 50), (82, 74)), (95, 125, 95, 255))
    return p


def pdf():
    p = canvas()
    page(p, (200, 40, 40, 255))
    return p


def video():
    p = canvas()
    fill(p, rect(8, 18, 88, 78), (40, 40, 48, 255))
    for x in range(12, 88, 12):
        fill(p, rect(x, 21, x + 6, 26), (230, 230, 230, 255))
        fill(p, rect(x, 70, x + 6, 75), (230, 230, 230, 255))
    fill(p, triangle((40, 34), (40, 62), (62, 48)), (255, 255, 255, 255))
    return p


def slide():
    p = canvas()
    fill(p, rect(10, 14, 86, 66), (215, 110, 30, 255))
    fill(p, rect(14, 18, 82, 62), (255, 245, 235, 255))
    fill(p, rect(22, 44, 30, 56), (215, 110, 30, 255))
    fill(p, rect(36, 34, 44, 56), (215, 110, 30, 255))
    fill(p, rect(50, 26, 58, 56), (215, 110, 30, 255))
    fill(p, rect(46, 66, 50, 82), (120, 120, 120, 255))
    fill(p, rect(34, 82, 62, 86), (120, 120, 120, 255))
    return p


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "Resources")
    for name, draw in (("fileDefault.png", file_default), ("icon-default_pdf.png", pdf),
                       ("icon-default_video.png", video), ("icon-default_slide.png", slide)):
        with open(os.path.join(folder, name), "wb") as out:
            out.write(png(draw()))


if __name__ == "__main__":
    main()
