#include "ProductArt.h"

#include "Platform/Graphics/Context.h"

#include <algorithm>
#include <cmath>

namespace demo {

namespace {

gfx::Color shade(gfx::Color c, double f)
{
    auto ch = [f](double v) { return f < 0 ? v * (1 + f) : v + (1 - v) * f; };
    return {ch(c.r), ch(c.g), ch(c.b), c.a};
}

// All shapes are drawn in a 100 x 100 box; the caller scales.
void drawShape(gfx::Context& ctx, const std::string& shape, gfx::Color c)
{
    gfx::Color dark = shade(c, -0.35), light = shade(c, 0.35);
    gfx::Color metal = gfx::Color::fromRgb(120, 126, 134), wood = gfx::Color::fromRgb(150, 105, 62);
    ctx.setFillColor(gfx::Color::black().withAlpha(0.12));
    ctx.fillEllipse({18, 86, 64, 8}); // floor shadow
    auto fill = [&](gfx::Color col, gfx::Rect r, double radius = 0) {
        ctx.setFillColor(col);
        if (radius > 0)
            ctx.fillRoundedRect(r, radius);
        else
            ctx.fillRect(r);
    };
    if (shape == "chair") {
        fill(dark, {30, 14, 40, 40}, 8);           // back
        fill(c, {26, 52, 48, 12}, 5);              // seat
        fill(metal, {48, 64, 4, 16});              // column
        fill(metal, {30, 80, 40, 3}, 1.5);         // base
        fill(dark, {28, 82, 5, 5}, 2.5);
        fill(dark, {67, 82, 5, 5}, 2.5);
        fill(light, {34, 18, 32, 6}, 3);           // highlight
    } else if (shape == "stool") {
        fill(c, {30, 40, 40, 10}, 5);
        fill(metal, {48, 50, 4, 26});
        ctx.setFillColor(dark);
        ctx.fillEllipse({32, 74, 36, 10});
    } else if (shape == "sofa") {
        fill(dark, {16, 34, 68, 28}, 8);           // back
        fill(c, {14, 52, 72, 18}, 6);              // seat
        fill(dark, {10, 44, 12, 30}, 5);           // arms
        fill(dark, {78, 44, 12, 30}, 5);
        fill(wood, {18, 74, 4, 10});
        fill(wood, {78, 74, 4, 10});
        fill(light, {20, 54, 28, 6}, 3);
    } else if (shape == "desk" || shape == "table") {
        bool desk = shape == "desk";
        fill(c, {10, 40, 80, 8}, 2);               // top
        fill(light, {10, 40, 80, 2});
        fill(desk ? metal : dark, {14, 48, 5, 36});
        fill(desk ? metal : dark, {81, 48, 5, 36});
        if (desk)
            fill(dark, {56, 48, 25, 16}, 2);       // drawer
    } else if (shape == "lamp") {
        ctx.setStrokeColor(metal);
        ctx.setLineWidth(3);
        ctx.strokeLine({40, 82}, {34, 50});
        ctx.strokeLine({34, 50}, {60, 28});
        fill(dark, {26, 80, 28, 5}, 2.5);
        ctx.setFillColor(c);
        ctx.beginPath();
        ctx.moveTo({52, 22});
        ctx.lineTo({76, 30});
        ctx.lineTo({68, 44});
        ctx.closePath();
        ctx.fillPath();
        ctx.setFillColor(gfx::Color::fromRgb(255, 236, 160).withAlpha(0.6));
        ctx.fillEllipse({62, 40, 16, 10});
    } else if (shape == "floorlamp") {
        fill(metal, {48, 24, 4, 58});
        fill(dark, {34, 80, 32, 5}, 2.5);
        ctx.setFillColor(c);
        ctx.beginPath();
        ctx.moveTo({34, 24});
        ctx.lineTo({66, 24});
        ctx.lineTo({58, 8});
        ctx.lineTo({42, 8});
        ctx.closePath();
        ctx.fillPath();
    } else if (shape == "pendant") {
        for (int i = 0; i < 3; ++i) {
            double x = 22 + i * 24, drop = 30 + (i % 2) * 12;
            fill(metal, {x + 7, 6, 1.5, drop});
            ctx.setFillColor(i == 1 ? light : c);
            ctx.beginPath();
            ctx.moveTo({x, 6 + drop + 12});
            ctx.lineTo({x + 16, 6 + drop + 12});
            ctx.lineTo({x + 11, 6 + drop});
            ctx.lineTo({x + 5, 6 + drop});
            ctx.closePath();
            ctx.fillPath();
        }
        fill(dark, {16, 4, 68, 4}, 2);
    } else if (shape == "cabinet" || shape == "shelf") {
        fill(c, {24, 12, 52, 72}, 3);
        if (shape == "shelf") {
            fill(gfx::Color::white().withAlpha(0.85), {28, 16, 44, 64});
            for (int i = 0; i < 5; ++i)
                fill(dark, {28, 16 + i * 13.0 + 11, 44, 2});
            fill(gfx::Color::fromRgb(192, 57, 43), {32, 18, 4, 9});
            fill(gfx::Color::fromRgb(41, 128, 185), {37, 19, 5, 8});
            fill(gfx::Color::fromRgb(39, 174, 96), {50, 44, 6, 9});
        } else {
            for (int i = 0; i < 3; ++i) {
                fill(light, {28, 16 + i * 22.0, 44, 19}, 2);
                fill(dark, {44, 24 + i * 22.0, 12, 3}, 1.5);
            }
        }
        fill(dark, {28, 84, 6, 3});
        fill(dark, {66, 84, 6, 3});
    } else if (shape == "teapot" || shape == "kettle") {
        ctx.setFillColor(c);
        ctx.fillEllipse({24, 36, 52, 44});        // body
        ctx.setStrokeColor(dark);
        ctx.setLineWidth(5);
        if (shape == "kettle") {
            ctx.beginPath();
            ctx.moveTo({30, 40});
            ctx.curveTo({30, 10}, {70, 10}, {70, 40});
            ctx.strokePath();
        } else {
            ctx.beginPath();
            ctx.moveTo({74, 46});
            ctx.curveTo({92, 46}, {92, 70}, {72, 70});
            ctx.strokePath();
        }
        ctx.setFillColor(c);
        ctx.beginPath();                          // spout
        ctx.moveTo({28, 56});
        ctx.lineTo({10, 40});
        ctx.lineTo({14, 38});
        ctx.lineTo({30, 50});
        ctx.closePath();
        ctx.fillPath();
        fill(dark, {40, 32, 20, 6}, 3);           // lid
        ctx.setFillColor(dark);
        ctx.fillEllipse({46, 26, 8, 7});
        ctx.setFillColor(light.withAlpha(0.6));
        ctx.fillEllipse({34, 44, 14, 8});
    } else if (shape == "cup" || shape == "gaiwan") {
        if (shape == "gaiwan") {
            ctx.setFillColor(dark.withAlpha(0.35));
            ctx.fillEllipse({20, 72, 60, 10});    // saucer
        }
        ctx.setFillColor(c);
        ctx.beginPath();
        ctx.moveTo({28, 40});
        ctx.lineTo({72, 40});
        ctx.curveTo({72, 70}, {62, 78}, {50, 78});
        ctx.curveTo({38, 78}, {28, 70}, {28, 40});
        ctx.closePath();
        ctx.fillPath();
        ctx.setFillColor(shape == "gaiwan" ? light : gfx::Color::fromRgb(170, 110, 40).withAlpha(0.85));
        ctx.fillEllipse({28, 35, 44, 10});        // rim / tea
        if (shape == "gaiwan") {
            ctx.setFillColor(c);
            ctx.fillEllipse({30, 26, 40, 12});
            ctx.fillEllipse({45, 20, 10, 8});
        }
    } else if (shape == "leaf") {
        for (int i = 0; i < 3; ++i) {
            ctx.save();
            ctx.translate(50, 58);
            ctx.rotate(-0.6 + i * 0.6);
            ctx.setFillColor(i == 1 ? c : shade(c, i == 0 ? -0.2 : 0.2));
            ctx.beginPath();
            ctx.moveTo({0, 28});
            ctx.curveTo({-18, 8}, {-12, -22}, {0, -34});
            ctx.curveTo({12, -22}, {18, 8}, {0, 28});
            ctx.closePath();
            ctx.fillPath();
            ctx.setStrokeColor(dark);
            ctx.setLineWidth(1.2);
            ctx.strokeLine({0, 26}, {0, -30});
            ctx.restore();
        }
    } else if (shape == "giftbox") {
        fill(c, {20, 40, 60, 42}, 3);
        fill(dark, {16, 32, 68, 12}, 3);
        fill(gfx::Color::fromRgb(241, 196, 15), {46, 32, 8, 50});
        ctx.setFillColor(gfx::Color::fromRgb(241, 196, 15));
        ctx.fillEllipse({34, 20, 16, 12});
        ctx.fillEllipse({50, 20, 16, 12});
    } else {
        fill(c, {25, 25, 50, 50}, 8);
    }
}

void studioBackground(gfx::Context& ctx, gfx::Size size, gfx::Color tint)
{
    ctx.fillLinearGradient({0, 0, size.width, size.height}, {0, 0}, {0, size.height},
                           {{0, shade(tint, 0.93)}, {1, shade(tint, 0.80)}});
}

} // namespace

gfx::Image drawProduct(const std::string& shape, gfx::Color color, double size)
{
    auto ctx = gfx::Context::createBitmap({size, size}, 1);
    studioBackground(*ctx, {size, size}, color);
    ctx->save();
    ctx->scaleBy(size / 100, size / 100);
    drawShape(*ctx, shape, color);
    ctx->restore();
    return ctx->makeImage();
}

gfx::Image drawCover(const std::string& title, const std::string& subtitle, const std::string& shape, gfx::Color color)
{
    gfx::Size size{300, 400};
    auto ctx = gfx::Context::createBitmap(size, 1);
    ctx->fillLinearGradient({0, 0, size.width, size.height}, {0, 0}, {size.width, size.height},
                            {{0, color}, {1, shade(color, -0.45)}});
    ctx->setFillColor(gfx::Color::white().withAlpha(0.92));
    ctx->fillRoundedRect({30, 170, 240, 190}, 10);
    ctx->save();
    ctx->translate(90, 180);
    ctx->scaleBy(1.2, 1.2);
    drawShape(*ctx, shape, color);
    ctx->restore();
    ctx->drawText(title, {24, 36, 252, 96}, gfx::Font::boldSystemFont(24), gfx::Color::white(), gfx::TextAlignment::Left,
                  gfx::LineBreakMode::WordWrap, 3);
    ctx->drawText(subtitle, {24, 130, 252, 30}, gfx::Font::systemFont(14), gfx::Color::white().withAlpha(0.85),
                  gfx::TextAlignment::Left, gfx::LineBreakMode::TruncateTail, 1);
    return ctx->makeImage();
}

gfx::Image drawLogo(const std::string& text, gfx::Color color)
{
    gfx::Size size{240, 80};
    auto ctx = gfx::Context::createBitmap(size, 1);
    ctx->setFillColor(color);
    ctx->fillEllipse({8, 12, 56, 56});
    ctx->save();
    ctx->translate(12, 14);
    ctx->scaleBy(0.48, 0.48);
    drawShape(*ctx, "leaf", gfx::Color::white());
    ctx->restore();
    ctx->drawText(text, {74, 20, 160, 40}, gfx::Font::boldSystemFont(28), color, gfx::TextAlignment::Left,
                  gfx::LineBreakMode::TruncateTail, 1);
    return ctx->makeImage();
}

gfx::Image drawTopBar(gfx::Color color)
{
    gfx::Size size{1024, 44};
    auto ctx = gfx::Context::createBitmap(size, 1);
    ctx->fillLinearGradient({0, 0, size.width, size.height}, {0, 0}, {0, size.height},
                            {{0, shade(color, 0.18)}, {1, shade(color, -0.15)}});
    return ctx->makeImage();
}

} // namespace demo
