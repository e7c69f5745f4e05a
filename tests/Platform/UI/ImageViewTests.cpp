#include "ControlTestSupport.h"

#include "Platform/UI/ImageView.h"

using namespace ui;
using ui::test::ControlsTest;
using ui::test::inkIn;

namespace {

gfx::Image solid(gfx::Size size, gfx::Color color)
{
    auto ctx = gfx::Context::createBitmap(size);
    ctx->setFillColor(color);
    ctx->fillRect({{0, 0}, size});
    return ctx->makeImage();
}

} // namespace

TEST_F(ControlsTest, ImageViewPlacesItsImageByContentMode)
{
    auto view = View::make<ImageView>(solid({40, 20}, gfx::Color::red()));
    EXPECT_EQ(view->frame().size, (gfx::Size{40, 20}));
    EXPECT_FALSE(view->isUserInteractionEnabled());
    view->setFrame({100, 100, 200, 200});
    window->addSubview(view);

    view->setContentMode(ContentMode::ScaleAspectFit);
    EXPECT_EQ(inkIn(window->snapshot(), {0, 0, 400, 400}, gfx::Color::white()), gfx::Rect(100, 150, 200, 100));
    view->setContentMode(ContentMode::BottomRight);
    EXPECT_EQ(inkIn(window->snapshot(), {0, 0, 400, 400}, gfx::Color::white()), gfx::Rect(260, 280, 40, 20));

    view->setHighlightedImage(solid({40, 20}, gfx::Color::blue()));
    view->setHighlighted(true);
    EXPECT_TRUE(ui::test::isBluish(pixel(window->snapshot(), 280, 290)));
}

TEST_F(ControlsTest, ImageViewCyclesAnimationImagesOnTheClock)
{
    auto view = View::make<ImageView>(gfx::Rect(100, 100, 10, 10));
    view->setImage(solid({10, 10}, gfx::Color::black()));
    window->addSubview(view);
    view->setAnimationImages({solid({10, 10}, gfx::Color::red()), solid({10, 10}, gfx::Color::green()),
                              solid({10, 10}, gfx::Color::blue())});
    view->setAnimationDuration(0.3);
    view->startAnimating();
    EXPECT_TRUE(view->isAnimating());
    EXPECT_EQ(pixel(window->snapshot(), 105, 105), gfx::Color::red());
    base::RunLoop::main().advance(0.11);
    EXPECT_EQ(pixel(window->snapshot(), 105, 105), gfx::Color::green());
    base::RunLoop::main().advance(0.2);
    EXPECT_EQ(pixel(window->snapshot(), 105, 105), gfx::Color::red()) << "loops";
    view->stopAnimating();
    EXPECT_EQ(pixel(window->snapshot(), 105, 105), gfx::Color::black()) << "stopped: the still image";
    base::RunLoop::main().advance(0.2);
    EXPECT_EQ(view->animationFrame(), 0u);
}
