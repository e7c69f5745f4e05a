#include "Platform/Base/PropertyList.h"

#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <memory>
#include <plist/plist.h>

namespace base {

namespace {

// Seconds from 1970-01-01 to the format's 2001-01-01 reference.
constexpr double kReferenceOffset = 978307200.0;

struct PlistFree {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

struct CFree {
    void operator()(void* p) const { std::free(p); }
};
template<typename T> using CPtr = std::unique_ptr<T, CFree>;

// The library reads and writes numbers with the C library's locale-dependent functions: a
// process locale with a decimal comma would misread "1.5", so this thread uses "C" meanwhile.
class CLocaleScope {
public:
    CLocaleScope() : m_locale(newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0)))
    {
        if (m_locale)
            m_previous = uselocale(m_locale);
    }
    ~CLocaleScope()
    {
        if (m_locale) {
            uselocale(m_previous);
            freelocale(m_locale);
        }
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t m_locale;
    locale_t m_previous = static_cast<locale_t>(0);
};

PlistPtr toNode(const Value& value);

PlistPtr integerNode(int64_t v)
{
    // The library keeps integers as 64-bit words and writes them signed.
    return PlistPtr(plist_new_uint(static_cast<uint64_t>(v)));
}

PlistPtr decimalNode(const Decimal& d)
{
    if (d.isIntegral()) {
        int64_t i = d.toInt64();
        if (Decimal::fromInt(i) == d)
            return integerNode(i);
    }
    return PlistPtr(plist_new_real(d.toDouble()));
}

PlistPtr dateNode(Date date)
{
    double since = std::round(date.timeIntervalSince1970() - kReferenceOffset);
    if (!(since >= std::numeric_limits<int32_t>::min() && since <= std::numeric_limits<int32_t>::max())) {
        logf("PropertyList: date %.0f out of range", date.timeIntervalSince1970());
        return nullptr;
    }
    return PlistPtr(plist_new_date(static_cast<int32_t>(since), 0));
}

PlistPtr toNode(const Value& value)
{
    switch (value.type()) {
    case Value::Type::Null:
        log("PropertyList: a null value cannot be stored");
        return nullptr;
    case Value::Type::Bool:
        return PlistPtr(plist_new_bool(value.asBool() ? 1 : 0));
    case Value::Type::Integer:
        return integerNode(value.asInteger());
    case Value::Type::Decimal:
        return decimalNode(value.asDecimal());
    case Value::Type::Double:
        return PlistPtr(plist_new_real(value.asDouble()));
    case Value::Type::String:
        return PlistPtr(plist_new_string(value.asString().c_str()));
    case Value::Type::Bytes: {
        auto& bytes = value.asBytes();
        return PlistPtr(plist_new_data(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }
    case Value::Type::Date:
        return dateNode(value.asDate());
    case Value::Type::Array: {
        PlistPtr array(plist_new_array());
        for (auto& item : value.asArray()) {
            PlistPtr child = toNode(item);
            if (!child)
                return nullptr;
            plist_array_append_item(array.get(), child.release());
        }
        return array;
    }
    case Value::Type::Dictionary: {
        PlistPtr dict(plist_new_dict());
        for (auto& [key, item] : value.asDictionary()) {
            PlistPtr child = toNode(item);
            if (!child)
                return nullptr;
            plist_dict_set_item(dict.get(), key.c_str(), child.release());
        }
        return dict;
    }
    }
    return nullptr;
}

std::optional<Value> fromNode(plist_t node)
{
    if (!node)
        return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return Value(b != 0);
    }
    case PLIST_UINT: {
        uint64_t u = 0;
        plist_get_uint_val(node, &u);
        return Value(static_cast<long long>(static_cast<int64_t>(u)));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return Value(d);
    }
    case PLIST_STRING: {
        uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        return Value(std::string(text ? text : "", text ? length : 0));
    }
    case PLIST_DATA: {
        uint64_t length = 0;
        auto data = reinterpret_cast<const uint8_t*>(plist_get_data_ptr(node, &length));
        return Value(data ? Bytes(data, data + length) : Bytes());
    }
    case PLIST_DATE: {
        int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return Value(Date(kReferenceOffset + sec + usec / 1e6));
    }
    case PLIST_ARRAY: {
        Array array;
        uint32_t count = plist_array_get_size(node);
        array.reserve(count);
        for (uint32_t i = 0; i < count; ++i) {
            auto item = fromNode(plist_array_get_item(node, i));
            if (!item)
                return std::nullopt;
            array.push_back(std::move(*item));
        }
        return Value(std::move(array));
    }
    case PLIST_DICT: {
        Dictionary dict;
        plist_dict_iter rawIter = nullptr;
        plist_dict_new_iter(node, &rawIter);
        CPtr<void> iter(rawIter);
        if (!iter)
            return std::nullopt;
        for (;;) {
            char* rawKey = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iter.get(), &rawKey, &item);
            CPtr<char> key(rawKey);
            if (!item)
                break;
            auto converted = fromNode(item);
            if (!key || !converted)
                return std::nullopt;
            dict.set(key.get(), std::move(*converted));
        }
        return Value(std::move(dict));
    }
    default:
        return std::nullopt; // keys out of place, identifiers: not ours
    }
}

} // namespace

std::optional<Value> PropertyList::fromXml(std::string_view xml)
{
    if (xml.empty() || xml.size() > std::numeric_limits<uint32_t>::max())
        return std::nullopt;
    std::string text(xml); // the parser is safest with a terminated buffer
    CLocaleScope cLocale;
    plist_t raw = nullptr;
    plist_from_xml(text.c_str(), static_cast<uint32_t>(text.size()), &raw);
    PlistPtr root(raw);
    return fromNode(root.get());
}

std::optional<Value> PropertyList::readFile(const std::filesystem::path& path)
{
    auto text = FileManager::readTextFile(path);
    if (!text)
        return std::nullopt;
    return fromXml(*text);
}

std::optional<std::string> PropertyList::toXml(const Value& value)
{
    PlistPtr root = toNode(value);
    if (!root)
        return std::nullopt;
    CLocaleScope cLocale;
    char* raw = nullptr;
    uint32_t length = 0;
    plist_to_xml(root.get(), &raw, &length);
    if (!raw)
        return std::nullopt;
    std::string xml(raw, length);
    plist_to_xml_free(raw);
    return xml;
}

bool PropertyList::writeFile(const std::filesystem::path& path, const Value& value, unsigned mode)
{
    auto xml = toXml(value);
    return xml && FileManager::writeAtomically(path, std::string_view(*xml), static_cast<mode_t>(mode));
}

} // namespace base
