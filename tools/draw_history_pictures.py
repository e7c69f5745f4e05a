#!/usr/bin/python3
"""Draws the orders list's own pictures, which a client's skin may replace.

Writes icon_signed_small_en.png and icon_signed_small_cn.png (the badge of a signed order),
bg_popbutton.png, btn_copy_highlighted.png and btn_delete_highlighted.png (the copy/delete
popover's buttons) into the folder given, by default Resources/. Uses Pillow (python3-pil) and
the Liberation and WenQuanYi fonts that scripts/setup.sh installs.
"""
import os
import sys

from PIL import Image, ImageDraw, ImageFont

BOLD = "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf"
CHINESE = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
SCALE = 4  # drawn large, then reduced, for smooth edges


def smooth(size, paint):
    big = Image.new("RGBA", (size[0] * SCALE, size[1] * SCALE), (0, 0, 0, 0))
    paint(ImageDraw.Draw(big), SCALE)
    return big.resize(size, Image.LANCZOS)


def small_stamp(text, font_path, size):
    # The row's badge: a red stamp small enough to sit between the customer and the price.
    def paint(draw, s):
        red = (196, 32, 40, 225)
        draw.rounded_rectangle([1 * s, 1 * s, 61 * s, 29 * s], radius=6 * s, outline=red, width=2 * s)
        font = ImageFont.truetype(font_path, size * s)
        draw.text((31 * s, 15 * s), text, font=font, fill=red, anchor="mm")
    return smooth((62, 30), paint)


def pop_button(top, bottom, rim):
    # Square ends: the two buttons sit side by side with a one-point gap between them.
    width, height = 60, 34
    image = Image.new("RGBA", (width, height))
    draw = ImageDraw.Draw(image)
    for y in range(height):
        t = y / (height - 1)
        draw.line([(0, y), (width, y)], fill=tuple(int(top[i] + (bottom[i] - top[i]) * t) for i in range(3)) + (255,))
    draw.rectangle([0, 0, width - 1, height - 1], outline=rim + (255,))
    return image


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "Resources")
    small_stamp("SIGNED", BOLD, 13).save(os.path.join(folder, "icon_signed_small_en.png"))
    small_stamp("已签名", CHINESE, 15).save(os.path.join(folder, "icon_signed_small_cn.png"))
    pop_button((250, 251, 253), (222, 227, 235), (168, 178, 194)).save(os.path.join(folder, "bg_popbutton.png"))
    pop_button((104, 150, 212), (38, 80, 148), (20, 46, 90)).save(os.path.join(folder, "btn_copy_highlighted.png"))
    pop_button((222, 84, 76), (170, 36, 32), (110, 20, 18)).save(os.path.join(folder, "btn_delete_highlighted.png"))


if __name__ == "__main__":
    main()
