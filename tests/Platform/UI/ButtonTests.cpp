#include "ControlTestSupport.h"

#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"

#include <functional>
#include <vector>

using namespace ui;
using ui::test::ControlsTest;
using ui::test::inkIn;

namespace {

gfx::Image solidImage(gfx::Size size, gfx::Color color)
{
    auto ctx = gfx::Context::createBitmap(size);
    ctx->setFillColor(color);
    ctx->fillRect({{0, 0}, size});
    return ctx->makeImage();
}

class ButtonTest : public ControlsTest {
protected:
    void SetUp() override
    {
        ControlsTest::SetUp();
        button = View::make<Button>(ButtonType::RoundedRect, gfx::Rect(100, 100, 200, 44));
        window->addSubview(button);
    }
    std::shared_ptr<Button> button;
};

} // namespace

TEST_F(ButtonTest, TitleFollowsStateWithFallbackToNormal)
{
    button->setTitle("Save");
    button->setTitle("Saving", ControlStateHighlighted);
    button->setTitle("Saved", ControlStateSelected);
    EXPECT_EQ(button->accessibilityText(), "Save");

    window->touchDown(1, {200, 120});
    EXPECT_EQ(button->currentTitle(), "Saving");
    EXPECT_EQ(button->titleLabel().text(), "Saving");
    window->touchUp(1, {200, 120});
    EXPECT_EQ(button->titleLabel().text(), "Save");

    button->setSelected(true);
    EXPECT_EQ(button->accessibilityText(), "Saved");
    button->setSelected(false);
    button->setEnabled(false);
    EXPECT_EQ(button->currentTitle(), "Save") << "no disabled title: the normal one";
    EXPECT_EQ(button->titleColorForState(ControlStateDisabled), gfx::Color::fromWhite(0.6));

    button->setTitleColor(gfx::Color::red(), ControlStateDisabled);
    EXPECT_EQ(button->titleLabel().textColor(), gfx::Color::red());
}

TEST_F(ButtonTest, ImageSitsLeftOfTitleAndThePairIsCentred)
{
    button->setTitle("Order");
    button->setImage(solidImage({20, 20}, gfx::Color::red()));
    window->layoutIfNeeded();
    gfx::Rect image = button->imageView().frame();
    gfx::Rect title = button->titleLabel().frame();
    EXPECT_EQ(image.size, (gfx::Size{20, 20}));
    EXPECT_DOUBLE_EQ(image.maxX(), title.minX());
    EXPECT_NEAR((image.minX() + title.maxX()) / 2, 100, 0.5);
    EXPECT_NEAR(image.midY(), 22, 0.5);
    EXPECT_NEAR(title.midY(), 22, 0.5);

    button->setTitleEdgeInsets({0, 10, 0, 0});
    window->layoutIfNeeded();
    EXPECT_NEAR(button->titleLabel().frame().minX() - button->imageView().frame().maxX(), 10, 0.01);

    button->setContentHorizontalAlignment(ContentHorizontalAlignment::Left);
    button->setContentEdgeInsets({0, 6, 0, 0});
    window->layoutIfNeeded();
    EXPECT_DOUBLE_EQ(button->imageView().frame().minX(), 6);
}

TEST_F(ButtonTest, TitleFontChangeRelayoutsTheButton)
{
    button->setTitle("Order");
    window->layoutIfNeeded();
    double before = button->titleLabel().frame().width();
    button->titleLabel().setFont(gfx::Font::boldSystemFont(30));
    window->layoutIfNeeded();
    EXPECT_GT(button->titleLabel().frame().width(), before * 1.5);
}

TEST_F(ButtonTest, RoundedRectTurnsBlueWhilePressed)
{
    button->setTitle("Go");
    gfx::Image idle = window->snapshot();
    EXPECT_EQ(pixel(idle, 120, 110), gfx::Color::white());
    gfx::Rect ink = inkIn(idle, {100, 100, 200, 44}, gfx::Color::white());
    EXPECT_FALSE(ink.isNull()) << "border and title are drawn";

    window->touchDown(1, {200, 120});
    gfx::Image pressed = window->snapshot();
    EXPECT_TRUE(ui::test::isBluish(pixel(pressed, 120, 110)));
    window->touchUp(1, {200, 120});
}

TEST_F(ButtonTest, StretchableBackgroundKeepsCapsAndDarkensWhilePressed)
{
    auto custom = View::make<Button>(ButtonType::Custom, gfx::Rect(100, 300, 200, 40));
    window->addSubview(custom);
    // A 30x30 image: a 10-point blue frame around a red middle; the frame is the caps.
    auto ctx = gfx::Context::createBitmap({30, 30});
    ctx->setFillColor(gfx::Color::blue());
    ctx->fillRect({0, 0, 30, 30});
    ctx->setFillColor(gfx::Color::red());
    ctx->fillRect({10, 10, 10, 10});
    custom->setBackgroundImage(ctx->makeImage().stretchable({10, 10, 10, 10}));

    gfx::Image idle = window->snapshot();
    EXPECT_TRUE(ui::test::isBluish(pixel(idle, 105, 320))) << "left cap keeps its width";
    EXPECT_TRUE(ui::test::isReddish(pixel(idle, 115, 320))) << "middle stretches";
    EXPECT_TRUE(ui::test::isReddish(pixel(idle, 285, 320)));
    EXPECT_TRUE(ui::test::isBluish(pixel(idle, 295, 320)));
    gfx::Color normal = pixel(idle, 200, 320);

    window->touchDown(1, {200, 320});
    gfx::Color pressed = pixel(window->snapshot(), 200, 320);
    EXPECT_LT(pressed.r, normal.r - 0.2);
    EXPECT_TRUE(ui::test::isReddish(pressed));

    custom->setAdjustsImageWhenHighlighted(false);
    EXPECT_EQ(pixel(window->snapshot(), 200, 320), normal);
    window->touchUp(1, {200, 320});
}

TEST_F(ButtonTest, DisabledButtonIsDrawnAtTheDisabledAlphaUnlessItHasADisabledLookOfItsOwn)
{
    struct Case {
        const char* name;
        std::function<void(Button&)> style;
        gfx::Point probe; // inside the button, on its background; (-1, -1) for the picture
        bool dims;
    };
    const std::vector<Case> cases = {
        {"skinned", [](Button& b) { b.setBackgroundImage(solidImage({10, 10}, gfx::Color::red())); }, {5, 5}, true},
        {"picture", [](Button& b) { b.setImage(solidImage({20, 20}, gfx::Color::red())); }, {-1, -1}, true},
        {"own disabled look",
         [](Button& b) {
             b.setBackgroundImage(solidImage({10, 10}, gfx::Color::red()));
             b.setBackgroundImage(solidImage({10, 10}, gfx::Color::red()), ControlStateDisabled);
         },
         {5, 5}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto custom = View::make<Button>(ButtonType::Custom, gfx::Rect(100, 300, 200, 44));
        c.style(*custom);
        custom->setTitle("Submit");
        window->addSubview(custom);
        window->layoutIfNeeded();
        // Without a place given, the middle of the picture.
        gfx::Point probe = c.probe.x < 0 ? custom->imageView().frame().center() : c.probe;
        gfx::Point at{100 + probe.x, 300 + probe.y};
        EXPECT_TRUE(ui::test::isReddish(pixel(window->snapshot(), at.x, at.y)));
        custom->setEnabled(false);
        gfx::Color disabled = pixel(window->snapshot(), at.x, at.y);
        if (c.dims) {
            // Red at the disabled alpha over the white window.
            EXPECT_NEAR(disabled.g, 1 - Control::kDisabledAlpha, 0.02);
            EXPECT_DOUBLE_EQ(custom->titleLabel().alpha(), Control::kDisabledAlpha);
        } else {
            EXPECT_LT(disabled.g, 0.02);
            EXPECT_DOUBLE_EQ(custom->titleLabel().alpha(), 1.0);
        }
        custom->setEnabled(true);
        EXPECT_LT(pixel(window->snapshot(), at.x, at.y).g, 0.02) << "enabled again, drawn whole";
        custom->removeFromSuperview();
    }

    // The plain rounded button fades its frame and title too, not only the title's colour.
    button->setTitle("Edit");
    gfx::Rect box{100, 100, 200, 44};
    gfx::Rect enabledInk = inkIn(window->snapshot(), box, gfx::Color::white());
    ASSERT_FALSE(enabledInk.isNull());
    gfx::Color border = pixel(window->snapshot(), 200, 100.5);
    button->setEnabled(false);
    EXPECT_DOUBLE_EQ(button->titleLabel().alpha(), Control::kDisabledAlpha);
    EXPECT_GT(pixel(window->snapshot(), 200, 100.5).r, 0.85) << "the frame fades, not only greys (" << border.r << ")";
}
