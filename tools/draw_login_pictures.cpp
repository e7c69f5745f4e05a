// Draws the application's own pictures for the shortcut tiles of the login screen: the tile in
// its plain and pressed looks, the delete badge, the two demo tenants' logos and the picture
// of a saved login without a logo. Run by hand: draw_login_pictures [folder], by default
// Resources/.
#include "Platform/Graphics/Context.h"

#include <cstdio>
#include <functional>
#include <string>

namespace {

using gfx::Color;
using gfx::Context;
using gfx::Point;
using gfx::Rect;
using gfx::Size;

const Color kSky = Color::fromRgb(53, 107, 168);
const Color kNavy = Color::fromRgb(24, 50, 92);

std::string g_folder = "Resources";
int g_failures = 0;

void save(const std::string& name, Size size, const std::function<void(Context&)>& draw)
{
    auto ctx = Context::createBitmap(size, 1);
    draw(*ctx);
    std::string path = g_folder + "/" + name;
    if (auto error = ctx->savePng(path)) {
        std::fprintf(stderr, "%s: not written\n", path.c_str());
        ++g_failures;
    }
}

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

int main(int argc, char** argv)
{
    if (argc > 1)
        g_folder = argv[1];
    save("logobtn.png", {231, 60}, [](Context& c) { tile(c, false); });
    save("logobtn-on.png", {231, 60}, [](Context& c) { tile(c, true); });
    save("file-del.png", {30, 30}, deleteBadge);
    save("icon_tolbernix.png", {90, 40}, [](Context& c) { tenantLogo(c, "Tolbernix", Color::fromRgb(196, 92, 24), false); });
    save("icon_wendloft.png", {90, 40}, [](Context& c) { tenantLogo(c, "Wendloft", Color::fromRgb(38, 128, 92), true); });
    save("icon-default_shortchut.png", {50, 40}, defaultShortcut);
    return g_failures == 0 ? 0 : 1;
}
