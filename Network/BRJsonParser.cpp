#include "Network/BRJsonParser.h"

#include "Network/BRJsonText.h"

#include <array>
#include <cstdio>
#include <cstring>
#include <vector>


namespace {

using brjson::firstSpecial;
using brjson::kScanBlock;
using brjson::utf8SequenceLength;

// Bytes that end a plain run inside a string: the quote, the backslash and control bytes.
constexpr std::array<bool, 256> makeStopSet()
{
    std::array<bool, 256> set{};
    for (int b = 0; b < 32; ++b)
        set[static_cast<size_t>(b)] = true;
    set['"'] = true;
    set['\\'] = true;
    return set;
}
constexpr std::array<bool, 256> kStopSet = makeStopSet();

bool isWhitespace(unsigned char b)
{
    return b == ' ' || (b >= '\t' && b <= '\r');
}

bool isDigit(unsigned char b)
{
    return b >= '0' && b <= '9';
}

std::string hexByteText(const char* format, unsigned value)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
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

} // namespace

base::Value BRJsonParser::closeContainer(const Frame& frame)
{
    if (frame.isObject) {
        auto* first = m_members.data() + frame.first;
        auto dictionary = base::Dictionary::fromEntries(first, m_members.data() + m_members.size());
        m_members.resize(frame.first);
        return base::Value(std::move(dictionary));
    }
    auto array = base::Array::fromValues(m_elements.data() + frame.first, m_elements.data() + m_elements.size());
    m_elements.resize(frame.first);
    return base::Value(std::move(array));
}

std::optional<base::Value> BRJsonParser::objectWithString(std::optional<std::string_view> text)
{
    auto value = fragmentWithString(text);
    if (value && !value->isArray() && !value->isDictionary()) {
        addErrorWithCodeDescription(4, "Valid fragment, but not JSON");
        return std::nullopt;
    }
    return value;
}

std::optional<base::Value> BRJsonParser::objectWithStringHandingOutRows(std::optional<std::string_view> text,
                                                                        std::string_view key, const RowHandler& handler)
{
    m_rowHandler = &handler;
    m_rowKey = key;
    m_rowKeyOccurrences = 0;
    auto value = objectWithString(text);
    m_rowHandler = nullptr;
    m_rowKey = {};
    return value;
}

std::optional<base::Value> BRJsonParser::fragmentWithString(std::optional<std::string_view> text)
{
    clearErrorTrace();
    if (!text) {
        addErrorWithCodeDescription(12, "Input was 'nil'");
        return std::nullopt;
    }
    m_depth = 0;
    m_c = m_begin = reinterpret_cast<const unsigned char*>(text->data());
    m_end = m_c + text->size();
    std::optional<base::Value> value;
    {
        base::BlockPool::Use use(m_pool);
        value = scanValue();
        // A failed parse leaves values pending.
        m_stack.clear();
        m_elements.clear();
        m_members.clear();
    }
    if (value) {
        skipWhitespace();
        if (m_c != m_end) {
            addErrorWithCodeDescription(10, "Garbage after JSON");
            value.reset();
        }
    }
    m_c = m_begin = m_end = nullptr;
    return value;
}

std::optional<base::Value> BRJsonParser::scanValue()
{
    auto& stack = m_stack;
    base::Value root;

    // Each open container adds its context to the trace, innermost first. The top one is
    // skipped when the failure is its own rather than one of a member value.
    auto fail = [&](bool ownFailure) -> std::optional<base::Value> {
        size_t n = stack.size();
        size_t members = m_members.size(); // the open member of each object is the last below this
        if (ownFailure && n > 0) {
            --n;
            if (stack[n].isObject)
                members = stack[n].first;
        }
        while (n-- > 0) {
            const Frame& frame = stack[n];
            if (frame.isObject) {
                addErrorWithCodeDescription(3, "Object value expected for key: " + m_members[members - 1].first);
                members = frame.first;
            } else
                addErrorWithCodeDescription(3, "Expected value while parsing array");
        }
        return std::nullopt;
    };
    auto endOfInput = [&]() -> std::optional<base::Value> {
        addErrorWithCodeDescription(11, stack.back().isObject ? "End of input while parsing object"
                                                                : "End of input while parsing array");
        return fail(true);
    };
    // A value is made where it belongs (the result, the open member's value or a new element
    // of the innermost container), not made and then moved there.
    auto place = [&](auto&&... args) {
        if (stack.empty()) {
            root = base::Value(std::forward<decltype(args)>(args)...);
        } else if (stack.back().isObject) {
            base::Value& slot = m_members.back().second; // null until now, so nothing to destroy
            new (&slot) base::Value(std::forward<decltype(args)>(args)...);
        } else if (stack.back().handsOut) {
            (*m_rowHandler)(m_rowKeyOccurrences - 1, stack[2].first - stack[1].first,
                            base::Value(std::forward<decltype(args)>(args)...));
        } else {
            m_elements.emplace_back(std::forward<decltype(args)>(args)...);
        }
    };

    for (;;) {
        // A value is expected.
        skipWhitespace();
        if (m_c == m_end) {
            addErrorWithCodeDescription(11, "Unexpected end of string");
            return fail(false);
        }
        bool closed = false; // an empty container was opened and closed at once
        switch (*m_c) {
        case '[':
        case '{': {
            bool isObject = *m_c++ == '{';
            if (!enterNesting())
                return fail(false);
            // The rows' arrays: each an element of the array under the row key of the top object.
            const bool handsOut = m_rowHandler && !isObject && stack.size() == 2 && stack[0].isObject &&
                                  !stack[1].isObject && std::string_view(m_members.back().first) == m_rowKey;
            stack.push_back(Frame{isObject, handsOut, isObject ? m_members.size() : m_elements.size()});
            skipWhitespace();
            if (m_c == m_end)
                return endOfInput();
            if (*m_c == (isObject ? '}' : ']')) {
                ++m_c;
                closed = true;
                break;
            }
            if (isObject && !scanMemberKey())
                return fail(true);
            continue;
        }
        case '"': {
            ++m_c;
            std::string_view text;
            if (!scanString(text))
                return fail(false);
            place(text);
            break;
        }
        case 't':
            if (!scanLiteral("true", "Expected 'true'"))
                return fail(false);
            place(true);
            break;
        case 'f':
            if (!scanLiteral("false", "Expected 'false'"))
                return fail(false);
            place(false);
            break;
        case 'n':
            if (!scanLiteral("null", "Expected 'null'"))
                return fail(false);
            place(nullptr);
            break;
        case '+':
            addErrorWithCodeDescription(2, "Leading + disallowed in number");
            return fail(false);
        default: {
            if (*m_c != '-' && !isDigit(*m_c)) {
                addErrorWithCodeDescription(3, "Unrecognised leading character");
                return fail(false);
            }
            base::Decimal number;
            if (!scanNumber(number))
                return fail(false);
            place(number);
            break;
        }
        }

        // A value is complete and in its place; close what ends after it.
        for (;;) {
            if (closed) {
                base::Value container = closeContainer(stack.back());
                stack.pop_back();
                leaveNesting();
                place(std::move(container));
                closed = false;
            }
            if (stack.empty())
                return root;
            const Frame& frame = stack.back();
            skipWhitespace();
            if (m_c == m_end)
                return endOfInput();
            const char close = frame.isObject ? '}' : ']';
            if (*m_c == close) {
                ++m_c;
                closed = true;
                continue;
            }
            if (*m_c != ',') {
                addErrorWithCodeDescription(3, frame.isObject ? "Expected ',' or '}' after object member"
                                                              : "Expected ',' or ']' after array element");
                return fail(true);
            }
            ++m_c;
            skipWhitespace();
            if (m_c == m_end)
                return endOfInput();
            if (*m_c == close) {
                addErrorWithCodeDescription(9, frame.isObject ? "Trailing comma disallowed in object"
                                                              : "Trailing comma disallowed in array");
                return fail(true);
            }
            if (frame.isObject && !scanMemberKey())
                return fail(true);
            break;
        }
    }
}

// At the key of an object member; leaves the position after the ':', with the member pending
// (its value still null).
bool BRJsonParser::scanMemberKey()
{
    if (*m_c != '"') {
        addErrorWithCodeDescription(3, "Object key string expected");
        return false;
    }
    ++m_c;
    std::string_view key;
    if (!scanString(key)) {
        addErrorWithCodeDescription(3, "Object key string expected");
        return false;
    }
    skipWhitespace();
    if (m_c == m_end || *m_c != ':') {
        addErrorWithCodeDescription(3, "Expected ':' separating key and value");
        return false;
    }
    ++m_c;
    if (m_rowHandler && m_stack.size() == 1 && key == m_rowKey)
        ++m_rowKeyOccurrences;
    m_members.emplace_back(std::piecewise_construct, std::forward_as_tuple(key), std::forward_as_tuple());
    return true;
}

// After the opening quote; leaves the position after the closing one. A string without
// escapes is taken from the text in one piece; others are assembled in a reused buffer.
bool BRJsonParser::scanString(std::string_view& result)
{
    std::string& out = m_scratch;
    out.clear();
    bool first = true;
    for (;;) {
        const unsigned char* run = m_c;
        while (m_c != m_end) {
            if (m_end - m_c >= kScanBlock) {
                unsigned plain = firstSpecial(m_c);
                m_c += plain;
                if (plain == kScanBlock)
                    continue;
            }
            unsigned char b = *m_c;
            if (b < 0x80) {
                if (kStopSet[b])
                    break;
                ++m_c;
                continue;
            }
            size_t n = utf8SequenceLength(m_c, m_end);
            if (n == 0) {
                addErrorWithCodeDescription(3, "Invalid UTF-8 in string");
                return false;
            }
            m_c += n;
        }
        // The end of the text counts as a zero byte, as in a terminated buffer.
        unsigned char b = m_c == m_end ? 0 : *m_c;
        if (b == '"' && first) {
            result = std::string_view(reinterpret_cast<const char*>(run), static_cast<size_t>(m_c - run));
            ++m_c;
            return true;
        }
        first = false;
        out.append(reinterpret_cast<const char*>(run), static_cast<size_t>(m_c - run));
        if (b == '"') {
            result = out;
            ++m_c;
            return true;
        }
        if (b != '\\') {
            addErrorWithCodeDescription(5, hexByteText("Unescaped control character '0x%x'", b));
            return false;
        }
        ++m_c;
        unsigned char e = 0;
        if (m_c != m_end)
            e = *m_c++;
        switch (e) {
        case '"':
        case '\\':
        case '/': out.push_back(static_cast<char>(e)); break;
        case 'b': out.push_back('\b'); break;
        case 'f': out.push_back('\f'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'u':
            if (!scanUnicodeEscape(out)) {
                addErrorWithCodeDescription(6, "Broken unicode character");
                return false;
            }
            break;
        default:
            addErrorWithCodeDescription(8, hexByteText("Illegal escape sequence '0x%x'", e));
            return false;
        }
        if (m_c == m_end) {
            addErrorWithCodeDescription(11, "Unexpected EOF while parsing string");
            return false;
        }
    }
}

// After "\u": one character, or a surrogate pair as one 4-byte character.
bool BRJsonParser::scanUnicodeEscape(std::string& out)
{
    uint32_t high = 0;
    if (!scanHexQuad(high)) {
        addErrorWithCodeDescription(6, "Missing hex quad");
        return false;
    }
    if (high >= 0xDC00 && high <= 0xDFFF) {
        addErrorWithCodeDescription(6, "Invalid high character in surrogate pair");
        return false;
    }
    if (high < 0xD800 || high > 0xDBFF) {
        appendUtf8(out, high);
        return true;
    }
    uint32_t low = 0;
    if (m_end - m_c < 2 || m_c[0] != '\\' || m_c[1] != 'u' || (m_c += 2, !scanHexQuad(low))) {
        addErrorWithCodeDescription(6, "Missing low character in surrogate pair");
        return false;
    }
    if (low < 0xDC00 || low > 0xDFFF) {
        addErrorWithCodeDescription(6, "Invalid low surrogate char");
        return false;
    }
    appendUtf8(out, 0x10000 + (high - 0xD800) * 0x400 + (low - 0xDC00));
    return true;
}

bool BRJsonParser::scanHexQuad(uint32_t& unit)
{
    unit = 0;
    for (int i = 0; i < 4; ++i) {
        unsigned char b = m_c == m_end ? 0 : *m_c;
        uint32_t digit;
        if (isDigit(b))
            digit = b - '0';
        else if (b >= 'a' && b <= 'f')
            digit = b - 'a' + 10;
        else if (b >= 'A' && b <= 'F')
            digit = b - 'A' + 10;
        else {
            addErrorWithCodeDescription(6, "Missing hex digit in quad");
            return false;
        }
        unit = unit * 16 + digit;
        ++m_c;
    }
    return true;
}

// Validates the number's bytes before converting them, so the decimal type only ever sees
// well-formed JSON numbers.
bool BRJsonParser::scanNumber(base::Decimal& out)
{
    const unsigned char* start = m_c;
    // Plain numbers of up to 19 digits (nearly all of them) are converted while they are
    // read; the rest go through the decimal type's own reader.
    uint64_t mantissa = 0;
    int digits = 0;
    int scale = 0;
    auto at = [&](auto pred) { return m_c != m_end && pred(*m_c); };
    auto takeDigits = [&](bool fraction) {
        while (at(isDigit)) {
            mantissa = mantissa * 10 + static_cast<unsigned>(*m_c++ - '0');
            ++digits;
            scale += fraction;
        }
    };
    const bool negative = *m_c == '-';
    if (negative)
        ++m_c;
    if (at([](unsigned char b) { return b == '0'; })) {
        ++m_c;
        ++digits;
        if (at(isDigit)) {
            addErrorWithCodeDescription(2, "Leading 0 disallowed in number");
            return false;
        }
    } else {
        if (!at(isDigit)) {
            addErrorWithCodeDescription(2, "No digits after initial minus");
            return false;
        }
        takeDigits(false);
    }
    if (at([](unsigned char b) { return b == '.'; })) {
        ++m_c;
        if (!at(isDigit)) {
            addErrorWithCodeDescription(2, "No digits after decimal point");
            return false;
        }
        takeDigits(true);
    }
    bool exponent = false;
    if (at([](unsigned char b) { return b == 'e' || b == 'E'; })) {
        exponent = true;
        ++m_c;
        if (at([](unsigned char b) { return b == '+' || b == '-'; }))
            ++m_c;
        if (!at(isDigit)) {
            addErrorWithCodeDescription(2, "No digits after exponent");
            return false;
        }
        while (at(isDigit))
            ++m_c;
    }
    if (!exponent && digits <= 19) {
        if (mantissa == 0) {
            out = base::Decimal::fromParts(0, 0, 0, false, static_cast<unsigned>(scale));
            return true;
        }
        int stripped = 0;
        while (mantissa % 10 == 0) {
            mantissa /= 10;
            ++stripped;
        }
        out = base::Decimal::fromParts(mantissa, 0, stripped - scale, negative,
                                       static_cast<unsigned>(stripped < scale ? stripped : scale));
        return true;
    }
    auto decimal = base::Decimal::fromText(
        std::string_view(reinterpret_cast<const char*>(start), static_cast<size_t>(m_c - start)));
    if (!decimal) {
        addErrorWithCodeDescription(2, "Failed creating decimal instance");
        return false;
    }
    out = *decimal;
    return true;
}

// At the literal's first letter; nothing is required after its last one.
bool BRJsonParser::scanLiteral(std::string_view literal, const char* error)
{
    if (static_cast<size_t>(m_end - m_c) < literal.size() || std::memcmp(m_c, literal.data(), literal.size()) != 0) {
        addErrorWithCodeDescription(3, error);
        return false;
    }
    m_c += literal.size();
    return true;
}

void BRJsonParser::skipWhitespace()
{
    while (m_c != m_end && isWhitespace(*m_c))
        ++m_c;
}
