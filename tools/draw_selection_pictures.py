#!/usr/bin/env python3
"""Draws the application's own pictures for the two-way switch, the check boxes and the
catalogue's side panel, which a client's skin may replace.

Writes catalogswitch_left.png, catalogswitch_right.png and their "_on" forms; cb_box_, cb_dark_,
cb_glossy_, cb_green_ and cb_mono_ followed by "on" and "off" (.png); left-nav.png,
topnavbar.png, shadow_navbar.png, icon-arrowrgt.png and line-h.png, into the folder given, by default Resources/.
Only the standard library is used.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from draw_look_pictures import coverage, mix, png, rounded_box  # noqa: E402

NAVY_TOP, NAVY_BOTTOM = (86, 132, 198), (30, 66, 126)
GREY_TOP, GREY_BOTTOM = (120, 124, 132), (66, 70, 78)
BORDER = (20, 36, 64)


def shaded(width, height, outer, inner, top, bottom, border):
    pixels = []
    for y in range(height):
        row = []
        fill = mix(top, bottom, y / max(1, height - 1))
        for x in range(width):
            a_out = coverage(outer, x, y)
            if a_out == 0:
                row.append((0, 0, 0, 0))
                continue
            a_in = coverage(inner, x, y)
            colour = mix(border, fill, a_in / a_out)
            row.append(tuple(int(round(c)) for c in colour) + (int(round(255 * a_out)),))
        pixels.append(row)
    return pixels


def switch_half(left, on):
    width, height = 122, 43
    outer = rounded_box(0.0, 0.0, width, height, 8.0, round_left=left, round_right=not left)
    inner = rounded_box(1.0, 1.0, width - 1.0, height - 1.0, 7.0, round_left=left, round_right=not left)
    top, bottom = (NAVY_TOP, NAVY_BOTTOM) if on else (GREY_TOP, GREY_BOTTOM)
    return width, height, shaded(width, height, outer, inner, top, bottom, BORDER)


def tick(x, y):
    """The check mark in a 24-point square: two strokes about 3 points wide."""
    def near(ax, ay, bx, by, half):
        dx, dy = bx - ax, by - ay
        t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
        px, py = ax + t * dx, ay + t * dy
        return (x - px) ** 2 + (y - py) ** 2 <= half * half
    return near(6.0, 12.5, 10.5, 17.0, 1.6) or near(10.5, 17.0, 18.5, 7.0, 1.6)


BOX_STYLES = {
    # style: (border, fill top, fill bottom, tick colour, filled when on only, round)
    "box": ((110, 110, 110), (255, 255, 255), (226, 226, 226), (40, 40, 40), False, 3.0),
    "dark": ((20, 20, 20), (96, 96, 96), (44, 44, 44), (255, 255, 255), False, 4.0),
    "glossy": ((24, 60, 120), (170, 206, 250), (50, 110, 200), (255, 255, 255), False, 11.5),
    "green": ((30, 110, 40), (126, 214, 120), (46, 150, 56), (255, 255, 255), True, 4.0),
    "mono": ((0, 0, 0), (255, 255, 255), (255, 255, 255), (0, 0, 0), False, 0.5),
}


def check_box(style, on):
    size = 24
    border, top, bottom, ink, on_only, radius = BOX_STYLES[style]
    if on_only and not on:
        top, bottom = (250, 250, 250), (228, 228, 228)
    outer = rounded_box(1.0, 1.0, size - 1.0, size - 1.0, radius)
    width = 1.0 if style != "mono" else 2.0
    inner = rounded_box(1.0 + width, 1.0 + width, size - 1.0 - width, size - 1.0 - width, max(0.5, radius - width))
    pixels = shaded(size, size, outer, inner, top, bottom, border)
    if on:
        for y in range(size):
            for x in range(size):
                a = coverage(tick, x, y)
                if a == 0:
                    continue
                r, g, b, alpha = pixels[y][x]
                colour = mix((r, g, b), ink, a)
                pixels[y][x] = tuple(int(round(c)) for c in colour) + (max(alpha, int(round(255 * a))),)
    return size, size, pixels


def left_nav():
    width, height = 8, 8
    # Dark slate, so the rows' white text reads on it.
    return width, height, [[(46, 54, 68, 255)] * width for _ in range(height)]


def top_nav_bar():
    width, height = 16, 44
    pixels = []
    for y in range(height):
        colour = mix((74, 118, 182), (28, 62, 118), y / (height - 1))
        pixels.append([tuple(int(round(c)) for c in colour) + (255,)] * width)
    return width, height, pixels


def shadow():
    # Clear on the left, a soft dark edge at the right, as the panel's border on the grid.
    width, height = 84, 8
    row = []
    for x in range(width):
        t = max(0.0, (x - 70) / 13.0)
        row.append((0, 0, 0, int(round(70 * t * t))))
    return width, height, [list(row) for _ in range(height)]


def arrow_right():
    """A small white chevron pointing right: the row has sub-categories."""
    size = 15

    def inside(x, y):
        def near(ax, ay, bx, by, half):
            dx, dy = bx - ax, by - ay
            t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
            px, py = ax + t * dx, ay + t * dy
            return (x - px) ** 2 + (y - py) ** 2 <= half * half
        return near(5.0, 3.0, 10.0, 7.5, 1.2) or near(10.0, 7.5, 5.0, 12.0, 1.2)
    pixels = []
    for y in range(size):
        pixels.append([(255, 255, 255, int(round(255 * coverage(inside, x, y)))) for x in range(size)])
    return size, size, pixels


def line_h():
    # A dark groove over a light edge between two rows.
    width = 8
    return width, 2, [[(24, 28, 36, 255)] * width, [(86, 96, 112, 255)] * width]


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "Resources")
    pictures = [
        ("catalogswitch_left.png", lambda: switch_half(True, False)),
        ("catalogswitch_left_on.png", lambda: switch_half(True, True)),
        ("catalogswitch_right.png", lambda: switch_half(False, False)),
        ("catalogswitch_right_on.png", lambda: switch_half(False, True)),
        ("left-nav.png", left_nav),
        ("topnavbar.png", top_nav_bar),
        ("shadow_navbar.png", shadow),
        ("icon-arrowrgt.png", arrow_right),
        ("line-h.png", line_h),
    ]
    for style in BOX_STYLES:
        for state in ("on", "off"):
            pictures.append(("cb_%s_%s.png" % (style, state), lambda s=style, o=(state == "on"): check_box(s, o)))
    for name, draw in pictures:
        width, height, pixels = draw()
        with open(os.path.join(folder, name), "wb") as out:
            out.write(png(width, height, pixels))


if __name__ == "__main__":
    main()
