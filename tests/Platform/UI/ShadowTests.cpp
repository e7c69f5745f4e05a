#include "UITestSupport.h"

using namespace ui;

using ShadowTest = uitest::WindowTest;

TEST_F(ShadowTest, ShadowsFallBesideTheViewUnlessItClipsToItsBounds)
{
    window->setBackgroundColor(gfx::Color::white());
    auto card = std::make_shared<View>(gfx::Rect(100, 100, 80, 40));
    card->setBackgroundColor(gfx::Color::fromWhite(0.5));
    card->setCornerRadius(4);
    card->setShadow({gfx::Color::black(), {6, 6}, 5, 0.6});
    window->addSubview(card);
    // Past the card's right edge, within the shadow's offset: darker than the page, lighter
    // than the full shadow (0.4), as the blur softens the edge 3 points away.
    gfx::Color beside = window->snapshot().colorAt(183, 130);
    EXPECT_GT(beside.r, 0.42);
    EXPECT_LT(beside.r, 0.55);
    card->setClipsToBounds(true);
    EXPECT_EQ(window->snapshot().colorAt(183, 130), gfx::Color::white());
}

TEST_F(ShadowTest, AZeroOffsetGlowIsBlurredEvenlyAroundTheView)
{
    window->setBackgroundColor(gfx::Color::white());
    auto card = std::make_shared<View>(gfx::Rect(200, 200, 100, 100));
    card->setBackgroundColor(gfx::Color::white());
    card->setShadow({gfx::Color::fromWhite(0.33), {0, 0}, 12, 1});
    window->addSubview(card);
    gfx::Image shot = window->snapshot();
    // Darkness of the page at a distance outside each edge.
    auto darkness = [&](int x, int y) { return 1 - shot.colorAt(x, y).r; };
    const struct {
        int x, y;
    } sides[][3] = {
        {{301, 250}, {306, 250}, {314, 250}}, // right
        {{198, 250}, {193, 250}, {185, 250}}, // left
        {{250, 198}, {250, 193}, {250, 185}}, // top
        {{250, 301}, {250, 306}, {250, 314}}, // bottom
    };
    for (const auto& side : sides) {
        double near = darkness(side[0].x, side[0].y), mid = darkness(side[1].x, side[1].y),
               far = darkness(side[2].x, side[2].y);
        EXPECT_GT(near, 0.2) << side[0].x << "," << side[0].y;
        EXPECT_LT(near, 0.5) << "a blur, not a hard edge";
        EXPECT_GT(near, mid);
        EXPECT_GT(mid, far);
        EXPECT_GT(mid, 0.03);
    }
    EXPECT_LT(darkness(250, 170), 0.01) << "nothing beyond the blur's reach";
    EXPECT_LT(darkness(250, 250), 0.01) << "the view covers its own glow";
}
