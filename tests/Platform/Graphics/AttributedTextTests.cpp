#include "Platform/Graphics/AttributedString.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Text.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace gfx {

TEST(AttributedText, MeasuredSizeIsTheDrawnSizeForMixedRuns)
{
    Color grey = Color::fromWhite(0.5);
    struct Case {
        const char* what;
        AttributedString text;
        double width;
    };
    AttributedString heading("Description:\n", Font::italicSystemFont(16), grey);
    AttributedString mixed = heading;
    mixed.append("A short text that wraps over more than one line in a narrow box.\n", Font::systemFont(14),
                 Color::black());
    mixed.append("\nDetails:\n", Font::italicSystemFont(16), grey);
    mixed.append("Bold words", Font::boldSystemFont(20), Color::fromRgb(176, 48, 96));
    AttributedString chinese("说明:\n", Font::italicSystemFont(16), grey);
    chinese.append("这是一段很长的中文描述文字，用来检查换行和测量是否一致。", Font::systemFont(14), Color::black());
    for (Case c : {Case{"mixed", mixed, 150}, Case{"chinese", chinese, 120}, Case{"one run", AttributedString("Description", Font::italicSystemFont(16), grey), 300}}) {
        Size suggested = suggestedSizeOfAttributedText(c.text, c.width);
        auto context = Context::createBitmap({c.width + 20, 600});
        Size drawn = context->drawAttributedText(c.text, Rect(10, 10, c.width, 20));
        EXPECT_EQ(drawn, suggested) << c.what;
        // The ink stays inside the measured box, though the rectangle given was shorter.
        Rect ink = test::inkBounds(context->makeImage());
        ASSERT_FALSE(ink.isNull()) << c.what;
        EXPECT_GE(ink.minX(), 10) << c.what;
        EXPECT_LE(ink.maxX(), 10 + c.width + 1) << c.what;
        EXPECT_LE(ink.maxY(), 10 + suggested.height + 1) << c.what;
        EXPECT_GT(ink.maxY(), 10 + suggested.height * 0.6) << c.what;
    }
    // Kept line breaks: the mixed text's blank line makes it taller than its runs' lines alone.
    Size oneLine = suggestedSizeOfAttributedText(AttributedString("x", Font::systemFont(14), Color::black()), 150);
    EXPECT_GT(suggestedSizeOfAttributedText(mixed, 150).height, 5 * oneLine.height);
    EXPECT_EQ(suggestedSizeOfAttributedText(AttributedString(), 150), Size());
}

TEST(AttributedText, RunsKeepTheirOwnColours)
{
    AttributedString text("RRRR", Font::boldSystemFont(30), Color::fromRgb(255, 0, 0));
    text.append("\nBBBB", Font::boldSystemFont(30), Color::fromRgb(0, 0, 255));
    auto context = Context::createBitmap({200, 100});
    context->drawAttributedText(text, Rect(0, 0, 200, 100));
    Image image = context->makeImage();
    int red = 0, blue = 0;
    double line = Font::boldSystemFont(30).lineHeight();
    for (int y = 0; y < image.pixelHeight(); ++y)
        for (int x = 0; x < image.pixelWidth(); ++x) {
            uint32_t p = image.pixelAt(x, y);
            if ((p >> 24) < 200)
                continue;
            bool isRed = ((p >> 16) & 0xff) > 200 && (p & 0xff) < 50;
            bool isBlue = (p & 0xff) > 200 && ((p >> 16) & 0xff) < 50;
            if (isRed)
                red += y < line ? 1 : -1000;
            if (isBlue)
                blue += y >= line ? 1 : -1000;
        }
    EXPECT_GT(red, 50);
    EXPECT_GT(blue, 50);
}

TEST(AttributedText, ScriptFaceStandsInForTheCalligraphicFont)
{
    Font script("Zapfino", 25);
    EXPECT_EQ(script.families(), "Dancing Script,Liberation Sans,WenQuanYi Micro Hei");
    // The installed script face draws differently from the sans.
    auto render = [](const Font& font) {
        auto context = Context::createBitmap({300, 60});
        context->drawText("No description", Rect(0, 0, 300, 60), font, Color::black());
        return context->makeImage();
    };
    Image a = render(script);
    Image b = render(Font::systemFont(25));
    int differing = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 300; ++x)
            differing += (a.pixelAt(x, y) >> 24) != (b.pixelAt(x, y) >> 24);
    EXPECT_GT(differing, 500);
}

} // namespace gfx
