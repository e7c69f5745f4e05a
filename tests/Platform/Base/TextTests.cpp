#include "Platform/Base/Text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace std::string_literals;

TEST(TextTest, LowerCaseCoversUnicodeAndSurvivesBadBytes)
{
    EXPECT_EQ(base::lowercased("AcMe_ID"), "acme_id");
    EXPECT_EQ(base::lowercased("ÄÖÜ Straße ΣΑΣ"), "äöü straße σας");
    EXPECT_EQ(base::lowercased("中文ABC"), "中文abc");
    // Not UTF-8, or with a NUL inside: only ASCII letters change and nothing is cut off.
    EXPECT_EQ(base::lowercased("A\xff" "B"), "a\xff" "b");
    EXPECT_EQ(base::lowercased("A\0É"s), "a\0É"s);
    EXPECT_TRUE(base::isASCII("plain"));
    EXPECT_FALSE(base::isASCII("é"));
}

// Two texts meet when their folded keys do: case, composed or decomposed accents and the Greek
// final sigma do not matter; accents themselves, "ß" against "ss" and bad bytes do.
TEST(TextTest, FoldedKeysMeetAcrossCaseAndComposition)
{
    struct Case {
        std::string a, b;
        bool meet;
    } cases[] = {
        {"Ärzte Müller", "äRZTE MÜLLER", true},
        {"A\u0308rzte", "ärzte", true},
        {"Σωκράτης", "ΣΩΚΡΆΤΗΣ", true},
        {"ς", "Σ", true},
        {"ſ", "S", true},
        {"北京公司", "北京公司", true},
        {"ẞ", "ß", true},
        {"Ärzte", "Arzte", false},
        {"Straße", "STRASSE", false},
        {"A\xff", "a\xff", true},
        {"A\0É"s, "a\0É"s, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.a + " / " + c.b);
        EXPECT_EQ(base::folded(c.a) == base::folded(c.b), c.meet);
    }
    EXPECT_EQ(base::folded("Ärzte ΣΑΣ 北京"), "ärzte σασ 北京");
    EXPECT_EQ(base::folded("AcMe_ID"), "acme_id");
}

TEST(TextTest, WhiteSpaceIsSpacesAndTabsUnlessLineEndsAreAsked)
{
    EXPECT_EQ(base::trimmingWhitespace(" \t a b \t"), "a b");
    EXPECT_EQ(base::trimmingWhitespace(" \n x \n "), "\n x \n");
    EXPECT_EQ(base::trimmingWhitespace(" \t "), "");
    EXPECT_EQ(base::trimmingWhitespaceAndNewlines("\r\n\t x y \n"), "x y");
    EXPECT_EQ(base::trimmingWhitespaceAndNewlines(""), "");
}

} // namespace
