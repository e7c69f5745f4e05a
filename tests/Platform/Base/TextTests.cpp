#include "Platform/Base/Text.h"

#include <glib.h>
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

// Every character of the plane, alone and after a letter, folds to the same key as its
// decomposed form, and folding into a reused buffer gives what folded() gives: the quick road
// for text already composed agrees with the full rule.
TEST(TextTest, EveryCharacterFoldsAsItsDecomposedForm)
{
    std::string reused = "left over from before";
    int checked = 0;
    for (gunichar c = 0x80; c < 0x10000; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        char bytes[6];
        std::string one(bytes, static_cast<size_t>(g_unichar_to_utf8(c, bytes)));
        gchar* nfd = g_utf8_normalize(one.c_str(), -1, G_NORMALIZE_DEFAULT);
        ASSERT_NE(nfd, nullptr);
        std::string decomposed(nfd);
        g_free(nfd);
        for (const std::string& before : {std::string(), std::string("A"), std::string("\u03a3")}) {
            std::string key = base::folded(before + one);
            ASSERT_EQ(key, base::folded(before + decomposed)) << std::hex << c;
            base::foldInto(before + one, reused);
            ASSERT_EQ(reused, key) << std::hex << c;
        }
        ++checked;
    }
    EXPECT_GT(checked, 60000);
    // A mark after a character that takes it: the composed character, folded.
    EXPECT_EQ(base::folded("A\u030a"), "\u00e5");
    EXPECT_EQ(base::folded("\u212b"), "\u00e5"); // the angstrom sign is that letter
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
