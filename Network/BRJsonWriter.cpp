#include "Network/BRJsonWriter.h"

#include "Network/BRJsonText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Bytes that a string cannot hold unescaped.
constexpr std::array<bool, 256> makeEscapeSet()
{
    std::array<bool, 256> set{};
    for (int b = 0; b < 32; ++b)
        set[static_cast<size_t>(b)] = true;
    set['"'] = true;
    set['\\'] = true;
    return set;
}
constexpr std::array<bool, 256> kEscapeSet = makeEscapeSet();

// False, writing nothing, when the text is not well-formed UTF-8.
bool appendString(std::string_view s, std::string& out)
{
    const auto* p = reinterpret_cast<const unsigned char*>(s.data());
    const auto* end = p + s.size();
    const size_t start = out.size();
    out.push_back('"');
    const unsigned char* run = p;
    while (p != end) {
        if (end - p >= brjson::kScanBlock) {
            unsigned plain = brjson::firstSpecial(p);
            p += plain;
            if (plain == brjson::kScanBlock)
                continue;
        }
        unsigned char b = *p;
        if (b >= 0x80) {
            size_t n = brjson::utf8SequenceLength(p, end);
            if (n == 0) {
                out.resize(start);
                return false;
            }
            p += n;
            continue;
        }
        if (!kEscapeSet[b]) {
            ++p;
            continue;
        }
        out.append(reinterpret_cast<const char*>(run), static_cast<size_t>(p - run));
        run = ++p;
        switch (b) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default: {
            static const char hex[] = "0123456789abcdef";
            char esc[] = {'\\', 'u', '0', '0', hex[b >> 4], hex[b & 15]};
            out.append(esc, sizeof esc);
        }
        }
    }
    out.append(reinterpret_cast<const char*>(run), static_cast<size_t>(p - run));
    out.push_back('"');
    return true;
}

template<typename T>
void appendNumber(T number, std::string& out)
{
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, number);
    out.append(buf, res.ptr);
}

} // namespace

// An open container being written; the stack of them replaces recursion.
struct BRJsonWriter::Frame {
    const base::Value* elements = nullptr;                // of an array
    const base::Dictionary::Entry* entries = nullptr;     // of an object, in its own order
    std::vector<const base::Dictionary::Entry*> sorted;   // of an object, when sortKeys is set
    size_t size = 0;
    size_t next = 0;

    bool isObject() const { return elements == nullptr; }
    const base::Dictionary::Entry& entry(size_t i) const { return sorted.empty() ? entries[i] : *sorted[i]; }
};

std::optional<std::string> BRJsonWriter::stringWithObject(const base::Value& value)
{
    if (!value.isDictionary() && !value.isArray()) {
        clearErrorTrace();
        addErrorWithCodeDescription(4, "Not valid type for JSON");
        return std::nullopt;
    }
    return stringWithFragment(value);
}

std::optional<std::string> BRJsonWriter::stringWithFragment(const base::Value& value)
{
    clearErrorTrace();
    m_depth = 0;
    std::string out;
    out.reserve(128);
    if (!appendValue(value, out))
        return std::nullopt;
    return out;
}

bool BRJsonWriter::appendValue(const base::Value& root, std::string& out)
{
    std::vector<Frame> stack;
    const base::Value* value = &root;

    for (;;) {
        if (value) {
            bool isObject = value->isDictionary();
            if (isObject || value->isArray()) {
                if (!enterNesting())
                    break;
                Frame frame;
                if (isObject) {
                    const auto& entries = value->asDictionary().entries();
                    frame.entries = entries.data();
                    frame.size = entries.size();
                } else {
                    frame.elements = value->asArray().data();
                    frame.size = value->asArray().size();
                }
                if (frame.size == 0) {
                    out += isObject ? "{}" : "[]";
                    leaveNesting();
                } else {
                    out.push_back(isObject ? '{' : '[');
                    if (isObject && m_sortKeys) {
                        for (size_t i = 0; i < frame.size; ++i)
                            frame.sorted.push_back(&frame.entries[i]);
                        std::sort(frame.sorted.begin(), frame.sorted.end(),
                                  [](auto* a, auto* b) { return a->first < b->first; });
                    }
                    stack.push_back(std::move(frame));
                }
            } else if (!appendScalar(*value, out)) {
                break;
            }
            value = nullptr;
        }

        if (stack.empty())
            return true;
        Frame& frame = stack.back();
        if (frame.next == frame.size) {
            leaveNesting();
            appendIndent(out);
            out.push_back(frame.isObject() ? '}' : ']');
            stack.pop_back();
            continue;
        }
        if (frame.next > 0)
            out.push_back(',');
        appendIndent(out);
        if (frame.isObject()) {
            const base::Dictionary::Entry& entry = frame.entry(frame.next);
            if (!appendString(entry.first.view(), out)) {
                addErrorWithCodeDescription(1, "JSON object key must be valid UTF-8");
                stack.pop_back(); // the object itself failed, not one of its values
                break;
            }
            out += m_humanReadable ? " : " : ":";
            value = &entry.second;
        } else {
            value = &frame.elements[frame.next];
        }
        ++frame.next;
    }

    // The value failed: every enclosing object names the member that held it.
    for (size_t n = stack.size(); n-- > 0;) {
        if (stack[n].isObject())
            addErrorWithCodeDescription(1, "Unsupported value for key " + stack[n].entry(stack[n].next - 1).first +
                                               " in object");
    }
    return false;
}

bool BRJsonWriter::appendScalar(const base::Value& value, std::string& out)
{
    using Type = base::Value::Type;
    switch (value.type()) {
    case Type::String:
        if (!appendString(value.asString().view(), out)) {
            // The parser refuses such text, so writing it would break the document.
            addErrorWithCodeDescription(1, "JSON serialisation not supported for string with invalid UTF-8");
            return false;
        }
        return true;
    case Type::Integer: appendNumber(value.asInteger(), out); return true;
    case Type::Decimal: value.asDecimal().appendTo(out); return true;
    case Type::Double: {
        double d = value.asDouble();
        if (!std::isfinite(d)) {
            // NaN and infinities have no JSON form; writing them would break the document.
            addErrorWithCodeDescription(1, std::string("JSON serialisation not supported for ") +
                                               (std::isnan(d) ? "nan" : d < 0 ? "-inf" : "inf"));
            return false;
        }
        char buf[64];
        auto res = std::to_chars(buf, buf + sizeof buf, d);
        std::string_view text(buf, static_cast<size_t>(res.ptr - buf));
        // Only what the decimal reader takes back: 1e+200 and 5e-324 are out of its range.
        if (!base::Decimal::fromText(text)) {
            addErrorWithCodeDescription(1, "JSON serialisation not supported for " + std::string(text));
            return false;
        }
        out.append(text);
        return true;
    }
    case Type::Bool: out += value.asBool() ? "true" : "false"; return true;
    case Type::Null: out += "null"; return true;
    default:
        addErrorWithCodeDescription(1, std::string("JSON serialisation not supported for ") +
                                           base::Value::typeName(value.type()));
        return false;
    }
}

void BRJsonWriter::appendIndent(std::string& out) const
{
    if (!m_humanReadable)
        return;
    out.push_back('\n');
    out.append(2 * static_cast<size_t>(m_depth), ' ');
}
