#include "Platform/Base/RunLoop.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

#include <gtest/gtest.h>

using namespace ui;

TEST(WindowTeardown, ViewsThatOutliveTheirWindowForgetIt)
{
    auto card = std::make_shared<View>(gfx::Rect(0, 0, 10, 10));
    auto inner = std::make_shared<View>(gfx::Rect(0, 0, 5, 5));
    card->addSubview(inner);
    {
        auto window = std::make_shared<Window>();
        window->addSubview(card);
        EXPECT_EQ(inner->window(), window.get());
    }
    EXPECT_EQ(card->window(), nullptr);
    EXPECT_EQ(inner->window(), nullptr);
    inner->removeFromSuperview(); // would reach the dead window
    EXPECT_EQ(card->subviews().size(), 0u);
}
