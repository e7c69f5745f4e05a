#include "ControlTestSupport.h"

#include "Platform/Graphics/Text.h"
#include "Platform/UI/Label.h"

using namespace ui;
using ui::test::ControlsTest;
using ui::test::inkIn;

namespace {

class LabelTest : public ControlsTest {
protected:
    std::shared_ptr<Label> addLabel(const gfx::Rect& frame, const std::string& text)
    {
        auto label = View::make<Label>(frame);
        label->setText(text);
        label->setFont(gfx::Font::systemFont(30));
        window->addSubview(label);
        return label;
    }
};

} // namespace

TEST_F(LabelTest, ShrinksToFitWidthButNotBelowTheMinimum)
{
    const std::string text = "Quarterly order summary";
    auto fitting = addLabel({10, 10, 200, 40}, text);
    fitting->setAdjustsFontSizeToFitWidth(true);
    fitting->setMinimumFontSize(8);
    gfx::Font used = fitting->fontForDrawing();
    EXPECT_LT(used.pointSize(), 30);
    EXPECT_GE(used.pointSize(), 8);
    EXPECT_LE(gfx::sizeOfText(text, used).width, 200);
    EXPECT_GT(gfx::sizeOfText(text, used.withSize(used.pointSize() + 1)).width, 200) << "shrinks no more than needed";

    auto floored = addLabel({10, 60, 200, 40}, text);
    floored->setAdjustsFontSizeToFitWidth(true);
    floored->setMinimumFontSize(24);
    EXPECT_DOUBLE_EQ(floored->fontForDrawing().pointSize(), 24);

    auto plain = addLabel({10, 110, 200, 40}, text);
    EXPECT_DOUBLE_EQ(plain->fontForDrawing().pointSize(), 30);

    // What is drawn: the shrunk text fits inside the label and is shorter than the floored one.
    gfx::Image shot = window->snapshot();
    gfx::Rect inkFit = inkIn(shot, {0, 10, 400, 40}, gfx::Color::white());
    gfx::Rect inkFloored = inkIn(shot, {0, 60, 400, 40}, gfx::Color::white());
    EXPECT_LE(inkFit.maxX(), 211);
    EXPECT_LT(inkFit.height(), inkFloored.height());
}

TEST_F(LabelTest, TextIsCentredVerticallyAndAligned)
{
    auto label = addLabel({100, 100, 300, 120}, "Hello");
    label->setTextAlignment(gfx::TextAlignment::Right);
    gfx::Image shot = window->snapshot();
    gfx::Rect ink = inkIn(shot, label->frame(), gfx::Color::white());
    ASSERT_FALSE(ink.isNull());
    EXPECT_NEAR(ink.midY(), 160, 6);
    EXPECT_GT(ink.minX(), 250);
    EXPECT_LE(ink.maxX(), 401);
}

TEST_F(LabelTest, WrapsOnlyWhenLinesAllow)
{
    auto label = addLabel({0, 0, 120, 200}, "one two three four five six");
    gfx::Size single = label->sizeThatFits({120, 0});
    EXPECT_NEAR(single.height, gfx::Font::systemFont(30).lineHeight(), 2);
    EXPECT_GT(single.width, 120) << "one line is as wide as the text";
    label->setNumberOfLines(0);
    gfx::Size wrapped = label->sizeThatFits({120, 0});
    EXPECT_LE(wrapped.width, 120);
    EXPECT_GT(wrapped.height, single.height * 2);
    label->setNumberOfLines(2);
    EXPECT_NEAR(label->sizeThatFits({120, 0}).height, single.height * 2, 3);
    EXPECT_EQ(Label().sizeThatFits({100, 100}), (gfx::Size{0, 0}));
}

TEST_F(LabelTest, DrawsShadowAndHighlightedColour)
{
    auto label = addLabel({100, 100, 300, 60}, "Shadow");
    label->setTextColor(gfx::Color::blue());
    label->setShadowColor(gfx::Color::red());
    label->setShadowOffset({3, 3});
    gfx::Image shot = window->snapshot();
    int red = 0, blue = 0;
    for (int y = 100; y < 160; ++y)
        for (int x = 100; x < 400; ++x) {
            gfx::Color c = shot.colorAt(x, y);
            red += ui::test::isReddish(c);
            blue += ui::test::isBluish(c);
        }
    EXPECT_GT(red, 20);
    EXPECT_GT(blue, 20);

    label->setShadowColor(std::nullopt);
    label->setHighlightedTextColor(gfx::Color::red());
    label->setHighlighted(true);
    shot = window->snapshot();
    blue = 0;
    for (int y = 100; y < 160; ++y)
        for (int x = 100; x < 400; ++x)
            blue += ui::test::isBluish(shot.colorAt(x, y));
    EXPECT_EQ(blue, 0);
}
