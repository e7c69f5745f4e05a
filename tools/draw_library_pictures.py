#!/usr/bin/python3
"""Draws the sales library's pictures: the pane background and shadow, the
book tiles with their download and pause overlays, the update ribbons, favourite and info
buttons, and the sort, all-files and menu buttons.

Writes into the folder given, by default Resources/. Needs python3-pil (Debian's). Shapes are
drawn four times larger and scaled down for smooth edges.
"""
import os
import sys

from PIL import Image, ImageDraw, ImageFont

SCALE = 4
NAVY = (38, 80, 148, 255)
GREY = (120, 126, 136, 255)
LIGHT = (236, 240, 245, 255)
WHITE = (255, 255, 255, 255)
CLEAR = (0, 0, 0, 0)
FONT_BOLD = "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf"
FONT_CJK = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"


def canvas(w, h, fill=CLEAR):
    image = Image.new("RGBA", (w * SCALE, h * SCALE), fill)
    return image, ImageDraw.Draw(image)


def done(image, w, h):
    return image.resize((w, h), Image.LANCZOS)


def s(*values):
    return [v * SCALE for v in values]


def vertical_gradient(w, h, top, bottom):
    image = Image.new("RGBA", (w, h))
    draw = ImageDraw.Draw(image)
    for y in range(h):
        t = y / max(1, h - 1)
        draw.line([(0, y), (w, y)], fill=tuple(int(top[i] + (bottom[i] - top[i]) * t) for i in range(4)))
    return image


def background():
    return vertical_gradient(1024, 768, (246, 248, 251, 255), (222, 228, 236, 255))


def shadow():
    return vertical_gradient(1024, 15, (0, 0, 0, 70), (0, 0, 0, 0))


def search_field():
    image, draw = canvas(300, 34)
    draw.rounded_rectangle(s(1, 1, 299, 33), radius=16 * SCALE, fill=WHITE, outline=(170, 178, 190, 255),
                           width=SCALE)
    # The magnifier at the left.
    draw.ellipse(s(10, 9, 22, 21), outline=GREY, width=2 * SCALE)
    draw.line(s(20, 19, 26, 25), fill=GREY, width=2 * SCALE)
    return done(image, 300, 34)


def book(info_corner, tint=WHITE):
    """A closed book seen from the front: a spine, a page edge and a shadow, 180 by 240."""
    w, h = 180, 240
    image, draw = canvas(w, h)
    draw.rounded_rectangle(s(16, 14, 170, 234), radius=6 * SCALE, fill=(0, 0, 0, 40))
    draw.rounded_rectangle(s(12, 8, 166, 228), radius=6 * SCALE, fill=(250, 250, 252, 255),
                           outline=(190, 196, 206, 255), width=SCALE)
    draw.rectangle(s(12, 8, 24, 228), fill=(214, 220, 230, 255))
    draw.line(s(24, 8, 24, 228), fill=(180, 188, 200, 255), width=SCALE)
    for y in (214, 218, 222):
        draw.line(s(28, y, 162, y), fill=(222, 226, 232, 255), width=SCALE)
    if info_corner:
        # A light band behind the info button and the format text.
        draw.rectangle(s(25, 200, 165, 212), fill=(238, 242, 248, 255))
    return done(image, w, h)


def overlay(kind):
    w, h = 180, 240
    image, draw = canvas(w, h)
    draw.rounded_rectangle(s(12, 8, 166, 228), radius=6 * SCALE, fill=(20, 30, 50, 200))
    cx, cy = 89, 100
    draw.ellipse(s(cx - 28, cy - 28, cx + 28, cy + 28), outline=WHITE, width=3 * SCALE)
    if kind == "download":
        draw.rectangle(s(cx - 5, cy - 16, cx + 5, cy + 2), fill=WHITE)
        draw.polygon(s(cx - 14, cy + 2, cx + 14, cy + 2, cx, cy + 16), fill=WHITE)
    else:
        draw.rectangle(s(cx - 12, cy - 14, cx - 4, cy + 14), fill=WHITE)
        draw.rectangle(s(cx + 4, cy - 14, cx + 12, cy + 14), fill=WHITE)
    return done(image, w, h)


def ribbon(text, font_path, size):
    w, h = 83, 72
    image, draw = canvas(w, h)
    # A band across the top left corner.
    draw.polygon(s(0, 34, 34, 0, 62, 0, 0, 62), fill=(214, 64, 52, 255))
    draw.line(s(0, 34, 34, 0), fill=(240, 120, 100, 255), width=SCALE)
    band = Image.new("RGBA", (70 * SCALE, 16 * SCALE), CLEAR)
    font = ImageFont.truetype(font_path, size * SCALE)
    ImageDraw.Draw(band).text((35 * SCALE, 8 * SCALE), text, font=font, fill=WHITE, anchor="mm")
    band = band.rotate(45, expand=True, resample=Image.BICUBIC)
    image.alpha_composite(band, (int(-6 * SCALE), int(-6 * SCALE)))
    return done(image, w, h)


def star(filled, size=40):
    import math
    image, draw = canvas(size, size)
    cx = cy = size / 2
    points = []
    for i in range(10):
        r = (size * 0.42) if i % 2 == 0 else (size * 0.18)
        a = -math.pi / 2 + i * math.pi / 5
        points += [(cx + r * math.cos(a)) * SCALE, (cy + r * math.sin(a)) * SCALE]
    if filled:
        draw.polygon(points, fill=(245, 180, 30, 255), outline=(200, 130, 10, 255))
    else:
        draw.polygon(points, fill=(255, 255, 255, 200), outline=GREY)
        draw.line(points + points[:2], fill=GREY, width=2 * SCALE)
    return done(image, size, size)


def info(on):
    image, draw = canvas(24, 24)
    colour = NAVY if on else (90, 130, 190, 255)
    draw.ellipse(s(1, 1, 23, 23), fill=colour)
    draw.ellipse(s(10.5, 5, 13.5, 8), fill=WHITE)
    draw.rounded_rectangle(s(10.5, 10, 13.5, 19), radius=SCALE, fill=WHITE)
    return done(image, 24, 24)


def sort_button(on):
    image, draw = canvas(110, 30)
    fill = (214, 222, 234, 255) if on else (246, 248, 251, 255)
    draw.rounded_rectangle(s(1, 1, 109, 29), radius=6 * SCALE, fill=fill, outline=(170, 178, 190, 255),
                           width=SCALE)
    draw.polygon(s(92, 12, 102, 12, 97, 18), fill=GREY)
    return done(image, 110, 30)


def round_icon(kind):
    image, draw = canvas(34, 34)
    draw.ellipse(s(1, 1, 33, 33), fill=NAVY)
    if kind == "download":
        draw.rectangle(s(14.5, 8, 19.5, 17), fill=WHITE)
        draw.polygon(s(10, 17, 24, 17, 17, 25), fill=WHITE)
        draw.line(s(10, 27, 24, 27), fill=WHITE, width=2 * SCALE)
    elif kind == "update":
        draw.arc(s(9, 9, 25, 25), start=200, end=500, fill=WHITE, width=3 * SCALE)
        draw.polygon(s(21, 6, 27, 12, 19, 14), fill=WHITE)
    else:
        draw.line(s(11, 11, 23, 23), fill=WHITE, width=3 * SCALE)
        draw.line(s(23, 11, 11, 23), fill=WHITE, width=3 * SCALE)
    return done(image, 34, 34)


def menu_icon(split):
    image, draw = canvas(30, 30)
    if split:
        draw.rectangle(s(3, 5, 11, 25), outline=WHITE, width=2 * SCALE)
        for y in (8, 14, 20):
            draw.line(s(15, y + 1, 27, y + 1), fill=WHITE, width=2 * SCALE)
    else:
        for y in (8, 15, 22):
            draw.rounded_rectangle(s(4, y - 1.5, 26, y + 1.5), radius=SCALE, fill=WHITE)
    return done(image, 30, 30)


def selected_row():
    image = vertical_gradient(244, 60, (214, 228, 246, 255), (190, 210, 238, 255))
    ImageDraw.Draw(image).rectangle([0, 0, 3, 59], fill=NAVY)
    return image


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "Resources")
    pictures = {
        "background.png": background(),
        "bg-Shadow.png": shadow(),
        "book.png": book(False),
        "book_i.png": book(True),
        "book_download.png": overlay("download"),
        "book_paused.png": overlay("pause"),
        "ribbon_update_en.png": ribbon("UPDATE", FONT_BOLD, 11),
        "ribbon_update_cn.png": ribbon("有更新", FONT_CJK, 12),
        "btn-favAdded.png": star(True),
        "btn-addfav.png": star(False),
        "icon_i.png": info(False),
        "icon_i_on.png": info(True),
        "bth-sort.png": sort_button(False),
        "bth-sort_on.png": sort_button(True),
        "icon_download.png": round_icon("download"),
        "icon_update.png": round_icon("update"),
        "icon_cancel.png": round_icon("cancel"),
        "icon-menu.png": menu_icon(False),
        "icon-menu-split.png": menu_icon(True),
    }
    for name, image in pictures.items():
        image.save(os.path.join(out, name), optimize=True)


if __name__ == "__main__":
    main()
