// Draws the catalogue's own pictures, which a client's skin may replace: the attribute
// chooser's bar, arrows, list background and separator, the icon button's icons, the
// add-to-order sheet's quantity controls and divider, the tile's cart button and separator,
// and the panel's selected-row background. Run by hand: draw_catalog_pictures [folder], by
// default Resources/.
#include "PictureTool.h"

#include <cstdio>
#include <functional>
#include <string>

namespace {

using gfx::Color;
using gfx::Context;
using gfx::Point;
using gfx::Rect;
using gfx::Size;
using picturetool::save;

const Color kAccent = Color::fromRgb(176, 48, 96);
const Color kGrey = Color::fromRgb(120, 124, 130);
const Color kLine = Color::fromRgb(206, 208, 212);
const Color kWhite = Color::white();

void triangle(Context& c, Point a, Point b, Point d, Color color)
{
    c.setFillColor(color);
    c.beginPath();
    c.moveTo(a);
    c.lineTo(b);
    c.lineTo(d);
    c.closePath();
    c.fillPath();
}

// A shopping cart, outlined, in the given colour, inside a 36 x 31 box.
void cart(Context& c, Color color)
{
    c.setStrokeColor(color);
    c.setLineWidth(2);
    c.beginPath();
    c.moveTo({5, 8});
    c.lineTo({10, 8});
    c.lineTo({14, 20});
    c.lineTo({27, 20});
    c.lineTo({30, 11});
    c.lineTo({11.5, 11});
    c.strokePath();
    c.setFillColor(color);
    c.fillEllipse({14, 22, 4, 4});
    c.fillEllipse({24, 22, 4, 4});
}

void drawAll()
{
    // Attribute chooser: a white rounded bar, its arrow off (down) and on (up).
    save("select-bar.png", {150, 28}, [](Context& c) {
        c.setFillColor(kWhite);
        c.fillRoundedRect({0.5, 0.5, 149, 27}, 4);
        c.setStrokeColor(kLine);
        c.setLineWidth(1);
        c.strokeRoundedRect({0.5, 0.5, 149, 27}, 4);
        c.setStrokeColor(Color::fromRgb(230, 231, 233));
        c.strokeLine({126, 4}, {126, 24});
    });
    save("select-off.png", {24, 28}, [](Context& c) { triangle(c, {7, 11}, {17, 11}, {12, 17}, kGrey); });
    save("select-on.png", {24, 28}, [](Context& c) { triangle(c, {7, 17}, {17, 17}, {12, 11}, kAccent); });
    // The open list: its values are drawn in the system's dark text, so the list is light.
    save("dropdownviewbg.png", {160, 112}, [](Context& c) {
        c.setFillColor(kWhite);
        c.fillRoundedRect({0.5, 0.5, 159, 111}, 5);
        c.setStrokeColor(kLine);
        c.setLineWidth(1);
        c.strokeRoundedRect({0.5, 0.5, 159, 111}, 5);
    });
    save("viewseparateline.png", {150, 1}, [](Context& c) {
        c.setFillColor(Color::fromRgb(230, 231, 233));
        c.fillRect({0, 0, 150, 1});
    });

    // Icon button icons, 36 x 31, white on the button's dark face.
    save("icon_addToOrder.png", {36, 31}, [](Context& c) { cart(c, kWhite); });
    save("icon_play.png", {36, 31}, [](Context& c) {
        c.setStrokeColor(kWhite);
        c.setLineWidth(1.5);
        c.strokeEllipse({8, 5, 21, 21});
        triangle(c, {15, 10}, {15, 21}, {24, 15.5}, kWhite);
    });
    save("icon_file.png", {36, 31}, [](Context& c) {
        c.setStrokeColor(kWhite);
        c.setLineWidth(1.5);
        c.beginPath();
        c.moveTo({11, 4});
        c.lineTo({21, 4});
        c.lineTo({26, 9});
        c.lineTo({26, 27});
        c.lineTo({11, 27});
        c.closePath();
        c.strokePath();
        for (double y : {13.0, 17.0, 21.0})
            c.strokeLine({14, y}, {23, y});
    });
    save("icon_ppt.png", {36, 31}, [](Context& c) {
        c.setStrokeColor(kWhite);
        c.setLineWidth(1.5);
        c.strokeRect({7, 6, 22, 15});
        c.strokeLine({18, 21}, {18, 26});
        c.strokeLine({13, 27}, {23, 27});
        c.setFillColor(kWhite);
        c.fillRect({10, 15, 3, 4});
        c.fillRect({15, 12, 3, 7});
        c.fillRect({20, 9, 3, 10});
    });

    // Add-to-order sheet: divider, minus and plus, the quantity field's face.
    save("productDetaildivideline.png", {360, 2}, [](Context& c) {
        c.setFillColor(kLine);
        c.fillRect({0, 0, 360, 1});
        c.setFillColor(kWhite);
        c.fillRect({0, 1, 360, 1});
    });
    auto round = [](Context& c, bool plus) {
        c.setFillColor(Color::fromRgb(238, 239, 241));
        c.fillEllipse({1, 1, 32, 32});
        c.setStrokeColor(kGrey);
        c.setLineWidth(1);
        c.strokeEllipse({1.5, 1.5, 31, 31});
        c.setStrokeColor(kAccent);
        c.setLineWidth(3);
        c.strokeLine({10, 17}, {24, 17});
        if (plus)
            c.strokeLine({17, 10}, {17, 24});
    };
    save("icon-remove.png", {34, 34}, [&](Context& c) { round(c, false); });
    save("icon-add.png", {34, 34}, [&](Context& c) { round(c, true); });
    save("input.png", {120, 34}, [](Context& c) {
        c.setFillColor(kWhite);
        c.fillRoundedRect({0.5, 0.5, 119, 33}, 5);
        c.setStrokeColor(Color::fromRgb(180, 183, 188));
        c.setLineWidth(1);
        c.strokeRoundedRect({0.5, 0.5, 119, 33}, 5);
    });

    // Product tile: its cart button and separator; the panel's selected row.
    save("btn-cart.png", {44, 40}, [](Context& c) {
        c.setFillColor(kAccent);
        c.fillRoundedRect({1, 1, 42, 38}, 6);
        c.translate(4, 5);
        cart(c, kWhite);
    });
    save("divideline.png", {2, 200}, [](Context& c) {
        c.setFillColor(kLine);
        c.fillRect({0, 0, 1, 200});
        c.setFillColor(kWhite);
        c.fillRect({1, 0, 1, 200});
    });
    save("navon-bg.png", {240, 58}, [](Context& c) {
        c.fillLinearGradient({0, 0, 240, 58}, {0, 0}, {0, 58},
                             {{0, Color::fromRgb(74, 132, 196)}, {1, Color::fromRgb(44, 96, 160)}});
        c.setFillColor(Color::fromRgb(255, 255, 255, 0.25));
        c.fillRect({0, 0, 240, 1});
    });
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1)
        picturetool::folder() = argv[1];
    drawAll();
    return picturetool::failures() ? 1 : 0;
}
