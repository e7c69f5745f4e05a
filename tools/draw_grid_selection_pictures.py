#!/usr/bin/env python3
"""Draws the grid cell's five selection pictures: a soft vertical gradient in each colour.

Writes BRGridSelection.png (blue), BRGridSelectionGray.png, BRGridSelectionGrayBlue.png,
BRGridSelectionGreen.png and BRGridSelectionRed.png into the folder given, by default
Resources/. A cell stretches its picture over its whole size, so a plain gradient with a light
sheen at the top and a slightly deeper lower edge stays soft at any size. Only the standard
library is used.
"""
import os
import struct
import sys
import zlib

WIDTH = 64
HEIGHT = 128

# Light top, main tone, deeper bottom, per colour.
COLOURS = {
    "BRGridSelection.png": ((120, 170, 240), (48, 110, 214), (22, 74, 170)),
    "BRGridSelectionGray.png": ((214, 214, 214), (168, 168, 168), (128, 128, 128)),
    "BRGridSelectionGrayBlue.png": ((196, 208, 226), (140, 158, 186), (100, 118, 148)),
    "BRGridSelectionGreen.png": ((150, 222, 140), (72, 170, 68), (40, 124, 40)),
    "BRGridSelectionRed.png": ((242, 146, 140), (206, 60, 54), (156, 30, 28)),
}


def png(width, height, pixels):
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def mix(a, b, t):
    return tuple(a[i] + (b[i] - a[i]) * t for i in range(3))


def smooth(t):
    return t * t * (3 - 2 * t)


def row_colour(y, top, middle, bottom):
    t = (y + 0.5) / HEIGHT
    if t < 0.4:
        return mix(top, middle, smooth(t / 0.4))
    return mix(middle, bottom, smooth((t - 0.4) / 0.6))


def picture(top, middle, bottom):
    rows = []
    for y in range(HEIGHT):
        r, g, b = row_colour(y, top, middle, bottom)
        rows.append([(round(r), round(g), round(b), 255)] * WIDTH)
    return png(WIDTH, HEIGHT, rows)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "Resources")
    for name, (top, middle, bottom) in COLOURS.items():
        with open(os.path.join(folder, name), "wb") as out:
            out.write(picture(top, middle, bottom))


if __name__ == "__main__":
    main()
