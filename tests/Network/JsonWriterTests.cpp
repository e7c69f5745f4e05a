#include "JsonTestSupport.h"
#include "Network/BRJsonParser.h"
#include "Network/BRJsonWriter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace std::string_literals;

namespace {

// An initializer list would copy the whole tree.
base::Value wrapped(base::Value inner)
{
    base::Array outer;
    outer.push_back(std::move(inner));
    return outer;
}

// Nested one-element arrays, built and taken apart without recursion.
base::Value nestedArrays(size_t depth)
{
    base::Value v = base::Array{};
    for (size_t i = 1; i < depth; ++i)
        v = wrapped(std::move(v));
    return v;
}

void dismantle(base::Value v)
{
    while (v.isArray() && !v.asArray().empty()) {
        base::Value inner = std::move(v.asArray()[0]);
        v = std::move(inner);
    }
}

TEST(JsonWriter, CompactTextInMemberOrder)
{
    BRJsonWriter writer;
    base::Dictionary parameters;
    parameters.set("methodName", "login");
    parameters.set("userName", "DEMO");
    base::Dictionary root;
    root.set("parameters", std::move(parameters));
    base::Dictionary envelope;
    envelope.set("root", std::move(root));
    EXPECT_EQ(*writer.stringWithObject(envelope),
              R"({"root":{"parameters":{"methodName":"login","userName":"DEMO"}}})");
    EXPECT_FALSE(writer.errorTrace());

    EXPECT_EQ(*writer.stringWithObject(base::Array{1, true}), "[1,true]");
    EXPECT_EQ(*writer.stringWithObject(base::Array{}), "[]");
    EXPECT_EQ(*writer.stringWithObject(base::Dictionary{}), "{}");
    EXPECT_EQ(*writer.stringWithFragment(base::Value()), "null");
}

TEST(JsonWriter, StringsEscapeOnlyWhatJsonRequires)
{
    BRJsonWriter writer;
    EXPECT_EQ(*writer.stringWithFragment(base::Value("\t\"\x01/")), R"("\t\"\u0001/")");
    EXPECT_EQ(*writer.stringWithFragment(base::Value("\\\b\f\n\r\x1f")), R"("\\\b\f\n\r\u001f")");
    EXPECT_EQ(*writer.stringWithFragment(base::Value(std::string("a\0b", 3))), R"("a\u0000b")");
    EXPECT_EQ(*writer.stringWithFragment(base::Value("\xE6\x97\xA5\xC3\xA9")), "\"\xE6\x97\xA5\xC3\xA9\"");
    EXPECT_EQ(*writer.stringWithObject(base::Dictionary{{"k\"ey", 1}}), R"({"k\"ey":1})");
}

TEST(JsonWriter, NumbersInTheirShortestExactForm)
{
    BRJsonWriter writer;
    auto write = [&](base::Value v) { return *writer.stringWithFragment(v); };
    EXPECT_EQ(write(19.99), "19.99");
    EXPECT_EQ(write(0.1 + 0.2), "0.30000000000000004");
    EXPECT_EQ(write(3.0), "3");
    EXPECT_EQ(write(1e100), "1e+100");
    EXPECT_EQ(write(-42), "-42");
    EXPECT_EQ(write(static_cast<long long>(INT64_MIN)), "-9223372036854775808");
    EXPECT_EQ(write(*base::Decimal::fromText("1.50")), "1.5");
    EXPECT_EQ(write(*base::Decimal::fromText("12e-5")), "0.00012");
    for (const char* text : {"-2.5e3", "-0.0", "0.1", "123.456", "1e-3", "-9e2", "12345678901234567890123.5"})
        EXPECT_EQ(write(*base::Decimal::fromText(text)), base::Decimal::fromText(text)->toString()) << text;

    const std::pair<double, const char*> nonFinite[] = {{std::numeric_limits<double>::quiet_NaN(), "nan"},
                                                        {std::numeric_limits<double>::infinity(), "inf"},
                                                        {-std::numeric_limits<double>::infinity(), "-inf"}};
    for (auto [bad, name] : nonFinite) {
        EXPECT_FALSE(writer.stringWithObject(base::Dictionary{{"price", bad}}));
        EXPECT_EQ(traceLines(writer), (std::vector<std::string>{"1 JSON serialisation not supported for "s + name,
                                                                "1 Unsupported value for key price in object"}));
    }
}

TEST(JsonWriter, RefusesWhatJsonCannotHold)
{
    BRJsonWriter writer;
    EXPECT_FALSE(writer.stringWithObject(base::Value("text")));
    EXPECT_EQ(traceLines(writer), std::vector<std::string>{"4 Not valid type for JSON"});

    base::Dictionary inner{{"when", base::Date()}};
    EXPECT_FALSE(writer.stringWithObject(base::Array{1, base::Dictionary{{"order", inner}}}));
    EXPECT_EQ(traceLines(writer), (std::vector<std::string>{"1 JSON serialisation not supported for date",
                                                            "1 Unsupported value for key when in object",
                                                            "1 Unsupported value for key order in object"}));
    EXPECT_FALSE(writer.stringWithFragment(base::Value(base::Bytes{1, 2})));
    EXPECT_EQ(traceLines(writer), std::vector<std::string>{"1 JSON serialisation not supported for data"});

    EXPECT_TRUE(writer.stringWithObject(base::Array{}));
    EXPECT_FALSE(writer.errorTrace());
}

TEST(JsonWriter, WritesOnlyWhatTheParserReads)
{
    struct Case {
        base::Value value;
        std::vector<std::string> trace; // empty: written, and read back equal
        const char* text = nullptr;
    };
    const Case cases[] = {
        {base::Array{1e200}, {"1 JSON serialisation not supported for 1e+200"}},
        {base::Array{5e-324}, {"1 JSON serialisation not supported for 5e-324"}},
        {base::Array{-1e-130}, {"1 JSON serialisation not supported for -1e-130"}},
        {base::Array{"ok\xFF"}, {"1 JSON serialisation not supported for string with invalid UTF-8"}},
        {base::Dictionary{{"k", "\xC0\xAF"}},
         {"1 JSON serialisation not supported for string with invalid UTF-8", "1 Unsupported value for key k in object"}},
        {base::Array{"\xED\xA0\x80"}, {"1 JSON serialisation not supported for string with invalid UTF-8"}},
        {base::Dictionary{{"a", base::Dictionary{{"b\xFF", 1}}}},
         {"1 JSON object key must be valid UTF-8", "1 Unsupported value for key a in object"}},
        {base::Array{1e127, 1e-128, -0.0, "\xF0\x9D\x84\x9E \xE7\xBA\xA2"}, {}, "[1e+127,1e-128,-0,\"\xF0\x9D\x84\x9E \xE7\xBA\xA2\"]"},
        {base::Array{"a long text of forty bytes, with \"quotes\"\t"}, {}, "[\"a long text of forty bytes, with \\\"quotes\\\"\\t\"]"},
    };
    BRJsonWriter writer;
    BRJsonParser parser;
    for (const Case& c : cases) {
        auto text = writer.stringWithObject(c.value);
        if (!c.trace.empty()) {
            EXPECT_FALSE(text);
            EXPECT_EQ(traceLines(writer), c.trace);
            continue;
        }
        ASSERT_TRUE(text);
        EXPECT_EQ(*text, c.text);
        // Numbers come back as exact decimals of the same value.
        auto back = parser.objectWithString(*text);
        ASSERT_TRUE(back) << *text;
        ASSERT_EQ(back->asArray().size(), c.value.asArray().size());
        for (size_t i = 0; i < back->asArray().size(); ++i) {
            const base::Value& was = c.value.asArray()[i];
            if (was.isNumber())
                EXPECT_EQ(back->asArray()[i].toDouble(), was.toDouble());
            else
                EXPECT_EQ(back->asArray()[i], was);
        }
    }
}

TEST(JsonWriter, ReadableAndSortedOutput)
{
    base::Dictionary order;
    order.set("zeta", base::Array{1, base::Dictionary{{"y", true}, {"x", base::Value()}}, base::Array{}});
    order.set("alpha", "a");
    order.set("empty", base::Dictionary{});

    BRJsonWriter writer;
    writer.setHumanReadable(true);
    EXPECT_EQ(*writer.stringWithObject(order), R"({
  "zeta" : [
    1,
    {
      "y" : true,
      "x" : null
    },
    []
  ],
  "alpha" : "a",
  "empty" : {}
})");

    writer.setSortKeys(true);
    EXPECT_EQ(*writer.stringWithObject(order), R"({
  "alpha" : "a",
  "empty" : {},
  "zeta" : [
    1,
    {
      "x" : null,
      "y" : true
    },
    []
  ]
})");

    writer.setHumanReadable(false);
    EXPECT_EQ(*writer.stringWithObject(order), R"({"alpha":"a","empty":{},"zeta":[1,{"x":null,"y":true},[]]})");
}

TEST(JsonWriter, NestingIsBoundedLikeTheParser)
{
    BRJsonWriter writer;
    base::Value deep = nestedArrays(512);
    EXPECT_EQ(writer.stringWithObject(deep)->size(), 1024u);
    deep = wrapped(std::move(deep));
    EXPECT_FALSE(writer.stringWithObject(deep));
    EXPECT_EQ(traceLines(writer), std::vector<std::string>{"7 Nested too deep"});
    dismantle(std::move(deep));

    writer.setMaxDepth(0);
    deep = nestedArrays(BRJsonBase::kDepthCeiling);
    EXPECT_EQ(writer.stringWithObject(deep)->size(), 2 * BRJsonBase::kDepthCeiling);
    deep = wrapped(std::move(deep));
    EXPECT_FALSE(writer.stringWithObject(deep));
    EXPECT_EQ(traceLines(writer), std::vector<std::string>{"7 Nested too deep"});
    dismantle(std::move(deep));

    writer.setMaxDepth(1);
    EXPECT_FALSE(writer.stringWithObject(base::Dictionary{{"list", base::Array{}}}));
    EXPECT_EQ(traceLines(writer),
              (std::vector<std::string>{"7 Nested too deep", "1 Unsupported value for key list in object"}));
}

} // namespace
