#include "Platform/Base/PropertyList.h"

#include "FileTestSupport.h"

#include <clocale>
#include <gtest/gtest.h>
#include <limits>

using base::Array;
using base::Bytes;
using base::Date;
using base::Decimal;
using base::Dictionary;
using base::PropertyList;
using base::Value;

namespace {

Value roundTrip(const Value& value)
{
    auto xml = PropertyList::toXml(value);
    EXPECT_TRUE(xml);
    if (!xml)
        return {};
    auto back = PropertyList::fromXml(*xml);
    EXPECT_TRUE(back) << *xml;
    return back.value_or(Value());
}

std::vector<std::string> keys(const Value& dict)
{
    std::vector<std::string> out;
    for (auto& [key, item] : dict.asDictionary())
        out.push_back(key);
    return out;
}

} // namespace

TEST(PropertyList, NestedValuesRoundTripWithTypesAndOrder)
{
    Value nested = Dictionary{
        {"zeta", Value(true)},
        {"alpha", Value(false)},
        {"text <&> \"q\" 'a' \xC3\xA9\xE4\xB8\xAD", Value("<b>&amp; \xE4\xB8\xAD\xE6\x96\x87 'x'")},
        {"ints", Array{Value(0), Value(-5), Value(std::numeric_limits<int64_t>::max()),
                       Value(std::numeric_limits<int64_t>::min())}},
        {"reals", Array{Value(0.1), Value(1.0 / 3.0), Value(-2.5e-300), Value(3.0)}},
        {"when", Value(Date(1700000000))},
        {"before1970", Value(Date(-86400 * 365))},
        {"bytes", Value(Bytes{0, 1, 0x7f, 0x80, 0xff})},
        {"empty", Value(Bytes{})},
        {"nested", Dictionary{{"list", Array{Value(Dictionary{}), Value(Array{}), Value("")}}}},
    };
    Value back = roundTrip(nested);
    EXPECT_EQ(back, nested);
    EXPECT_EQ(keys(back), keys(nested));
    EXPECT_TRUE(back["reals"].asArray()[3].isDouble()); // a whole real stays a real
    EXPECT_TRUE(back["zeta"].isBool());

    EXPECT_EQ(roundTrip(Value("top-level string")), Value("top-level string"));
}

TEST(PropertyList, DecimalsBecomeIntegersOnlyWhenExactlyRepresentable)
{
    auto decimal = [](const char* text) { return Value(*Decimal::fromText(text)); };
    Value back = roundTrip(Array{decimal("1200"), decimal("-42.000"), decimal("12.5"),
                                 decimal("1e30"), decimal("9223372036854775808")});
    const Array& items = back.asArray();
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0], Value(1200));
    EXPECT_EQ(items[1], Value(-42));
    EXPECT_EQ(items[2], Value(12.5));
    EXPECT_EQ(items[3], Value(1e30));
    EXPECT_TRUE(items[4].isDouble()); // one past int64: no silent wrap-around
    EXPECT_DOUBLE_EQ(items[4].asDouble(), 9223372036854775808.0);
}

TEST(PropertyList, DatesKeepWholeSecondsWithinTheFormatsRange)
{
    EXPECT_EQ(roundTrip(Value(Date(1700000000.4))), Value(Date(1700000000)));
    EXPECT_EQ(roundTrip(Value(Date(1700000000.6))), Value(Date(1700000001)));
    EXPECT_FALSE(PropertyList::toXml(Value(Date(5e9))));
    EXPECT_FALSE(PropertyList::toXml(Value(Date(-3e9))));
}

TEST(PropertyList, RefusesNullsAndMalformedInput)
{
    EXPECT_FALSE(PropertyList::toXml(Value()));
    EXPECT_FALSE(PropertyList::toXml(Value(Dictionary{{"a", Value(1)}, {"b", Value()}})));
    EXPECT_FALSE(PropertyList::toXml(Value(Array{Value(1), Value(Array{Value()})})));

    for (const char* bad : {"", "not xml at all", "<plist><dict><key>a</key><string>b</string>",
                            "<plist version=\"1.0\"><array><integer>1</integer>",
                            "\xff\xfe<plist>",
                            "<plist></plist>"})
        EXPECT_FALSE(PropertyList::fromXml(bad)) << bad;
}

TEST(PropertyList, ReadsNumbersTheSameUnderADecimalCommaLocale)
{
    std::string previous = std::setlocale(LC_ALL, nullptr);
    ASSERT_TRUE(std::setlocale(LC_ALL, "de_DE.UTF-8")) << "run scripts/setup.sh for the locale";
    Value back = roundTrip(Array{Value(1.5), Value(-0.25)});
    auto parsed = PropertyList::fromXml("<plist version=\"1.0\"><real>2.75</real></plist>");
    std::setlocale(LC_ALL, previous.c_str());
    EXPECT_EQ(back, Value(Array{Value(1.5), Value(-0.25)}));
    EXPECT_EQ(parsed, Value(2.75));
}

TEST(PropertyList, WritesAndReadsFiles)
{
    basetest::TempDir dir;
    Value value = Dictionary{{"name", Value("Brivanta")}, {"count", Value(3)}};
    ASSERT_TRUE(PropertyList::writeFile(dir / "a.plist", value));
    EXPECT_EQ(PropertyList::readFile(dir / "a.plist"), value);
    EXPECT_FALSE(PropertyList::readFile(dir / "missing.plist"));
    EXPECT_FALSE(PropertyList::writeFile(dir / "b.plist", Value()));
    EXPECT_FALSE(std::filesystem::exists(dir / "b.plist"));
}
