#!/usr/bin/python3
"""Draws the order screens' own pictures, which a client's skin may replace.

Writes quote-topbar.png, quote-btmbar.png, Icon_Discount_30x30.png,
icon_signed_en.png, icon_signed_cn.png and Line_Pixel_1x1.png into the folder given, by default
Resources/. Uses Pillow (python3-pil) and the Liberation and WenQuanYi fonts that
scripts/setup.sh installs.
"""
import os
import sys

from PIL import Image, ImageDraw, ImageFont

BOLD = "/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf"
CHINESE = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
SCALE = 4  # drawn large, then reduced, for smooth edges


def band(width, height, top, bottom, line):
    image = Image.new("RGBA", (width, height))
    draw = ImageDraw.Draw(image)
    for y in range(height):
        t = y / max(1, height - 1)
        draw.line([(0, y), (width, y)], fill=tuple(int(top[i] + (bottom[i] - top[i]) * t) for i in range(3)) + (255,))
    draw.line([(0, height - 1), (width, height - 1)], fill=line + (255,))
    return image


def smooth(size, paint):
    big = Image.new("RGBA", (size[0] * SCALE, size[1] * SCALE), (0, 0, 0, 0))
    paint(ImageDraw.Draw(big), SCALE)
    return big.resize(size, Image.LANCZOS)


def discount_icon(draw, s):
    # A price tag with a percent sign.
    draw.polygon([(4 * s, 10 * s), (12 * s, 2 * s), (28 * s, 2 * s), (28 * s, 18 * s), (20 * s, 26 * s), (4 * s, 26 * s)],
                 fill=(214, 72, 60, 255))
    draw.ellipse([22 * s, 5 * s, 25 * s, 8 * s], fill=(255, 255, 255, 255))
    font = ImageFont.truetype(BOLD, 15 * s)
    draw.text((15 * s, 16 * s), "%", font=font, fill=(255, 255, 255, 255), anchor="mm")


def stamp(text, font_path, size):
    def paint(draw, s):
        red = (196, 32, 40, 210)
        draw.rounded_rectangle([3 * s, 3 * s, 161 * s, 84 * s], radius=12 * s, outline=red, width=4 * s)
        draw.rounded_rectangle([10 * s, 10 * s, 154 * s, 77 * s], radius=8 * s, outline=red, width=2 * s)
        font = ImageFont.truetype(font_path, size * s)
        draw.text((82 * s, 44 * s), text, font=font, fill=red, anchor="mm")
    return smooth((164, 87), paint)


def main():
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "Resources")
    band(1024, 100, (236, 241, 248), (208, 219, 234), (170, 184, 204)).save(os.path.join(folder, "quote-topbar.png"))
    band(1024, 50, (92, 104, 122), (52, 60, 74), (30, 36, 46)).save(os.path.join(folder, "quote-btmbar.png"))
    smooth((30, 30), discount_icon).save(os.path.join(folder, "Icon_Discount_30x30.png"))
    stamp("SIGNED", BOLD, 34).save(os.path.join(folder, "icon_signed_en.png"))
    stamp("已签名", CHINESE, 38).save(os.path.join(folder, "icon_signed_cn.png"))
    Image.new("RGBA", (1, 1), (0, 0, 0, 255)).save(os.path.join(folder, "Line_Pixel_1x1.png"))


if __name__ == "__main__":
    main()
