#!/usr/bin/env python3
"""Draws the application's own pictures for buttons and bars, which a client's skin may replace.

Writes Button-default_H30.png, Button-default_H34.png, Button-backward_H34.png,
Button-forward_H34.png, topbar-bg.png, titlebar.png and rightline.png into the folder given, by default
Resources/. Shapes are sampled 4 by 4 per pixel for smooth edges. Only the standard library is
used, so the pictures can be redrawn anywhere.

The buttons stretch between caps: 5 points at the plain ends, 16 at an arrow end, so every
curve and point stays inside those caps.
"""
import math
import os
import struct
import sys
import zlib

SAMPLES = 4

# Navy, as the bar and the dark message boxes.
BORDER = (20, 46, 90)
TOP = (104, 150, 212)
MIDDLE = (60, 108, 180)
BOTTOM = (38, 80, 148)


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


def gradient(y, height):
    # Lighter upper half over a deeper lower half, a soft gloss.
    t = y / height
    if t < 0.5:
        return mix(TOP, MIDDLE, t / 0.5)
    return mix(MIDDLE, BOTTOM, (t - 0.5) / 0.5)


def coverage(inside, x, y):
    hits = 0
    for sy in range(SAMPLES):
        for sx in range(SAMPLES):
            if inside(x + (sx + 0.5) / SAMPLES, y + (sy + 0.5) / SAMPLES):
                hits += 1
    return hits / (SAMPLES * SAMPLES)


def rounded_box(x0, y0, x1, y1, radius, round_left=True, round_right=True):
    """A box with rounded corners on the chosen sides."""
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        for cx, on in ((x0 + radius, round_left), (x1 - radius, round_right)):
            if not on:
                continue
            if (x < cx if cx == x0 + radius else x > cx):
                for cy in (y0 + radius, y1 - radius):
                    if (y < cy if cy == y0 + radius else y > cy):
                        if (x - cx) ** 2 + (y - cy) ** 2 > radius * radius:
                            return False
        return True
    return inside


def arrow(width, height, inset, pointing_left):
    """A tab with a point at one end (inside the 16-point cap) and rounded corners at the other."""
    tip, shoulder, radius = 1.0, 14.0, 4.5
    mid = height / 2
    # The slanted edges, moved inwards by `inset` along their normals.
    slope = (mid - 1.0) / (shoulder - tip)
    norm = math.sqrt(1 + slope * slope)
    body = rounded_box(tip + inset, 1.0 + inset, width - 1.0 - inset, height - 1.0 - inset, radius - inset,
                       round_left=False, round_right=True)

    def inside(lx, y):
        x = lx if pointing_left else width - lx
        if not body(x, y):
            return False
        # Distance from the point's edge lines; inside when beyond `inset`.
        return (x - tip) * slope - abs(y - mid) >= inset * norm
    return inside


def paint(width, height, outer, inner, highlight):
    """Border where only the outer shape covers, the gradient inside, a lit top line."""
    pixels = []
    for y in range(height):
        row = []
        for x in range(width):
            a_out = coverage(outer, x, y)
            a_in = coverage(inner, x, y)
            if a_out == 0:
                row.append((0, 0, 0, 0))
                continue
            fill = gradient(y + 0.5, height)
            if highlight(x + 0.5, y + 0.5) and a_in > 0:
                fill = mix(fill, (255, 255, 255), 0.35)
            # Border and fill blended by how much of the pixel the inner shape covers.
            colour = mix(BORDER, fill, a_in / a_out if a_out else 0)
            row.append(tuple(int(round(c)) for c in colour) + (int(round(255 * a_out)),))
        pixels.append(row)
    return pixels


def plain_button(height):
    width = 24
    outer = rounded_box(0.0, 0.0, width, height, 5.0)
    inner = rounded_box(1.0, 1.0, width - 1.0, height - 1.0, 4.0)
    return width, height, paint(width, height, outer, inner, lambda x, y: 1.0 <= y < 2.0)


def arrow_button(pointing_left):
    width, height = 40, 34
    outer = arrow(width, height, 0.0, pointing_left)
    inner = arrow(width, height, 1.0, pointing_left)
    return width, height, paint(width, height, outer, inner, lambda x, y: 2.0 <= y < 3.0)


def top_bar():
    width, height = 16, 44
    pixels = []
    for y in range(height):
        if y == 0:
            colour = (126, 164, 218)
        elif y == height - 1:
            colour = (14, 32, 66)
        else:
            colour = mix((74, 118, 182), (28, 62, 118), (y - 1) / (height - 3))
        pixels.append([tuple(int(round(c)) for c in colour) + (255,)] * width)
    return width, height, pixels


def title_bar():
    # A light panel heading, so a black title reads on it.
    width, height = 16, 55
    pixels = []
    for y in range(height):
        if y == height - 1:
            colour = (168, 178, 192)
        else:
            colour = mix((246, 248, 251), (214, 221, 231), y / (height - 2))
        pixels.append([tuple(int(round(c)) for c in colour) + (255,)] * width)
    return width, height, pixels


def strike_line():
    width, height = 8, 2
    return width, height, [[(196, 32, 32, 255)] * width for _ in range(height)]


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "Resources")
    pictures = (
        ("Button-default_H30.png", lambda: plain_button(30)),
        ("Button-default_H34.png", lambda: plain_button(34)),
        ("Button-backward_H34.png", lambda: arrow_button(True)),
        ("Button-forward_H34.png", lambda: arrow_button(False)),
        ("topbar-bg.png", top_bar),
        ("titlebar.png", title_bar),
        ("rightline.png", strike_line),
    )
    for name, draw in pictures:
        width, height, pixels = draw()
        with open(os.path.join(folder, name), "wb") as out:
            out.write(png(width, height, pixels))


if __name__ == "__main__":
    main()
