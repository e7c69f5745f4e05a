#include "Platform/Base/PropertyList.h"
#include "Platform/Graphics/AttributedString.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Font.h"
#include "Platform/Graphics/Text.h"
#include "Platform/Graphics/TextLayout.h"

#include "TestSupport.h"
#include "tests/Support/WordBoundaries.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <set>
#include <string>
#include <vector>

namespace gfx {

namespace {

const std::string kChinese = "订单总额"; // four ideographs, each one em wide
const std::string kLong = "The quick brown fox jumps over the lazy dog again and again";

using testsupport::wordBoundaries;

// Ideographs in the text: each takes three bytes from U+4E00 on (lead bytes 0xE4-0xE9).
size_t countHan(const std::string& text)
{
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0xe4 && static_cast<unsigned char>(c) <= 0xe9;
    }));
}

std::string chineseString(const char* key)
{
    auto table = base::PropertyList::readFile(std::string(BRIVANTA_SOURCE_DIR) + "/Resources/language_cn.plist");
    const base::Value* value = table ? table->asDictionary().find(key) : nullptr;
    return value ? value->asString().str() : std::string();
}

} // namespace

TEST(Font, PlatformNamesMapToInstalledFamilies)
{
    struct Case {
        const char* name;
        bool bold;
        bool italic;
    };
    for (Case c : {Case{"Helvetica", false, false}, Case{"Helvetica-Bold", true, false},
                   Case{"Helvetica-Oblique", false, true}, Case{"Helvetica-BoldOblique", true, true},
                   Case{"Arial", false, false}, Case{"ArialMT", false, false}, Case{"Arial-BoldMT", true, false},
                   Case{"Arial-BoldItalicMT", true, true}, Case{"HelveticaNeue", false, false},
                   Case{"HelveticaNeue-Bold", true, false}, Case{"HelveticaNeue-Italic", false, true}}) {
        Font font(c.name, 14);
        EXPECT_EQ(font.families(), "Liberation Sans,WenQuanYi Micro Hei") << c.name;
        EXPECT_EQ(font.isBold(), c.bold) << c.name;
        EXPECT_EQ(font.isItalic(), c.italic) << c.name;
        EXPECT_EQ(font.name(), c.name);
        EXPECT_EQ(font.pointSize(), 14);
    }
    EXPECT_TRUE(Font::boldSystemFont(12).isBold());
    EXPECT_TRUE(Font::italicSystemFont(12).isItalic());
    EXPECT_EQ(Font::systemFont(12).families(), "Liberation Sans,WenQuanYi Micro Hei");
    EXPECT_EQ(Font("Courier-Bold", 10).families(), "Courier,WenQuanYi Micro Hei");
    EXPECT_TRUE(Font("Courier-Bold", 10).isBold());
    EXPECT_EQ(Font("Copperplate", 15).families(), "Liberation Serif,WenQuanYi Micro Hei");
    EXPECT_TRUE(Font("Copperplate-Bold", 15).isBold());
    EXPECT_EQ(Font::systemFont(12).withSize(20).pointSize(), 20);
    Font didot("Didot-Italic", 15);
    EXPECT_EQ(didot.families(), "Liberation Serif,WenQuanYi Micro Hei");
    EXPECT_TRUE(didot.isItalic());
    EXPECT_FALSE(didot.isBold());
}

TEST(Text, MeasuresInPointsIndependentOfStyleAndScale)
{
    Font font = Font::systemFont(12);
    double line = font.lineHeight();
    // Liberation Sans' ascent and descent add to about 1.15 em at 72 dpi.
    EXPECT_GT(line, 12);
    EXPECT_LT(line, 15);
    EXPECT_NEAR(font.withSize(24).lineHeight(), 2 * line, 0.01);

    Size regular = sizeOfText("Order total", font);
    Size doubled = sizeOfText("Order total", font.withSize(24));
    EXPECT_EQ(regular.height, std::ceil(line - 1e-6));
    EXPECT_NEAR(doubled.width, 2 * regular.width, 1.0);
    EXPECT_GT(sizeOfText("Order total", Font::boldSystemFont(12)).width, regular.width);
    EXPECT_EQ(sizeOfText("", font), (Size{0, 0}));

    // Drawing reports what measuring said, whatever the bitmap's scale.
    for (double scale : {1.0, 2.0}) {
        auto context = Context::createBitmap({200, 40}, scale);
        EXPECT_EQ(context->drawText("Order total", Point{0, 0}, font, Color::black()), regular);
    }
}

TEST(Text, ChineseFallsBackToTheChineseFamily)
{
    Font font = Font::systemFont(20);
    Size size = sizeOfText(kChinese, font);
    // Ideographs in the fallback family are one em each; missing-glyph boxes are not.
    EXPECT_GT(size.width, 76);
    EXPECT_LE(size.width, 81);
    EXPECT_GT(size.height, 20);
    Size mixed = sizeOfText("合计 Total 123", font);
    EXPECT_GT(mixed.width, sizeOfText("Total 123", font).width + 40);
}

TEST(Text, WrapsToTheWidthAndKeepsTheLinesThatFit)
{
    Font font = Font::systemFont(14);
    double line = font.lineHeight();
    Size single = sizeOfText(kLong, font);
    ASSERT_GT(single.width, 300);

    Size wrapped = sizeOfText(kLong, font, {120, 1000}, LineBreakMode::WordWrap);
    EXPECT_LE(wrapped.width, 120);
    int lines = static_cast<int>(std::lround(wrapped.height / line));
    EXPECT_GE(lines, 3);

    EXPECT_NEAR(sizeOfText(kLong, font, {120, 1000}, LineBreakMode::WordWrap, 2).height, 2 * line, 1);
    EXPECT_NEAR(sizeOfText(kLong, font, {120, line * 2.5}, LineBreakMode::WordWrap).height, 2 * line, 1);
    // A rect shorter than a line still shows one.
    EXPECT_NEAR(sizeOfText(kLong, font, {120, 3}, LineBreakMode::WordWrap).height, line, 1);
    // Widths past what the layout's units hold mean no limit, not an overflow.
    for (double unlimited : {double(FLT_MAX), 3e6, HUGE_VAL})
        EXPECT_EQ(sizeOfText(kLong, font, {unlimited, 1000}, LineBreakMode::WordWrap), single) << unlimited;

    // Words that do not fit are broken inside only by character wrapping.
    std::string words = "aaaa bbbbbbbbbbbbbbbbbbbbbbbbbbbbbb";
    double wordFirst = sizeOfText(words, font, {150, 1000}, LineBreakMode::WordWrap, 1).width;
    double charFirst = sizeOfText(words, font, {150, 1000}, LineBreakMode::CharWrap, 1).width;
    EXPECT_LT(wordFirst, 60);
    EXPECT_GT(charFirst, 130);

    // Chinese wraps between ideographs.
    Size chinese = sizeOfText(kChinese + kChinese, Font::systemFont(20), {90, 1000}, LineBreakMode::WordWrap);
    EXPECT_LE(chinese.width, 90);
    EXPECT_GE(chinese.height, 2 * 20);
}

TEST(Text, ChineseLinesBreakBetweenWords)
{
    std::string refused = chineseString("LOGINREFUSED");
    ASSERT_NE(refused.find("请检查"), std::string::npos) << refused;
    std::string tooLarge = chineseString("ANSWERTOOLARGE");
    Font body = Font::systemFont(15);
    Font large = Font::systemFont(20);
    AttributedString styled("订单总额", Font::boldSystemFont(22), Color::black());
    styled.append("已经超过了您的信用额度，请联系销售代表。", Font::systemFont(14), Color::black());
    struct Case {
        const char* what;
        AttributedString text;
        double width;
        bool styled = false;
        // A word wider than the line must still break inside, or run past the edge.
        bool wordWiderThanLine = false;
    };
    for (const Case& c : {
             Case{"login refused, split 检|查", AttributedString(refused, body, Color::black()), 270},
             Case{"login refused, split 接|受", AttributedString(refused, body, Color::black()), 210},
             Case{"login refused, split 公|司", AttributedString(refused, body, Color::black()), 125},
             Case{"login refused in the alert", AttributedString(refused, body, Color::black()), 252},
             Case{"answer too large", AttributedString(tooLarge, large, Color::black()), 130},
             Case{"latin", AttributedString(kLong, body, Color::black()), 120},
             Case{"mixed", AttributedString("请在 Settings 页面检查网络连接，然后重新同步 catalogue 数据。", body,
                                            Color::black()),
                  150},
             Case{"a few ideographs among latin words",
                  AttributedString("Order 12 of 巧克力蛋糕 needs a 检查 today", body, Color::black()), 145},
             Case{"styled runs", styled, 150, true},
             Case{"word wider than the line", AttributedString("我们读亚里士多德的书", large, Color::black()), 70,
                  false, true},
             Case{"word filling the line before a full stop", AttributedString("阿尔及利亚。", large, Color::black()),
                  100, false, true},
         }) {
        const std::string& text = c.text.string();
        ASSERT_FALSE(text.empty()) << c.what;
        TextLayout::Options options;
        options.width = c.width;
        Font font = c.text.runs().front().font;
        TextLayout layout = c.styled ? TextLayout(nullptr, c.text, options) : TextLayout(nullptr, text, font, options);
        std::vector<size_t> starts = layout.lineStarts();
        ASSERT_GE(starts.size(), 2u) << c.what;
        EXPECT_LE(layout.size().width, c.width) << c.what;
        std::set<size_t> boundaries = wordBoundaries(text);
        std::string lines;
        for (size_t i = 0; i < starts.size(); ++i)
            lines += "|" + text.substr(starts[i], i + 1 < starts.size() ? starts[i + 1] - starts[i] : std::string::npos);
        for (size_t start : starts) {
            if (!c.wordWiderThanLine) {
                EXPECT_TRUE(boundaries.count(start)) << c.what << ": line at byte " << start << " in " << lines;
            }
            // Closing punctuation stays at the end of its line, and no line ends on a clause's
            // first word of one ideograph (3 UTF-8 bytes from U+4E00 on).
            for (std::string mark : {"。", "，", "、", "！", "？", "；"}) {
                EXPECT_NE(text.compare(start, mark.size(), mark), 0) << c.what << ": " << lines;
                bool ideographBefore = start >= 3 + mark.size() && static_cast<unsigned char>(text[start - 3]) >= 0xe4
                                       && static_cast<unsigned char>(text[start - 3]) <= 0xe9;
                EXPECT_FALSE(ideographBefore && text.compare(start - 3 - mark.size(), mark.size(), mark) == 0)
                    << c.what << ": " << lines;
            }
        }
        if (c.styled) {
            // The runs' fonts hold: the first line is as tall as its large bold words.
            EXPECT_GT(layout.size().height, (starts.size() - 1) * Font::systemFont(14).lineHeight()
                                               + Font::boldSystemFont(22).lineHeight() - 1)
                << c.what;
        }
    }
}

TEST(Text, ChineseParagraphsOfAnyLengthBreakBetweenWords)
{
    const std::string sentences[] = {"这款安溪铁观音茶叶散发着浓郁的兰花香气，汤色金黄明亮，滋味醇厚甘鲜，回甘持久。",
                                     "冲泡时请使用沸水，第一泡约四十五秒，之后每泡延长十秒钟。",
                                     "本产品采用真空包装，开封后请密封保存于阴凉干燥处，避免阳光直射。"};
    auto paragraph = [&](size_t ideographs) {
        std::string text;
        for (size_t i = 0, count = 0; count < ideographs; ++i) {
            text += sentences[i % 3];
            count += countHan(sentences[i % 3]);
        }
        return text;
    };
    struct Case {
        const char* what;
        size_t ideographs;
        int paragraphs = 1; // in one text, joined by line ends
        double width = 352;
        // The paragraph's second half in a larger font: the runs must stay on their characters.
        bool largerSecondHalf = false;
    };
    for (const Case& c : {
             Case{"two sentences", 70},
             Case{"900 ideographs", 900},
             Case{"5,000 ideographs", 5000},
             Case{"20,000 ideographs, narrow", 20000, 1, 200},
             Case{"three paragraphs of 3,000", 3000, 3},
             Case{"5,000 ideographs, the second half larger", 5000, 1, 352, true},
         }) {
        SCOPED_TRACE(c.what);
        Font font = Font::systemFont(14);
        Font larger = Font::boldSystemFont(20);
        std::string one = paragraph(c.ideographs);
        std::string text = one;
        for (int p = 1; p < c.paragraphs; ++p)
            text += "\n" + one;
        TextLayout::Options options;
        options.width = c.width;
        size_t half = one.size() / 2 / 3 * 3; // ideographs and their punctuation take 3 bytes each
        AttributedString styled(text.substr(0, half), font, Color::black());
        styled.append(text.substr(half), larger, Color::black());
        TextLayout layout = c.largerSecondHalf ? TextLayout(nullptr, styled, options)
                                               : TextLayout(nullptr, text, font, options);
        std::vector<size_t> starts = layout.lineStarts();
        std::set<size_t> boundaries = wordBoundaries(text);
        int inside = 0;
        for (size_t start : starts) {
            if (!boundaries.count(start) && ++inside <= 3)
                ADD_FAILURE() << "a line starts inside a word: " << text.substr(start >= 6 ? start - 6 : 0, 15);
        }
        EXPECT_EQ(inside, 0);
        EXPECT_LE(layout.size().width, c.width);
        // Lines are full but for less than a word of four ideographs.
        double perLine = (c.largerSecondHalf ? larger : font).pointSize();
        // Every character of these texts is an em wide and takes three bytes.
        double characters = static_cast<double>(one.size() / 3 * static_cast<size_t>(c.paragraphs));
        EXPECT_LE(static_cast<double>(starts.size()), characters * perLine / (c.width - 4 * perLine) + c.paragraphs);
        EXPECT_GE(static_cast<double>(starts.size()), characters * font.pointSize() / c.width);
        if (c.largerSecondHalf) {
            // As tall as its halves laid out apart, give or take the line they share.
            double apart = TextLayout(nullptr, text.substr(0, half), font, options).size().height
                           + TextLayout(nullptr, text.substr(half), larger, options).size().height;
            EXPECT_NEAR(layout.size().height, apart, larger.lineHeight() + 1);
        }
    }
}

TEST(Text, SingleLinesTruncateOrClipToTheWidth)
{
    Font font = Font::systemFont(14);
    double line = font.lineHeight();
    double full = sizeOfText(kLong, font).width;
    for (LineBreakMode mode : {LineBreakMode::TruncateTail, LineBreakMode::TruncateHead,
                               LineBreakMode::TruncateMiddle, LineBreakMode::Clip}) {
        Size one = sizeOfText(kLong, font, {100, 1000}, mode, 1);
        EXPECT_LE(one.width, 100) << static_cast<int>(mode);
        EXPECT_GT(one.width, 60) << static_cast<int>(mode);
        EXPECT_NEAR(one.height, line, 1) << static_cast<int>(mode);
    }
    // Text that fits is left alone.
    EXPECT_EQ(sizeOfText("Hi", font, {100, 1000}, LineBreakMode::TruncateTail, 1), sizeOfText("Hi", font));
    // Truncating several lines wraps first and cuts the last one short.
    Size two = sizeOfText(kLong, font, {100, 1000}, LineBreakMode::TruncateTail, 2);
    EXPECT_NEAR(two.height, 2 * line, 1);
    EXPECT_LT(two.width, full);
}

TEST(Text, DrawingHonoursAlignmentAndStaysInItsRect)
{
    Font font = Font::boldSystemFont(16);
    auto ink = [&](TextAlignment alignment) {
        auto context = Context::createBitmap({200, 30});
        context->drawText("Total", Rect(0, 0, 200, 30), font, Color::black(), alignment);
        return test::inkBounds(context->makeImage());
    };
    Rect left = ink(TextAlignment::Left);
    Rect centre = ink(TextAlignment::Center);
    Rect right = ink(TextAlignment::Right);
    ASSERT_FALSE(left.isNull());
    EXPECT_LT(left.minX(), 4);
    EXPECT_NEAR(centre.midX(), 100, 3);
    EXPECT_GT(right.maxX(), 195);
    EXPECT_NEAR(left.width(), right.width(), 1);

    for (LineBreakMode mode : {LineBreakMode::Clip, LineBreakMode::TruncateTail, LineBreakMode::WordWrap}) {
        auto context = Context::createBitmap({300, 100});
        Rect box(10, 10, 120, 20);
        Size used = context->drawText(kLong, box, font, Color::black(), TextAlignment::Left, mode);
        Rect drawn = test::inkBounds(context->makeImage());
        ASSERT_FALSE(drawn.isNull());
        EXPECT_GE(drawn.minX(), 10);
        EXPECT_LE(drawn.maxX(), 131) << static_cast<int>(mode);
        EXPECT_LE(drawn.maxY(), 10 + used.height + 1) << static_cast<int>(mode);
        EXPECT_NEAR(used.height, font.lineHeight(), 1);
    }
}

TEST(Text, ChineseRendersToPngAndPdf)
{
    test::TempDir dir;
    Font font = Font::systemFont(24);
    std::string text = "订单总额 Total ¥1,280.00";

    auto bitmap = Context::createBitmap({400, 60}, 2);
    bitmap->setFillColor(Color::white());
    bitmap->fillRect({0, 0, 400, 60});
    Size used = bitmap->drawText(text, Rect(10, 10, 380, 40), font, Color::fromRgb(20, 40, 120));
    EXPECT_EQ(used, sizeOfText(text, font, {380, 40}, LineBreakMode::WordWrap));
    ASSERT_FALSE(bitmap->savePng(dir.file("chinese.png")));
    Image image = Image::fromFile(dir.file("chinese.png"));
    ASSERT_EQ(image.pixelWidth(), 800);
    // Ink where the ideographs are, nothing on the white beyond the text.
    int dark = 0, strayDark = 0;
    for (int y = 0; y < image.pixelHeight(); ++y) {
        for (int x = 0; x < image.pixelWidth(); ++x) {
            bool isDark = ((image.pixelAt(x, y) >> 16) & 0xff) < 128;
            bool inText = x >= 20 && x < 20 + used.width * 2 && y >= 20 && y < 20 + used.height * 2;
            (inText ? dark : strayDark) += isDark;
        }
    }
    int ideographDark = 0;
    for (int y = 20; y < 20 + 48; ++y)
        for (int x = 20; x < 20 + 4 * 48; ++x)
            ideographDark += ((image.pixelAt(x, y) >> 16) & 0xff) < 128;
    EXPECT_GT(ideographDark, 1500);
    EXPECT_GT(dark, ideographDark);
    EXPECT_EQ(strayDark, 0);

    auto pdf = Context::createPdf(dir.file("chinese.pdf"));
    pdf->beginPage({400, 200});
    pdf->drawText(text, Rect(20, 20, 360, 40), font, Color::black());
    pdf->drawText("第二行 second line", Point{20, 100}, Font::boldSystemFont(14), Color::black());
    ASSERT_FALSE(pdf->close());
    std::string extracted = test::commandOutput("pdftotext -enc UTF-8 '" + dir.file("chinese.pdf") + "' - 2>&1");
    EXPECT_NE(extracted.find("订单总额"), std::string::npos) << extracted;
    EXPECT_NE(extracted.find("Total"), std::string::npos) << extracted;
    EXPECT_NE(extracted.find("第二行 second line"), std::string::npos) << extracted;
}

} // namespace gfx
