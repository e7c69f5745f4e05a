#include "JsonTestSupport.h"
#include "Network/BRJSON.h"

#include <gtest/gtest.h>

#include <climits>
#include <pthread.h>

using namespace std::string_literals;
using Lines = std::vector<std::string>;

namespace {

// Each text must fail with the given innermost error.
void expectFailures(BRJsonParser& parser, std::initializer_list<std::pair<std::string, std::string>> cases)
{
    for (auto& [text, error] : cases) {
        EXPECT_FALSE(parser.fragmentWithString(text)) << text;
        EXPECT_EQ(innermost(parser), error) << text;
    }
}

TEST(JsonParser, FailureLeavesAChainOfWrappedErrors)
{
    BRJsonParser parser;
    EXPECT_FALSE(parser.objectWithString(R"({"a":tru})"));
    auto trace = parser.errorTrace();
    ASSERT_TRUE(trace && trace->size() == 2);
    EXPECT_EQ(traceLines(parser), (Lines{"3 Expected 'true'", "3 Object value expected for key: a"}));
    EXPECT_EQ((*trace)[0]->underlying, nullptr);
    EXPECT_EQ((*trace)[1]->underlying, (*trace)[0]);
    EXPECT_EQ((*trace)[1]->domain, BRJsonErrorDomain);

    ASSERT_TRUE(parser.objectWithString("[1]"));
    EXPECT_FALSE(parser.errorTrace());

    EXPECT_FALSE(parser.fragmentWithString(std::nullopt));
    EXPECT_EQ(traceLines(parser), Lines{"12 Input was 'nil'"});

    // Each open container adds its context; a container's own failure is not wrapped by itself.
    EXPECT_FALSE(parser.objectWithString(R"([{"k":[1,nul]}])"));
    EXPECT_EQ(traceLines(parser), (Lines{"3 Expected 'null'", "3 Expected value while parsing array",
                                         "3 Object value expected for key: k", "3 Expected value while parsing array"}));
    EXPECT_FALSE(parser.objectWithString(R"({"k":{"x" 1}})"));
    EXPECT_EQ(traceLines(parser), (Lines{"3 Expected ':' separating key and value", "3 Object value expected for key: k"}));
}

TEST(JsonParser, NumbersAreValidatedExactDecimals)
{
    BRJsonParser parser;
    auto v = parser.objectWithString("[1.50]");
    ASSERT_TRUE(v);
    const base::Value& n = v->asArray()[0];
    ASSERT_TRUE(n.isDecimal());
    EXPECT_EQ(n.asDecimal().sourceText(), "1.50");
    EXPECT_EQ(n.toDouble(), 1.5);
    EXPECT_EQ(*BRJsonWriter().stringWithObject(*v), "[1.5]");
    for (const char* ok : {"-0", "0.5", "1E+9", "-12.5e-3"})
        EXPECT_TRUE(parser.fragmentWithString(ok)) << ok << ": " << innermost(parser);

    expectFailures(parser, {{"-", "2 No digits after initial minus"},
                            {"01", "2 Leading 0 disallowed in number"},
                            {"1.", "2 No digits after decimal point"},
                            {"1e", "2 No digits after exponent"},
                            {"+1", "2 Leading + disallowed in number"},
                            {"-01", "2 Leading 0 disallowed in number"},
                            {"1e+", "2 No digits after exponent"},
                            {"1e128", "2 Failed creating decimal instance"},
                            {"1e-200", "2 Failed creating decimal instance"},
                            {"1e99999999999999999999999999", "2 Failed creating decimal instance"}});

    // Ids are read as integers (truncated, saturated), prices as correctly rounded doubles.
    EXPECT_EQ(parser.fragmentWithString("123456789012345678901234567890")->toInt(), INT64_MAX);
    EXPECT_EQ(parser.fragmentWithString("-99999999999999999999")->toInt(), INT64_MIN);
    EXPECT_EQ(parser.fragmentWithString("42.99")->toInt(), 42);
    EXPECT_EQ(parser.fragmentWithString("19.99")->toDouble(), 19.99);
    auto longNumber = parser.fragmentWithString("1.23456789012345678901234567890123456789");
    EXPECT_EQ(longNumber->asDecimal().digits().size(), 38u);
}

TEST(JsonParser, NestingIsBoundedWithoutExhaustingTheStack)
{
    BRJsonParser parser;
    auto nested = [](size_t n) { return std::string(n, '[') + std::string(n, ']'); };
    EXPECT_TRUE(parser.objectWithString(nested(512)));
    EXPECT_FALSE(parser.objectWithString(nested(513)));
    EXPECT_EQ(innermost(parser), "7 Nested too deep");
    EXPECT_EQ(traceLines(parser).size(), 513u);

    const std::string flood(100000, '[');
    EXPECT_FALSE(parser.objectWithString(flood));
    EXPECT_EQ(innermost(parser), "7 Nested too deep");

    // 0 lifts the configured limit but not the fixed ceiling.
    parser.setMaxDepth(0);
    EXPECT_TRUE(parser.objectWithString(nested(600)));
    EXPECT_FALSE(parser.objectWithString(flood));
    EXPECT_EQ(innermost(parser), "7 Nested too deep");
    EXPECT_EQ(traceLines(parser).size(), BRJsonBase::kDepthCeiling + 1);

    parser.setMaxDepth(2);
    EXPECT_TRUE(parser.objectWithString(R"({"a":[1]})"));
    EXPECT_FALSE(parser.objectWithString(R"({"a":[{}]})"));
    EXPECT_EQ(traceLines(parser), (Lines{"7 Nested too deep", "3 Expected value while parsing array",
                                         "3 Object value expected for key: a"}));
}

// Runs the work on a thread with a small machine stack, as a worker thread may have.
template<typename Work>
void onSmallStack(Work work)
{
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 128 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(
                  &thread, &attr, [](void* w) -> void* { (*static_cast<Work*>(w))(); return nullptr; }, &work),
              0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

TEST(JsonParser, DeepTreesAndLongErrorChainsDieOnASmallStack)
{
    const size_t depth = BRJsonBase::kDepthCeiling;
    size_t parsed = 0, errors = 0;
    onSmallStack([&] {
        BRJsonParser parser;
        parser.setMaxDepth(0);
        {
            auto object = std::string(depth - 2, '[') + "{\"k\":[\"x\"]}" + std::string(depth - 2, ']');
            auto tree = parser.objectWithString(object);
            for (const base::Value* v = tree ? &*tree : nullptr; v && v->isArray(); v = &v->asArray()[0])
                ++parsed;
        }
        EXPECT_FALSE(parser.objectWithString(std::string(100000, '[')));
        errors = parser.errorTrace() ? parser.errorTrace()->size() : 0;
    });
    EXPECT_EQ(parsed, depth - 2);
    EXPECT_EQ(errors, depth + 1);
}

TEST(JsonParser, StringsDecodeEscapesAndRefuseBrokenText)
{
    BRJsonParser parser;
    EXPECT_EQ(parser.fragmentWithString(R"("\u00e9")")->asString(), "\xC3\xA9");
    EXPECT_EQ(parser.fragmentWithString(R"("\uD834\uDD1E")")->asString(), "\xF0\x9D\x84\x9E");
    EXPECT_EQ(parser.fragmentWithString(R"("a\"\\\/\b\f\n\r\tz")")->asString(), "a\"\\/\b\f\n\r\tz");
    EXPECT_EQ(parser.fragmentWithString(R"("\u0000x")")->asString(), "\0x"s);
    EXPECT_EQ(parser.fragmentWithString("\"\xE6\x97\xA5\xF0\x9F\x98\x80\"")->asString(), "\xE6\x97\xA5\xF0\x9F\x98\x80");

    expectFailures(parser, {{R"("\uDC00")", "6 Invalid high character in surrogate pair"},
                            {R"("\uD834x")", "6 Missing low character in surrogate pair"},
                            {R"("\uD834\u0041")", "6 Invalid low surrogate char"},
                            {R"("\x")", "8 Illegal escape sequence '0x78'"},
                            {"\"abc\\", "8 Illegal escape sequence '0x0'"},
                            {"\"abc\\n", "11 Unexpected EOF while parsing string"},
                            {"\"abc", "5 Unescaped control character '0x0'"},
                            {"\"a\x1f\"", "5 Unescaped control character '0x1f'"},
                            {"\"a\0b\""s, "5 Unescaped control character '0x0'"},
                            {"\"\xC3\"", "3 Invalid UTF-8 in string"},             // truncated
                            {"\"\xC0\xAF\"", "3 Invalid UTF-8 in string"},         // overlong
                            {"\"\xED\xA0\x80\"", "3 Invalid UTF-8 in string"},     // encoded surrogate
                            {"\"\xF4\x90\x80\x80\"", "3 Invalid UTF-8 in string"}, // above U+10FFFF
                            {"\"\x80\"", "3 Invalid UTF-8 in string"}});
    EXPECT_FALSE(parser.fragmentWithString(R"("\u12")"));
    EXPECT_EQ(traceLines(parser), (Lines{"6 Missing hex digit in quad", "6 Missing hex quad", "6 Broken unicode character"}));
    EXPECT_FALSE(parser.objectWithString(R"({"\uDC00":1})"));
    EXPECT_EQ(traceLines(parser).back(), "3 Object key string expected");
}

TEST(JsonParser, StructureAndWhitespace)
{
    BRJsonParser parser;
    EXPECT_TRUE(parser.objectWithString(" \t\n\r\f\v[ ]\f\v ")->asArray().empty());
    EXPECT_TRUE(parser.objectWithString("{}")->asDictionary().empty());
    for (const char* scalar : {"\"s\"", "1", "true", "false", "null"}) {
        EXPECT_FALSE(parser.objectWithString(scalar)) << scalar;
        EXPECT_EQ(innermost(parser), "4 Valid fragment, but not JSON");
        EXPECT_TRUE(parser.fragmentWithString(scalar)) << scalar;
    }
    EXPECT_TRUE(parser.fragmentWithString("true")->asBool());
    EXPECT_TRUE(parser.fragmentWithString("null")->isNull());

    expectFailures(parser, {{"[1]x", "10 Garbage after JSON"},
                            {"123\0garbage"s, "10 Garbage after JSON"},
                            {"[\0]"s, "3 Unrecognised leading character"},
                            {"[1 2]", "3 Expected ',' or ']' after array element"},
                            {R"({"a":1 "b":2})", "3 Expected ',' or '}' after object member"},
                            {"[1,]", "9 Trailing comma disallowed in array"},
                            {R"({"a":1,})", "9 Trailing comma disallowed in object"},
                            {"[", "11 End of input while parsing array"},
                            {"{", "11 End of input while parsing object"},
                            {R"({"a":1)", "11 End of input while parsing object"},
                            {"  ", "11 Unexpected end of string"},
                            {"{1:2}", "3 Object key string expected"},
                            {"[fals]", "3 Expected 'false'"},
                            {"\xEF\xBB\xBF{}", "3 Unrecognised leading character"}});

    // Document order is kept; a later duplicate replaces the value where the key first stood.
    auto v = parser.objectWithString(R"({"z":1,"a":2,"m":3,"a":4})");
    ASSERT_TRUE(v);
    EXPECT_EQ((*v)["a"].toInt(), 4);
    EXPECT_EQ(*BRJsonWriter().stringWithObject(*v), R"({"z":1,"a":4,"m":3})");
}

TEST(JsonFacade, ForwardsAndKeepsACopyOfTheFailingTrace)
{
    BRJSON json;
    EXPECT_EQ(json.maxDepth(), 512u);
    base::ErrorPtr error;
    EXPECT_FALSE(json.objectWithStringError("[1,]", &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, 9);
    EXPECT_EQ(innermost(json), "9 Trailing comma disallowed in array");
    EXPECT_FALSE(json.objectWithStringError("7", &error));
    EXPECT_EQ(error->description, "Valid fragment, but not JSON");
    EXPECT_EQ(json.fragmentWithStringError("7", &error)->toInt(), 7);

    EXPECT_FALSE(json.stringWithObjectError(base::Value(1), &error));
    EXPECT_EQ(error->description, "Not valid type for JSON");
    EXPECT_EQ(*json.stringWithFragmentError(base::Value(1), &error), "1");

    json.setMaxDepth(1);
    EXPECT_FALSE(json.objectWithString("[[]]"));
    // An array holding an empty one: an Array braced around a lone Array is a copy to clang.
    EXPECT_FALSE(json.stringWithObject(base::Array{base::Value(base::Array{})}));
    EXPECT_EQ(innermost(json), "7 Nested too deep");

    json.setSortKeys(true);
    json.setHumanReadable(true);
    EXPECT_EQ(*json.stringWithObject(base::Dictionary{{"b", 1}, {"a", 2}}), "{\n  \"a\" : 2,\n  \"b\" : 1\n}");
}

TEST(JsonFacade, ConveniencesTakeObjectsOrFragments)
{
    EXPECT_EQ((*JSONValue(R"({"results":[1]})"))["results"].asArray().size(), 1u);
    EXPECT_FALSE(JSONValue("\"text\""));
    EXPECT_FALSE(JSONValue(std::nullopt));
    EXPECT_EQ(JSONFragmentValue("\"text\"")->asString(), "text");
    EXPECT_EQ(*JSONRepresentation(base::Array{1, "a"}), R"([1,"a"])");
    EXPECT_FALSE(JSONRepresentation(base::Value("a")));
    EXPECT_EQ(*JSONFragment(base::Value("a")), "\"a\"");
}

} // namespace

namespace {

// What a parse handing out the rows under "rows" gave: the tree left, each row as
// "occurrence/slot: text", and the key's occurrences.
struct HandedOut {
    std::optional<std::string> tree;
    Lines rows;
    size_t occurrences = 0;
};

HandedOut handOut(BRJsonParser& parser, const std::string& text)
{
    HandedOut out;
    auto tree = parser.objectWithStringHandingOutRows(text, "rows", [&](size_t occurrence, size_t slot, base::Value&& row) {
        out.rows.push_back(std::to_string(occurrence) + "/" + std::to_string(slot) + ": " + *JSONFragment(row));
    });
    if (tree)
        out.tree = JSONFragment(*tree);
    out.occurrences = parser.rowKeyOccurrences();
    return out;
}

} // namespace

// Rows are handed out as read, only from the arrays inside the top object's array of that key;
// the rest of the tree is kept as a whole parse would keep it, and the text is as strictly checked.
TEST(JsonParser, RowsUnderTheirKeyAreHandedOutAndLeftOutOfTheTree)
{
    BRJsonParser parser;
    struct Case {
        const char* text;
        std::optional<std::string> tree;
        Lines rows;
        size_t occurrences;
    } cases[] = {
        {R"({"rows":[[{"a":1},[2,{"b":[3]}]],[],["x"]],"n":[[9]]})", R"({"rows":[[],[],[]],"n":[[9]]})",
         {R"(0/0: {"a":1})", R"(0/0: [2,{"b":[3]}])", R"(0/2: "x")"}, 1},
        {R"({"rows":[[1]],"rows":{"k":[[2]]},"rows":[7,[3]]})", R"({"rows":[7,[]]})", {"0/0: 1", "2/1: 3"}, 3},
        {R"({"r\u006fws":[[1]]})", R"({"rows":[[]]})", {"0/0: 1"}, 1},
        {R"({"x":{"rows":[[1]]}})", R"({"x":{"rows":[[1]]}})", {}, 0},
        {R"([{"rows":[[1]]}])", R"([{"rows":[[1]]}])", {}, 0},
        // Rows read before the fault are out already; the parse fails all the same.
        {R"({"rows":[[1,2]],"results":[1,]})", std::nullopt, {"0/0: 1", "0/0: 2"}, 1},
        {R"({"rows":[[1,2]]} x)", std::nullopt, {"0/0: 1", "0/0: 2"}, 1},
        {R"({"rows":[[1,tru]]})", std::nullopt, {"0/0: 1"}, 1},
    };
    for (const Case& c : cases) {
        auto out = handOut(parser, c.text);
        EXPECT_EQ(out.tree, c.tree) << c.text;
        EXPECT_EQ(out.rows, c.rows) << c.text;
        EXPECT_EQ(out.occurrences, c.occurrences) << c.text;
        if (!c.tree) {
            // The same error as a whole parse.
            auto error = traceLines(parser);
            EXPECT_FALSE(parser.objectWithString(c.text));
            EXPECT_EQ(error, traceLines(parser)) << c.text;
        }
    }
    // The same parser parses whole again afterwards.
    auto whole = parser.objectWithString(R"({"rows":[[1]]})");
    ASSERT_TRUE(whole);
    EXPECT_EQ(*JSONFragment(*whole), R"({"rows":[[1]]})");
}
