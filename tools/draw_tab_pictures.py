#!/usr/bin/env python3
"""Draws the pictures of the tab strip and of the pull-to-refresh table.

Writes tab_background.png (the strip behind the tabs), bth_sales_on.png (a selected tab),
bth_collection.png (a tab behind it), tab_close.png (the close mark) and blueArrow.png (the
pull arrow, pointing down) into the folder given, by default Resources/. Shapes are sampled
4 by 4 per pixel for smooth edges; only the standard library is used.
"""
import math
import os
import struct
import sys
import zlib

SAMPLES = 4


def png(width, height, pixels):
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(len(a)))


def coverage(inside, x, y):
    hits = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            if inside(x + (sx + 0.5) / SAMPLES, y + (sy + 0.5) / SAMPLES):
                hits += 1
    return hits / (SAMPLES * SAMPLES)


def tab_shape(width, height, inset):
    """A tab with slanted sides and rounded top corners, open at the bottom."""
    slant, radius = 14.0, 6.0

    def inside(x, y):
        if y < inset or y > height:
            return False
        # The sides lean inwards from the bottom corners to the top.
        t = 1 - y / height
        left = slant * t + inset
        right = width - slant * t - inset
        if not left <= x <= right:
            return False
        top = inset + radius
        if y < top:
            for cx in (slant + inset + radius, width - slant - inset - radius):
                if (x < cx if cx < width / 2 else x > cx):
                    if (x - cx) ** 2 + (y - top) ** 2 > radius * radius:
                        return False
        return True
    return inside


def tab(top, bottom, border):
    width, height = 167, 39
    outer = tab_shape(width, height, 0.0)
    inner = tab_shape(width, height, 1.0)
    pixels = []
    for y in range(height):
        row = []
        for x in range(width):
            a_out = coverage(outer, x, y)
            if a_out == 0:
                row.append((0, 0, 0, 0))
                continue
            a_in = coverage(inner, x, y)
            fill = mix(top, bottom, y / (height - 1))
            colour = mix(border, fill, a_in / a_out)
            row.append(tuple(int(round(c)) for c in colour) + (int(round(255 * a_out)),))
        pixels.append(row)
    return width, height, pixels


def strip():
    width, height = 16, 39
    pixels = []
    for y in range(height):
        if y == height - 1:
            colour = (150, 158, 170)
        else:
            colour = mix((196, 203, 214), (226, 230, 236), y / (height - 2))
        pixels.append([tuple(int(round(c)) for c in colour) + (255,)] * width)
    return width, height, pixels


def close_mark():
    width, height = 19, 18
    cx, cy, r = width / 2, height / 2, 8.0

    def disc(x, y):
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r

    def cross(x, y):
        u, v = x - cx, y - cy
        return (abs(u - v) <= 1.6 or abs(u + v) <= 1.6) and abs(u) <= 4 and abs(v) <= 4

    pixels = []
    for y in range(height):
        row = []
        for x in range(width):
            a = coverage(disc, x, y)
            c = coverage(cross, x, y)
            colour = mix((120, 126, 136), (255, 255, 255), c)
            row.append(tuple(int(round(v)) for v in colour) + (int(round(255 * a)),))
        pixels.append(row)
    return width, height, pixels


def arrow():
    """A blue arrow pointing down: a shaft and a head."""
    width, height = 30, 55
    cx = width / 2

    def inside(x, y):
        if abs(x - cx) <= 3.5 and 4 <= y <= 38:
            return True
        if 32 <= y <= 52:
            half = (52 - y) * 0.7
            return abs(x - cx) <= half
        return False

    pixels = []
    for y in range(height):
        row = []
        for x in range(width):
            a = coverage(inside, x, y)
            colour = mix((70, 110, 170), (40, 74, 130), y / height)
            row.append(tuple(int(round(v)) for v in colour) + (int(round(255 * a)),))
        pixels.append(row)
    return width, height, pixels


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "Resources")
    pictures = (
        ("tab_background.png", strip),
        ("bth_sales_on.png", lambda: tab((255, 255, 255), (236, 240, 246), (128, 138, 152))),
        ("bth_collection.png", lambda: tab((214, 220, 228), (190, 198, 210), (128, 138, 152))),
        ("tab_close.png", close_mark),
        ("blueArrow.png", arrow),
    )
    for name, draw in pictures:
        width, height, pixels = draw()
        with open(os.path.join(folder, name), "wb") as out:
            out.write(png(width, height, pixels))


if __name__ == "__main__":
    main()
