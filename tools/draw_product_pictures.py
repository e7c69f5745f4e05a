#!/usr/bin/env python3
"""Draws the application's own pictures for the product page and the image viewer, which a
client's skin may replace.

Writes into the folder given (by default Resources/): the information panel and its divider,
the information button (off and on), the viewer's arrows (plain and highlighted), the slide
show icon, the tag button (plain and selected, stretchable), the related products and
materials buttons and the compare buttons (plain and added); the favourite buttons are the
library's.
Shapes are sampled 4 by 4 per pixel for smooth edges; only the standard library is used.
"""
import os
import struct
import sys
import zlib

SAMPLES = 4
THEME = (176, 48, 96)
NAVY = (20, 46, 90)
WHITE = (255, 255, 255)
GREY = (150, 150, 150)


def png(width, height, pixels):
    raw = b"".join(b"\0" + bytes(c for px in row for c in px) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def rounded(x0, y0, x1, y1, r):
    def inside(x, y):
        if not (x0 <= x <= x1 and y0 <= y <= y1):
            return False
        cx = min(max(x, x0 + r), x1 - r)
        cy = min(max(y, y0 + r), y1 - r)
        return (x - cx) ** 2 + (y - cy) ** 2 <= r * r
    return inside


def circle(cx, cy, r):
    return lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def ring(cx, cy, r, w):
    return lambda x, y: (r - w) ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def box(x0, y0, x1, y1):
    return lambda x, y: x0 <= x <= x1 and y0 <= y <= y1


def polygon(points):
    def inside(x, y):
        hit = False
        n = len(points)
        for i in range(n):
            (ax, ay), (bx, by) = points[i], points[(i + 1) % n]
            if (ay > y) != (by > y) and x < (bx - ax) * (y - ay) / (by - ay) + ax:
                hit = not hit
        return hit
    return inside


def stroke(points, w):
    """A thick polyline with round joins."""
    def inside(x, y):
        for (ax, ay), (bx, by) in zip(points, points[1:]):
            dx, dy = bx - ax, by - ay
            t = max(0.0, min(1.0, ((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy)))
            if (x - ax - t * dx) ** 2 + (y - ay - t * dy) ** 2 <= (w / 2) ** 2:
                return True
        return False
    return inside


def draw(width, height, layers):
    """Layers of (shape, (r, g, b, a)) composited in order over transparency."""
    pixels = []
    for y in range(height):
        row = []
        for x in range(width):
            acc = [0.0, 0.0, 0.0, 0.0]  # premultiplied
            for shape, colour in layers:
                hits = 0
                for sy in range(SAMPLES):
                    for sx in range(SAMPLES):
                        hits += shape(x + (sx + 0.5) / SAMPLES, y + (sy + 0.5) / SAMPLES)
                a = colour[3] * hits / (SAMPLES * SAMPLES)
                if a == 0:
                    continue
                for i in range(3):
                    acc[i] = colour[i] * a + acc[i] * (1 - a)
                acc[3] = a + acc[3] * (1 - a)
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append(tuple(int(round(min(255, acc[i] / acc[3]))) for i in range(3))
                           + (int(round(255 * acc[3])),))
        pixels.append(row)
    return pixels


def rgba(rgb, a=1.0):
    return (rgb[0], rgb[1], rgb[2], a)


def pictures():
    out = {}
    out["product-info-bg.png"] = (372, 160, [
        (rounded(0, 0, 372, 160, 12), rgba(GREY)),
        (rounded(1, 1, 371, 159, 11), rgba((250, 250, 252))),
        (rounded(1, 1, 371, 40, 11), rgba(WHITE, 0.6)),
    ])
    out["product-info-line.png"] = (358, 2, [(box(0, 0, 358, 2), rgba((200, 200, 205)))])
    for name, bg, fg in (("product-info-off.png", NAVY, WHITE), ("product-info-on.png", WHITE, NAVY)):
        out[name] = (50, 50, [
            (circle(25, 25, 21), rgba(bg, 0.9)),
            (ring(25, 25, 21, 2), rgba(WHITE)),
            (circle(25, 15.5, 3), rgba(fg)),
            (rounded(22.5, 21, 27.5, 36, 2), rgba(fg)),
        ])
    for side in ("Left", "Right"):
        for lit in (False, True):
            chevron = [(15, 30), (8, 43.5), (15, 57)] if side == "Left" else [(8, 30), (15, 43.5), (8, 57)]
            name = "Icon_Arrow_%s%s_23x87.png" % (side, "_Highlighted" if lit else "")
            out[name] = (23, 87, [
                (rounded(0, 0, 23, 87, 6), rgba((0, 0, 0), 0.55 if lit else 0.35)),
                (stroke(chevron, 3.5), rgba(THEME if lit else WHITE)),
            ])
    out["icon_slideshow.png"] = (32, 24, [
        (rounded(1, 3, 27, 23, 2), rgba(WHITE)),
        (rounded(3, 5, 25, 21, 1), rgba(NAVY)),
        (rounded(5, 1, 31, 4, 1), rgba(WHITE, 0.7)),
        (polygon([(11, 8), (20, 13), (11, 18)]), rgba(WHITE)),
    ])
    for name, fill, border in (("btn_tag.png", (245, 245, 245), (180, 180, 180)),
                               ("btn_tag_selected.png", (246, 214, 226), THEME)):
        out[name] = (40, 35, [
            (rounded(0, 0, 40, 35, 12), rgba(border)),
            (rounded(1, 1, 39, 34, 11), rgba(fill)),
        ])

    def round_button(symbol_layers, bg=NAVY, size=44):
        return (size, size, [(circle(size / 2, size / 2, size / 2 - 1), rgba(bg)),
                             (ring(size / 2, size / 2, size / 2 - 1, 1.5), rgba(WHITE, 0.6))] + symbol_layers)

    # Related products: two overlapping cards; materials: a page with a folded corner.
    out["btn-related.png"] = round_button([
        (rounded(10, 12, 26, 30, 2), rgba(WHITE, 0.7)),
        (rounded(18, 16, 34, 34, 2), rgba(WHITE)),
    ])
    out["btn-materials.png"] = round_button([
        (polygon([(13, 9), (26, 9), (32, 15), (32, 35), (13, 35)]), rgba(WHITE)),
        (polygon([(26, 9), (26, 15), (32, 15)]), rgba((190, 190, 200))),
        (box(16, 20, 29, 21.5), rgba(NAVY)), (box(16, 25, 29, 26.5), rgba(NAVY)), (box(16, 30, 25, 31.5), rgba(NAVY)),
    ])
    # Compare: two bars of a balance; added, on the theme colour with a tick.
    scale = [(stroke([(22, 10), (22, 34)], 2.5), rgba(WHITE)), (stroke([(10, 16), (34, 16)], 2.5), rgba(WHITE)),
             (polygon([(6, 26), (14, 26), (10, 18)]), rgba(WHITE)), (polygon([(30, 26), (38, 26), (34, 18)]), rgba(WHITE)),
             (stroke([(15, 34), (29, 34)], 3), rgba(WHITE))]
    out["btn-addcompare.png"] = round_button(scale)
    out["btn-compareAdded.png"] = round_button(scale, bg=THEME)
    return out


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "Resources")
    for name, (width, height, layers) in pictures().items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(png(width, height, draw(width, height, layers)))


if __name__ == "__main__":
    main()
