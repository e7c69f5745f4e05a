// The pinyin conversion over GB 18030 bytes and its generated tables.
#include "Classes/Customer/Pinyin.h"
#include "Classes/Customer/PinyinTables.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

std::string bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out += static_cast<char>(v);
    return out;
}

TEST(Pinyin, ConvertsUnitsAndStrings)
{
    using Sep = std::optional<std::string>;
    struct Case {
        const char* name;
        std::string input;
        Sep separator;
        std::string expected;
    } cases[] = {
        {"zhang san", bytes({0xD5, 0xC5, 0xC8, 0xFD}), {}, "zhangsan"},
        {"with separator", bytes({0xD5, 0xC5, 0xC8, 0xFD}), "-", "zhang-san-"},
        {"ASCII loses blanks", " Bob Lee \t\r\n", {}, "BobLee"},
        {"ASCII with separator", "a1", ",", "a,1,"},
        {"full-width A", bytes({0xA3, 0xC1}), {}, "A"},
        {"full-width comma", bytes({0xA3, 0xAC}), {}, ""},
        {"full-width brace", bytes({0xA3, 0xFB}), {}, "{"},
        {"circled ten", bytes({0xA2, 0xE2}), {}, "10"},
        {"numerals row before A1", bytes({0xA2, 0xA0}), {}, ""},
        {"Greek small alpha", bytes({0xA6, 0xC1}), {}, "a"},
        {"Greek capital theta", bytes({0xA6, 0xA8}), {}, "th"},
        {"symbol without reading", bytes({0xA1, 0xEE}), {}, ""},
        {"four-byte sequence", bytes({0x81, 0x30, 0x81, 0x30}), {}, ""},
        {"trailing lead byte", "A" + bytes({0xD5}), {}, "A"},
        {"trail below range", bytes({0xA3, 0x41}), {}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(gbkStringToPinyin(c.input, c.separator), c.expected) << c.name;

    struct Unit {
        int lead, trail;
        const char* syllable;
    } units[] = {
        {0xB0, 0xA1, "a"}, {0xB9, 0xFA, "guo"}, {0xC0, 0xEE, "li"}, {0xCD, 0xF5, "wang"}, {0xD5, 0xC5, "zhang"},
        {0xD6, 0xD0, "zhong"}, {0xD7, 0xF9, "zuo"}, {0x81, 0x40, "yu"}, {0xA1, 0xA1, ""}, {0xFE, 0xFE, ""},
        {0x83, 0xBF, "qianke"},
    };
    for (const auto& u : units) {
        char out[20] = {};
        const unsigned char unit[2] = {static_cast<unsigned char>(u.lead), static_cast<unsigned char>(u.trail)};
        EXPECT_EQ(gbkCharToPinyin(out, unit), std::strlen(u.syllable)) << std::hex << u.lead << u.trail;
        EXPECT_STREQ(out, u.syllable);
    }
    // A unit cut short has no text, whatever byte follows in memory.
    char out[20] = {};
    const unsigned char cut[2] = {0xD5, 0xC5};
    EXPECT_EQ(gbkCharToPinyin(out, cut, 1), 0u);
}

TEST(Pinyin, TablesHaveTheirShape)
{
    int filled = 0;
    for (const auto& row : pinyin::kCharIndex) {
        for (int16_t entry : row) {
            ASSERT_GE(entry, 0);
            ASSERT_LT(entry, pinyin::kSyllableCount);
            filled += entry != 0;
        }
    }
    EXPECT_GE(filled, 20800);
    ASSERT_GT(pinyin::kSyllableCount, 400);
    EXPECT_STREQ(pinyin::kSyllables[0], "");
    EXPECT_STREQ(pinyin::kSyllables[pinyin::kSyllableCount - 1], "");
    EXPECT_STREQ(pinyin::kSyllables[1], "a");
    EXPECT_STREQ(pinyin::kSyllables[pinyin::kSyllableCount - 2], "zuo");
    for (int i = 1; i < pinyin::kSyllableCount - 1; ++i) {
        EXPECT_LE(std::strlen(pinyin::kSyllables[i]), 6u) << pinyin::kSyllables[i];
        if (i > 1) {
            EXPECT_LT(std::string(pinyin::kSyllables[i - 1]), std::string(pinyin::kSyllables[i]));
        }
    }
}

TEST(Pinyin, NamesThroughTheEncoder)
{
    // One reading per character: the first the readings list gives.
    struct Case {
        const char* name;
        const char* expected;
    } cases[] = {
        {"张三", "zhangsan"}, {"吕梁", "lvliang"}, {"欧阳修", "ouyangxiu"}, {"曾国藩", "cengguofan"},
        {"Amber Tea House", "AmberTeaHouse"}, {"😀", ""}, {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pinyinOfName(c.name), c.expected) << c.name;
}

} // namespace
