// Draws the application's own pictures for the login screen: the welcome background, the
// field backing, the check box, the login and free-trial buttons, and for the shortcut tiles
// the tile in its plain and pressed looks, the delete badge, the two demo tenants' logos and
// the picture of a saved login without a logo. Run by hand: draw_login_pictures [folder], by default
// Resources/.
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

const Color kSky = Color::fromRgb(53, 107, 168);
const Color kNavy = Color::fromRgb(24, 50, 92);

// A rounded card with a soft shadow below it; the pressed look is tinted blue.
void tile(Context& c, bool pressed)
{
    Rect card{2, 1, 227, 55};
    c.setFillColor(Color::fromRgb(0, 0, 0, 0.18));
    c.fillRoundedRect({card.x(), card.y() + 3, card.width(), card.height()}, 9);
    c.save();
    c.clipToRoundedRect(card, 9);
    if (pressed)
        c.fillLinearGradient(card, {0, card.y()}, {0, card.maxY()},
                             {{0, Color::fromRgb(226, 238, 251)}, {1, Color::fromRgb(188, 212, 240)}});
    else
        c.fillLinearGradient(card, {0, card.y()}, {0, card.maxY()},
                             {{0, Color::white()}, {1, Color::fromRgb(232, 236, 242)}});
    c.restore();
    c.setStrokeColor(pressed ? kSky : Color::fromRgb(176, 186, 200));
    c.setLineWidth(pressed ? 2 : 1);
    c.strokeRoundedRect({card.x() + 0.5, card.y() + 0.5, card.width() - 1, card.height() - 1}, 8.5);
}

void deleteBadge(Context& c)
{
    c.setFillColor(Color::fromRgb(0, 0, 0, 0.3));
    c.fillEllipse({2, 3, 26, 26});
    c.setFillColor(Color::white());
    c.fillEllipse({2, 1, 26, 26});
    c.setFillColor(Color::fromRgb(204, 36, 30));
    c.fillEllipse({4.5, 3.5, 21, 21});
    c.setStrokeColor(Color::white());
    c.setLineWidth(2.6);
    c.strokeLine({10.5, 9.5}, {19.5, 18.5});
    c.strokeLine({19.5, 9.5}, {10.5, 18.5});
}

// A demo tenant's logo, 90 by 40: its mark and its name.
void tenantLogo(Context& c, const std::string& name, Color color, bool round)
{
    c.setFillColor(color);
    if (round)
        c.fillEllipse({2, 8, 24, 24});
    else
        c.fillRoundedRect({2, 8, 24, 24}, 5);
    c.setFillColor(Color::white());
    c.fillRect({8, 18, 12, 4});
    c.fillRect({12, 14, 4, 12});
    c.drawText(name, Point{30, 11}, gfx::Font("Helvetica-Bold", 13), color);
}

// A saved login without a logo: an office building, 50 by 40.
void defaultShortcut(Context& c)
{
    c.setFillColor(Color::fromRgb(150, 164, 184));
    c.fillRoundedRect({10, 4, 30, 34}, 3);
    c.setFillColor(Color::white());
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col)
            c.fillRect({15.0 + col * 8, 9.0 + row * 8, 5, 5});
    c.setFillColor(kNavy);
    c.fillRect({21, 31, 8, 7});
}

} // namespace

// A deep blue sky with soft light bands and a pale floor where the tile row lies.
void welcomeBackground(Context& c)
{
    Rect all{0, 0, 1024, 748};
    c.fillLinearGradient(all, {0, 0}, {0, 748},
                         {{0, Color::fromRgb(20, 44, 84)}, {0.55, Color::fromRgb(40, 86, 140)}, {1, Color::fromRgb(16, 36, 70)}});
    c.setFillColor(Color::fromRgb(255, 255, 255, 0.05));
    for (int i = 0; i < 5; ++i) {
        c.beginPath();
        c.moveTo({0, 120.0 + i * 46});
        c.curveTo({340, 40.0 + i * 50}, {700, 260.0 + i * 30}, {1024, 150.0 + i * 44});
        c.lineTo({1024, 180.0 + i * 44});
        c.curveTo({700, 290.0 + i * 30}, {340, 70.0 + i * 50}, {0, 150.0 + i * 46});
        c.closePath();
        c.fillPath();
    }
    // The form's panel behind the fields and buttons.
    c.setFillColor(Color::fromRgb(255, 255, 255, 0.08));
    c.fillRoundedRect({320, 250, 378, 330}, 14);
    c.setStrokeColor(Color::fromRgb(255, 255, 255, 0.18));
    c.setLineWidth(1);
    c.strokeRoundedRect({320.5, 250.5, 377, 329}, 14);
    // The name over the form; a picture carries no other text, as it serves every language.
    c.drawText("Brivanta", Rect{0, 150, 1024, 70}, gfx::Font::boldSystemFont(48), Color::white(), gfx::TextAlignment::Center);
    // The floor of the tile row.
    c.fillLinearGradient({0, 610, 1024, 138}, {0, 610}, {0, 748},
                         {{0, Color::fromRgb(255, 255, 255, 0.0)}, {0.2, Color::fromRgb(255, 255, 255, 0.10)}, {1, Color::fromRgb(255, 255, 255, 0.04)}});
}

void inputBacking(Context& c)
{
    Rect box{0.5, 0.5, 337, 38};
    c.setFillColor(Color::white());
    c.fillRoundedRect(box, 6);
    c.setStrokeColor(Color::fromRgb(150, 170, 196));
    c.setLineWidth(1);
    c.strokeRoundedRect(box, 6);
}

void checkbox(Context& c, bool on)
{
    Rect box{2.5, 2.5, 21, 21};
    c.setFillColor(Color::white());
    c.fillRoundedRect(box, 4);
    c.setStrokeColor(kSky);
    c.setLineWidth(1.5);
    c.strokeRoundedRect(box, 4);
    if (on) {
        c.setStrokeColor(kNavy);
        c.setLineWidth(3);
        c.beginPath();
        c.moveTo({7, 13});
        c.lineTo({11.5, 18});
        c.lineTo({20, 7});
        c.strokePath();
    }
}

void button(Context& c, Size size, Color top, Color bottom)
{
    Rect box{0, 0, size.width, size.height};
    c.save();
    c.clipToRoundedRect(box, 6);
    c.fillLinearGradient(box, {0, 0}, {0, size.height}, {{0, top}, {1, bottom}});
    c.restore();
    c.setStrokeColor(Color::fromRgb(0, 0, 0, 0.25));
    c.setLineWidth(1);
    c.strokeRoundedRect({0.5, 0.5, size.width - 1, size.height - 1}, 6);
}

void freeTrial(Context& c)
{
    button(c, {116, 35}, Color::fromRgb(250, 170, 60), Color::fromRgb(222, 120, 20));
    // An arrow in the right end, beside the title's inset.
    c.setFillColor(Color::white());
    c.beginPath();
    c.moveTo({96, 11});
    c.lineTo({106, 17.5});
    c.lineTo({96, 24});
    c.closePath();
    c.fillPath();
}

int main(int argc, char** argv)
{
    if (argc > 1)
        picturetool::folder() = argv[1];
    save("logobtn.png", {231, 60}, [](Context& c) { tile(c, false); });
    save("logobtn-on.png", {231, 60}, [](Context& c) { tile(c, true); });
    save("file-del.png", {30, 30}, deleteBadge);
    save("icon_tolbernix.png", {90, 40}, [](Context& c) { tenantLogo(c, "Tolbernix", Color::fromRgb(196, 92, 24), false); });
    save("icon_wendloft.png", {90, 40}, [](Context& c) { tenantLogo(c, "Wendloft", Color::fromRgb(38, 128, 92), true); });
    save("icon-default_shortchut.png", {50, 40}, defaultShortcut);
    save("bg-welcome.png", {1024, 748}, welcomeBackground);
    save("login_input.png", {338, 39}, inputBacking);
    save("checkbox-off.png", {26, 26}, [](Context& c) { checkbox(c, false); });
    save("checkbox-on.png", {26, 26}, [](Context& c) { checkbox(c, true); });
    save("btn-login.png", {338, 36}, [](Context& c) { button(c, {338, 36}, Color::fromRgb(84, 150, 222), Color::fromRgb(36, 92, 164)); });
    save("free_trial.png", {116, 35}, freeTrial);
    return picturetool::failures() == 0 ? 0 : 1;
}
