// Draws the application's own pictures for the main bar, the home screen and the settings
// sheet, which a client's skin may replace: the bottom bar, the eight tab icons in their plain
// and selected looks, the logo, the badge, the home picture, the edit button and the
// application icon. Run by hand: draw_shell_pictures [folder], by default Resources/.
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

const Color kIconGrey = Color::fromRgb(96, 100, 108);
const Color kIconBlue = Color::fromRgb(49, 122, 181);
const Color kNavy = Color::fromRgb(24, 50, 92);
const Color kSky = Color::fromRgb(53, 107, 168);

void line(Context& c, Point a, Point b, double width)
{
    c.setLineWidth(width);
    c.strokeLine(a, b);
}

void arcPath(Context& c, Point center, double radius, double from, double to, int steps = 48)
{
    for (int i = 0; i <= steps; ++i) {
        double t = from + (to - from) * i / steps;
        Point p{center.x + radius * std::cos(t), center.y + radius * std::sin(t)};
        if (i == 0)
            c.moveTo(p);
        else
            c.lineTo(p);
    }
}

// --- Tab icons, 40 by 40, drawn in one colour -------------------------------------------

void house(Context& c, Color color)
{
    c.setFillColor(color);
    c.beginPath();
    c.moveTo({20, 6});
    c.lineTo({35, 19});
    c.lineTo({31, 19});
    c.lineTo({31, 33});
    c.lineTo({23.5, 33});
    c.lineTo({23.5, 24});
    c.lineTo({16.5, 24});
    c.lineTo({16.5, 33});
    c.lineTo({9, 33});
    c.lineTo({9, 19});
    c.lineTo({5, 19});
    c.closePath();
    c.fillPath();
    c.fillRect({27, 8, 3, 7}); // chimney
}

void catalog(Context& c, Color color)
{
    // An open book.
    c.setFillColor(color);
    c.beginPath();
    c.moveTo({5, 11});
    c.curveTo({10, 8}, {15, 8}, {19, 11});
    c.lineTo({19, 33});
    c.curveTo({15, 30}, {10, 30}, {5, 33});
    c.closePath();
    c.moveTo({21, 11});
    c.curveTo({25, 8}, {30, 8}, {35, 11});
    c.lineTo({35, 33});
    c.curveTo({30, 30}, {25, 30}, {21, 33});
    c.closePath();
    c.fillPath();
    c.setStrokeColor(Color::white().withAlpha(0.85));
    for (double y : {15.0, 19.0, 23.0}) {
        line(c, {8, y}, {16, y - 1.2}, 1.3);
        line(c, {24, y - 1.2}, {32, y}, 1.3);
    }
}

void customer(Context& c, Color color)
{
    c.setFillColor(color.withAlpha(0.55));
    c.fillEllipse({23, 9, 10, 10});
    c.beginPath();
    c.moveTo({20, 33});
    c.curveTo({21, 24}, {24, 21}, {28, 21});
    c.curveTo({32, 21}, {36, 24}, {37, 33});
    c.closePath();
    c.fillPath();
    c.setFillColor(color);
    c.fillEllipse({9, 6, 13, 13});
    c.beginPath();
    c.moveTo({3, 34});
    c.curveTo({4, 24}, {9, 20}, {15.5, 20});
    c.curveTo({22, 20}, {27, 24}, {28, 34});
    c.closePath();
    c.fillPath();
}

void inventory(Context& c, Color color)
{
    // Three stacked boxes with tape stripes.
    auto box = [&](Rect r) {
        c.setFillColor(color);
        c.fillRoundedRect(r, 2);
        c.setFillColor(Color::white().withAlpha(0.8));
        c.fillRect({r.midX() - 1.5, r.y(), 3, r.height() * 0.4});
    };
    box({4, 21, 15, 13});
    box({21, 21, 15, 13});
    box({12.5, 6, 15, 13});
}

void sales(Context& c, Color color)
{
    // A folder with a document standing in it.
    c.setFillColor(color.withAlpha(0.55));
    c.fillRoundedRect({10, 6, 20, 22}, 2);
    c.setStrokeColor(Color::white());
    for (double y : {11.0, 15.0, 19.0})
        line(c, {14, y}, {26, y}, 1.3);
    c.setFillColor(color);
    c.beginPath();
    c.moveTo({4, 14});
    c.lineTo({14, 14});
    c.lineTo({17, 17});
    c.lineTo({36, 17});
    c.lineTo({36, 34});
    c.lineTo({4, 34});
    c.closePath();
    c.fillPath();
}

void quote(Context& c, Color color)
{
    // A clipboard with lines and a tick.
    c.setFillColor(color);
    c.fillRoundedRect({8, 7, 24, 28}, 3);
    c.setFillColor(Color::white());
    c.fillRoundedRect({11, 11, 18, 21}, 1.5);
    c.setFillColor(color);
    c.fillRoundedRect({14, 4, 12, 6}, 2);
    c.setStrokeColor(color);
    for (double y : {17.0, 21.0, 25.0})
        line(c, {18, y}, {26, y}, 1.6);
    c.setLineWidth(1.6);
    c.beginPath();
    c.moveTo({13, 16.5});
    c.lineTo({14.5, 18});
    c.lineTo({16.5, 15.5});
    c.strokePath();
}

void sync(Context& c, Color color)
{
    // Two arrows chasing each other round a circle.
    Point centre{20, 20};
    c.setStrokeColor(color);
    c.setLineWidth(4);
    c.beginPath();
    arcPath(c, centre, 11, M_PI * 1.08, M_PI * 1.85);
    c.strokePath();
    c.beginPath();
    arcPath(c, centre, 11, M_PI * 0.08, M_PI * 0.85);
    c.strokePath();
    c.setFillColor(color);
    auto head = [&](double angle, double dir) {
        Point tip{centre.x + 11 * std::cos(angle), centre.y + 11 * std::sin(angle)};
        double tx = -std::sin(angle) * dir, ty = std::cos(angle) * dir; // along the circle
        double nx = std::cos(angle), ny = std::sin(angle);
        c.beginPath();
        c.moveTo({tip.x + tx * 6, tip.y + ty * 6});
        c.lineTo({tip.x + nx * 6, tip.y + ny * 6});
        c.lineTo({tip.x - nx * 6, tip.y - ny * 6});
        c.closePath();
        c.fillPath();
    };
    head(M_PI * 1.85, 1);
    head(M_PI * 0.85, 1);
}

void settings(Context& c, Color color)
{
    // A gear of eight teeth with a hole.
    Point o{20, 20};
    c.setFillColor(color);
    c.beginPath();
    const int teeth = 8;
    for (int i = 0; i < teeth * 4; ++i) {
        double a = (i / 4 + (i % 4) * 0.25) * 2 * M_PI / teeth - M_PI / 2;
        double r = (i % 4 == 1 || i % 4 == 2) ? 16.5 : 12.5;
        Point p{o.x + r * std::cos(a), o.y + r * std::sin(a)};
        if (i == 0)
            c.moveTo(p);
        else
            c.lineTo(p);
    }
    c.closePath();
    c.addEllipse({o.x - 5.5, o.y - 5.5, 11, 11});
    c.fillPath(true);
}

void icon(const std::string& name, const std::string& selectedName, void (*draw)(Context&, Color))
{
    save(name, {40, 40}, [&](Context& c) { draw(c, kIconGrey); });
    save(selectedName, {40, 40}, [&](Context& c) {
        // The selected look: the blue icon on a soft glow.
        c.setFillColor(kIconBlue.withAlpha(0.14));
        c.fillRoundedRect({1, 1, 38, 38}, 9);
        draw(c, kIconBlue);
    });
}

// --- Larger pictures ---------------------------------------------------------------------

void bottomBar(Context& c)
{
    Rect bar{0, 0, 1024, 66};
    c.fillLinearGradient(bar, {0, 0}, {0, 66},
                         {{0, Color::fromRgb(250, 251, 253)}, {0.5, Color::fromRgb(234, 238, 243)}, {1, Color::fromRgb(214, 220, 228)}});
    c.setFillColor(Color::fromRgb(160, 170, 184));
    c.fillRect({0, 0, 1024, 1});
    c.setFillColor(Color::white());
    c.fillRect({0, 1, 1024, 1});
    // A faint divider between the logo and the buttons.
    c.fillLinearGradient({300, 8, 1, 50}, {0, 8}, {0, 58},
                         {{0, Color::fromRgb(200, 206, 214, 0)}, {0.5, Color::fromRgb(190, 196, 206)}, {1, Color::fromRgb(200, 206, 214, 0)}});
}

void mark(Context& c, Rect r, Color back, Color front)
{
    // The application's mark: a rounded square with a rising chart line.
    c.setFillColor(back);
    c.fillRoundedRect(r, r.width() * 0.22);
    c.setStrokeColor(front);
    c.setLineWidth(r.width() * 0.09);
    c.beginPath();
    c.moveTo({r.x() + r.width() * 0.2, r.y() + r.height() * 0.7});
    c.lineTo({r.x() + r.width() * 0.42, r.y() + r.height() * 0.48});
    c.lineTo({r.x() + r.width() * 0.58, r.y() + r.height() * 0.6});
    c.lineTo({r.x() + r.width() * 0.8, r.y() + r.height() * 0.3});
    c.strokePath();
    c.setFillColor(front);
    double d = r.width() * 0.16;
    c.fillEllipse({r.x() + r.width() * 0.8 - d / 2, r.y() + r.height() * 0.3 - d / 2, d, d});
}

void logo(Context& c, bool highlighted)
{
    if (highlighted) {
        c.setFillColor(kSky.withAlpha(0.15));
        c.fillRoundedRect({0, 0, 222, 51}, 10);
    }
    mark(c, {6, 7, 37, 37}, highlighted ? kIconBlue : kNavy, Color::white());
    c.drawText("Brivanta", Point{52, 5}, gfx::Font("Helvetica-Bold", 26), highlighted ? kIconBlue : kNavy);
    // Small letters on a light bar: dark and bold enough to read at 4.5:1 and more.
    c.drawText("FIELD SALES", Point{54, 34}, gfx::Font("Helvetica-Bold", 10), Color::fromRgb(62, 68, 78));
}

void badge(Context& c)
{
    // A red disc in a white ring; stretched between 12-point caps it becomes a pill.
    c.setFillColor(Color::fromRgb(90, 10, 10, 0.3));
    c.fillEllipse({1, 2, 24, 24});
    c.setFillColor(Color::white());
    c.fillEllipse({1, 0.5, 24, 24});
    c.save();
    c.clipToRoundedRect({3, 2.5, 20, 20}, 10);
    c.fillLinearGradient({3, 2.5, 20, 20}, {0, 2.5}, {0, 22.5},
                         {{0, Color::fromRgb(244, 92, 80)}, {1, Color::fromRgb(196, 24, 22)}});
    c.restore();
}

// The home picture fills the screen above the bar. It carries no words: a picture stays the
// same in every language, while texts belong in the language tables.
constexpr Size kHomeSize{1024, 702};

void homePicture(Context& c)
{
    const double w = kHomeSize.width, h = kHomeSize.height;
    c.fillLinearGradient({0, 0, w, h}, {0, 0}, {0, h},
                         {{0, Color::fromRgb(226, 236, 248)}, {0.55, Color::fromRgb(244, 248, 252)}, {1, Color::fromRgb(236, 242, 249)}});
    // Soft rolling bands across the lower half, down to the bar.
    auto band = [&](double y, double amplitude, Color color) {
        c.setFillColor(color);
        c.beginPath();
        c.moveTo({0, y});
        c.curveTo({300, y - amplitude}, {620, y + amplitude}, {w, y - amplitude * 0.4});
        c.lineTo({w, h});
        c.lineTo({0, h});
        c.closePath();
        c.fillPath();
    };
    band(440, 60, Color::fromRgb(53, 107, 168, 0.10));
    band(515, 50, Color::fromRgb(53, 107, 168, 0.12));
    band(590, 40, Color::fromRgb(24, 50, 92, 0.10));
    // A quiet chart motif at the right.
    c.setStrokeColor(Color::fromRgb(53, 107, 168, 0.25));
    c.setLineWidth(3);
    c.beginPath();
    c.moveTo({620, 360});
    c.lineTo({700, 300});
    c.lineTo({770, 330});
    c.lineTo({860, 220});
    c.lineTo({940, 180});
    c.strokePath();
    for (Point p : {Point{700, 300}, Point{770, 330}, Point{860, 220}, Point{940, 180}}) {
        c.setFillColor(Color::white());
        c.fillEllipse({p.x - 7, p.y - 7, 14, 14});
        c.setFillColor(Color::fromRgb(53, 107, 168, 0.45));
        c.fillEllipse({p.x - 4.5, p.y - 4.5, 9, 9});
    }
    // The mark on a soft halo at the left.
    c.setFillColor(Color::white().withAlpha(0.55));
    c.fillEllipse({62, 120, 200, 200});
    mark(c, {102, 160, 120, 120}, kNavy, Color::white());
}

void editButton(Context& c)
{
    c.setFillColor(Color::fromRgb(236, 240, 246));
    c.fillRoundedRect({1, 1, 32, 32}, 7);
    c.setStrokeColor(Color::fromRgb(176, 186, 200));
    c.setLineWidth(1);
    c.strokeRoundedRect({1.5, 1.5, 31, 31}, 7);
    // A pencil at forty-five degrees.
    c.save();
    c.translate(17, 17);
    c.rotate(-M_PI / 4);
    c.setFillColor(kIconBlue);
    c.fillRoundedRect({-9, -3, 14, 6}, 1);
    c.setFillColor(Color::fromRgb(240, 200, 150));
    c.beginPath();
    c.moveTo({5, -3});
    c.lineTo({10, 0});
    c.lineTo({5, 3});
    c.closePath();
    c.fillPath();
    c.setFillColor(Color::fromRgb(60, 60, 60));
    c.beginPath();
    c.moveTo({8.3, -1});
    c.lineTo({10, 0});
    c.lineTo({8.3, 1});
    c.closePath();
    c.fillPath();
    c.setFillColor(Color::fromRgb(230, 120, 120));
    c.fillRoundedRect({-11, -3, 3, 6}, 1);
    c.restore();
}

void appIcon(Context& c)
{
    c.fillLinearGradient({0, 0, 72, 72}, {0, 0}, {0, 72}, {{0, Color::fromRgb(70, 130, 200)}, {1, kNavy}});
    mark(c, {10, 10, 52, 52}, Color::fromRgb(0, 0, 0, 0), Color::white());
}

} // namespace

int main(int argc, char** argv)
{
    if (argc > 1)
        picturetool::folder() = argv[1];
    icon("btn-home.png", "btn-home-on.png", house);
    icon("btn-catalog.png", "btn-catalog-on.png", catalog);
    icon("btn-customer.png", "btn-customer-on.png", customer);
    icon("btn-inventory.png", "btn-inventory-on.png", inventory);
    icon("btn-sales.png", "btn-sales-on.png", sales);
    icon("btn-quote.png", "btn-quote-on.png", quote);
    icon("btn-sync.png", "btn-sync-on.png", sync);
    icon("Icon_Settings_40x40.png", "Icon_Settings_On_40x40.png", settings);
    save("btmbar-bg.png", {1024, 66}, bottomBar);
    save("homelogo.png", {222, 51}, [](Context& c) { logo(c, false); });
    save("homelogo_highlight.png", {222, 51}, [](Context& c) { logo(c, true); });
    save("bg_badge.png", {26, 26}, badge);
    save("bg-home.png", kHomeSize, homePicture);
    save("btn-edit.png", {34, 34}, editButton);
    save("icon_dev.png", {72, 72}, [](Context& c) {
        c.clipToRoundedRect({0, 0, 72, 72}, 16);
        appIcon(c);
    });
    return picturetool::failures() == 0 ? 0 : 1;
}
