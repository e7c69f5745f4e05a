#include "Platform/Base/Decimal.h"
#include "Platform/Base/Value.h"

#include <gtest/gtest.h>

#include <clocale>
#include <limits>
#include <string>


using namespace base;

namespace {

TEST(Decimal, NormalisesButKeepsItsSourceText)
{
    auto d = Decimal::fromText("1.50");
    ASSERT_TRUE(d);
    EXPECT_EQ(d->sourceText(), "1.50");
    EXPECT_EQ(d->toString(), "1.5");
    EXPECT_DOUBLE_EQ(d->toDouble(), 1.5);
    EXPECT_EQ(*d, *Decimal::fromText("15e-1"));
    EXPECT_EQ(Decimal::fromText("-0")->toString(), "0");
    EXPECT_EQ(Decimal::fromText("1E+9")->toString(), "1000000000");
    EXPECT_EQ(Decimal::fromText("-0.00120")->toString(), "-0.0012");
    EXPECT_EQ(Decimal::fromText("19.99")->toDouble(), 19.99);
}

TEST(Decimal, RejectsMalformedTextAndOutOfRangeExponents)
{
    for (const char* bad : {"", "-", "+", ".", "1e", "1e+", "1.2.3", "abc", "1x", "--1"})
        EXPECT_FALSE(Decimal::fromText(bad)) << bad;
    EXPECT_TRUE(Decimal::fromText("1e127"));
    EXPECT_FALSE(Decimal::fromText("1e128"));
    EXPECT_TRUE(Decimal::fromText("1e-128"));
    EXPECT_FALSE(Decimal::fromText("1e-129"));
    EXPECT_FALSE(Decimal::fromText("1e99999999999999999999")); // exponent digits must not overflow
    EXPECT_TRUE(Decimal::fromText("0e99999999999"));             // zero has no exponent to speak of
}

TEST(Decimal, RoundsHalfEvenBeyondThirtyEightDigits)
{
    std::string forty = "1234567890123456789012345678901234567850"; // digit 39 is 5, then 0
    auto d = Decimal::fromText(forty);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->digits(), "12345678901234567890123456789012345678"); // tie stays on the even 8
    auto up = Decimal::fromText("99999999999999999999999999999999999999.9");
    ASSERT_TRUE(up);
    EXPECT_EQ(up->toString(), "100000000000000000000000000000000000000");
}

TEST(Decimal, IntegerAccessTruncatesAndSaturates)
{
    EXPECT_EQ(Decimal::fromText("42.9")->toInt64(), 42);
    EXPECT_EQ(Decimal::fromText("-42.9")->toInt64(), -42);
    EXPECT_EQ(Decimal::fromText("0.999")->toInt64(), 0);
    EXPECT_EQ(Decimal::fromText("1e30")->toInt64(), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(Decimal::fromText("-1e30")->toInt64(), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(Decimal::fromText("9223372036854775807")->toInt64(), std::numeric_limits<int64_t>::max());
    EXPECT_EQ(Decimal::fromText("-9223372036854775808")->toInt64(), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(Decimal::fromText("9223372036854775808")->toInt64(), std::numeric_limits<int64_t>::max());
}

TEST(Value, DictionaryKeepsInsertionOrderAndReplacesInPlace)
{
    Dictionary d;
    for (int i = 0; i < 40; ++i) // past the size where lookups use an index
        d.set("k" + std::to_string(39 - i), i);
    d.set("k20", "replaced");
    EXPECT_EQ(d.size(), 40u);
    EXPECT_EQ(d.entries().front().first, "k39");
    EXPECT_EQ(d.entries()[19].first, "k20");
    EXPECT_EQ(d.find("k20")->asString(), "replaced");
    EXPECT_TRUE(d.remove("k39"));
    EXPECT_EQ(d.find("k0")->asInteger(), 39);
    Dictionary copy = d;
    EXPECT_EQ(copy, d);
    EXPECT_EQ(copy.find("k1")->asInteger(), 38);
}

TEST(Value, LenientConversionsReadServerValues)
{
    EXPECT_EQ(Value("17").toInt(), 17);
    EXPECT_EQ(Value(" 12.7").toInt(), 12);
    EXPECT_EQ(Value("abc").toInt(-1), -1);
    EXPECT_DOUBLE_EQ(Value(*Decimal::fromText("19.99")).toDouble(), 19.99);
    EXPECT_TRUE(Value(true).isBool());
    EXPECT_FALSE(Value(true).isInteger());
    EXPECT_NE(Value(true), Value(1));
    EXPECT_EQ(Value(19.99).toString(), "19.99");
    EXPECT_EQ(Value(Dictionary{{"a", 1}})["a"].toInt(), 1);
    EXPECT_TRUE(Value(1)["a"].isNull());
}

} // namespace

namespace {

TEST(Value, NumericTextsIgnoreTheProcessLocale)
{
    const char* old = setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    if (!setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        GTEST_SKIP() << "de_DE.UTF-8 locale not installed";
    EXPECT_DOUBLE_EQ(Value("12.5").toDouble(), 12.5);
    EXPECT_EQ(Value("+7.9").toInt(), 7);
    setlocale(LC_NUMERIC, saved.c_str());
}

} // namespace
