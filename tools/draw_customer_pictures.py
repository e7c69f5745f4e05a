#!/usr/bin/env python3
"""Draws the customer screen's own pictures, which a client's skin may replace.

Writes Icon_Local_68x30.png (the badge of a customer not yet uploaded), topbar-left-bg.png and
topbar-right-bg.png (the bars over the list and the detail pane) and bg_searchbar.png into the
folder given, by default Resources/. Uses the helpers of draw_look_pictures.py.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from draw_look_pictures import coverage, mix, png, rounded_box  # noqa: E402


def badge():
    # An amber tag with a darker rim: it must read on white, blue (selected) and grey rows.
    width, height = 68, 30
    outer = rounded_box(0.0, 0.0, width, height, 7.0)
    inner = rounded_box(1.5, 1.5, width - 1.5, height - 1.5, 5.5)
    pixels = []
    for y in range(height):
        row = []
        for x in range(width):
            a_out, a_in = coverage(outer, x, y), coverage(inner, x, y)
            if a_out == 0:
                row.append((0, 0, 0, 0))
                continue
            fill = mix((246, 170, 60), (214, 118, 20), y / height)
            colour = mix((150, 78, 10), fill, a_in / a_out)
            row.append(tuple(int(round(c)) for c in colour) + (int(round(255 * a_out)),))
        pixels.append(row)
    return width, height, pixels


def bar(width, edge_right):
    # The navy bar of the other screens; the left pane's ends in a dark seam towards the detail.
    height = 44
    pixels = []
    for y in range(height):
        if y == 0:
            colour = (126, 164, 218)
        elif y == height - 1:
            colour = (14, 32, 66)
        else:
            colour = mix((74, 118, 182), (28, 62, 118), (y - 1) / (height - 3))
        line = [tuple(int(round(c)) for c in colour) + (255,)] * width
        if edge_right:
            line[-1] = (14, 32, 66, 255)
        pixels.append(line)
    return width, height, pixels


def search_field():
    width, height = 270, 34
    outer = rounded_box(0.0, 0.0, width, height, 8.0)
    inner = rounded_box(1.0, 1.0, width - 1.0, height - 1.0, 7.0)
    pixels = []
    for y in range(height):
        row = []
        for x in range(width):
            a_out, a_in = coverage(outer, x, y), coverage(inner, x, y)
            if a_out == 0:
                row.append((0, 0, 0, 0))
                continue
            colour = mix((150, 158, 170), (252, 252, 253), a_in / a_out)
            row.append(tuple(int(round(c)) for c in colour) + (int(round(255 * a_out)),))
        pixels.append(row)
    return width, height, pixels


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "Resources")
    pictures = (
        ("Icon_Local_68x30.png", badge),
        ("topbar-left-bg.png", lambda: bar(360, True)),
        ("topbar-right-bg.png", lambda: bar(663, False)),
        ("bg_searchbar.png", search_field),
    )
    for name, draw in pictures:
        width, height, pixels = draw()
        with open(os.path.join(folder, name), "wb") as out:
            out.write(png(width, height, pixels))


if __name__ == "__main__":
    main()
