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
    // Past the card's right edge, within the shadow's offset.
    gfx::Color beside = window->snapshot().colorAt(183, 130);
    EXPECT_NEAR(beside.r, 0.4, 0.05);
    card->setClipsToBounds(true);
    EXPECT_EQ(window->snapshot().colorAt(183, 130), gfx::Color::white());
}
