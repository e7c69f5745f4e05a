// Draws the document viewers' own pictures: the reader's thumbnail, page-view, bookmark and
// share buttons, and the video player's background and repeat buttons. Run by hand:
// draw_reader_pictures [folder], by default Resources/.
#include "PictureTool.h"

#include <cmath>
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

const Color kInk = Color::fromRgb(250, 250, 252);
const Color kShade = Color::fromRgb(40, 44, 52);
const Color kMark = Color::fromRgb(214, 48, 49);

// Four small pages in a square: the thumbnail grid.
void thumbs(Context& c)
{
    c.setFillColor(kInk);
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 2; ++col)
            c.fillRoundedRect(Rect(5 + col * 13, 4 + row * 14, 11, 12), 1.5);
}

// One page with lines of text: back to reading.
void pageView(Context& c)
{
    c.setFillColor(kInk);
    c.fillRoundedRect(Rect(8, 4, 18, 26), 2);
    c.setFillColor(kShade);
    for (int i = 0; i < 5; ++i)
        c.fillRect(Rect(11, 9 + i * 4, i == 4 ? 7 : 12, 1.5));
}

void ribbonPath(Context& c)
{
    c.beginPath();
    c.moveTo({11, 4});
    c.lineTo({23, 4});
    c.lineTo({23, 30});
    c.lineTo({17, 24});
    c.lineTo({11, 30});
    c.closePath();
}

void markOff(Context& c)
{
    c.setStrokeColor(kInk);
    c.setLineWidth(2);
    ribbonPath(c);
    c.strokePath();
}

void markOn(Context& c)
{
    c.setFillColor(kMark);
    ribbonPath(c);
    c.fillPath();
    c.setStrokeColor(kInk);
    c.setLineWidth(1.5);
    ribbonPath(c);
    c.strokePath();
}

// A tray with an arrow leaving it.
void shareIcon(Context& c)
{
    c.setStrokeColor(kInk);
    c.setLineWidth(2);
    c.beginPath();
    c.moveTo({12, 14});
    c.lineTo({8, 14});
    c.lineTo({8, 29});
    c.lineTo({26, 29});
    c.lineTo({26, 14});
    c.lineTo({22, 14});
    c.strokePath();
    c.strokeLine({17, 21}, {17, 5});
    c.beginPath();
    c.moveTo({12, 10});
    c.lineTo({17, 5});
    c.lineTo({22, 10});
    c.strokePath();
}

void videoBackground(Context& c)
{
    c.fillLinearGradient(Rect(0, 0, 1024, 748), {0, 0}, {0, 748},
                         {{0, Color::fromRgb(38, 42, 50)}, {1, Color::fromRgb(10, 11, 14)}});
}

// Two arrows chasing each other round a circle; lit when repeating.
void loopIcon(Context& c, bool on)
{
    Color colour = on ? Color::fromRgb(92, 184, 255) : kInk.withAlpha(0.7);
    c.setStrokeColor(colour);
    c.setFillColor(colour);
    c.setLineWidth(2.5);
    Point centre{25, 17};
    double r = 9;
    for (int half = 0; half < 2; ++half) {
        double start = half * M_PI + 0.35, end = start + M_PI - 0.7;
        c.beginPath();
        for (int i = 0; i <= 16; ++i) {
            double a = start + (end - start) * i / 16;
            Point p{centre.x + r * std::cos(a), centre.y + r * std::sin(a)};
            if (i == 0)
                c.moveTo(p);
            else
                c.lineTo(p);
        }
        c.strokePath();
        Point tip{centre.x + r * std::cos(end), centre.y + r * std::sin(end)};
        double t = end + M_PI / 2;
        c.beginPath();
        c.moveTo({tip.x + 4 * std::cos(t), tip.y + 4 * std::sin(t)});
        c.lineTo({tip.x + 4 * std::cos(end), tip.y + 4 * std::sin(end)});
        c.lineTo({tip.x - 4 * std::cos(end), tip.y - 4 * std::sin(end)});
        c.closePath();
        c.fillPath();
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1)
        picturetool::folder() = argv[1];
    save("Pdf-Thumbs.png", {34, 34}, thumbs);
    save("Pdf-View.png", {34, 34}, pageView);
    save("Pdf-Mark-N.png", {34, 34}, markOff);
    save("Pdf-Mark-Y.png", {34, 34}, markOn);
    save("btn-share.png", {34, 34}, shareIcon);
    save("video-bg.png", {1024, 748}, videoBackground);
    save("icon_loop_play.png", {50, 34}, [](Context& c) { loopIcon(c, true); });
    save("icon_loop_play_off.png", {50, 34}, [](Context& c) { loopIcon(c, false); });
    return picturetool::failures() ? 1 : 0;
}
