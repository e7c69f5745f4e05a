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

TEST(TextTest, WhiteSpaceIsSpacesAndTabsUnlessLineEndsAreAsked)
{
    EXPECT_EQ(base::trimmingWhitespace(" \t a b \t"), "a b");
    EXPECT_EQ(base::trimmingWhitespace(" \n x \n "), "\n x \n");
    EXPECT_EQ(base::trimmingWhitespace(" \t "), "");
    EXPECT_EQ(base::trimmingWhitespaceAndNewlines("\r\n\t x y \n"), "x y");
    EXPECT_EQ(base::trimmingWhitespaceAndNewlines(""), "");
}

} // namespace
