#include "Platform/Base/Value.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace base {

namespace {
constexpr size_t kIndexThreshold = 16;

// The leading number of a text, whatever the process locale ("12.5" is never 12 under de_DE).
bool parseLeadingDouble(const std::string& s, double& out)
{
    size_t i = s.find_first_not_of(" \t\n\r");
    if (i == std::string::npos)
        return false;
    const char* first = s.data() + i;
    if (*first == '+')
        ++first;
    auto result = std::from_chars(first, s.data() + s.size(), out);
    return result.ec == std::errc();
}
}

Dictionary::Dictionary(std::initializer_list<Entry> entries)
{
    for (auto& e : entries)
        set(e.first, e.second);
}

Dictionary::Dictionary(const Dictionary& other) : m_entries(other.m_entries)
{
    rebuildIndex();
}

Dictionary& Dictionary::operator=(const Dictionary& other)
{
    if (this != &other) {
        m_entries = other.m_entries;
        rebuildIndex();
    }
    return *this;
}

Dictionary::~Dictionary() = default;

void Dictionary::rebuildIndex()
{
    if (m_entries.size() < kIndexThreshold) {
        m_index.reset();
        return;
    }
    m_index = std::make_unique<std::unordered_map<std::string, size_t>>();
    m_index->reserve(m_entries.size() * 2);
    for (size_t i = 0; i < m_entries.size(); ++i)
        m_index->emplace(m_entries[i].first, i);
}

const Value* Dictionary::find(std::string_view key) const
{
    if (m_index) {
        auto it = m_index->find(std::string(key));
        return it == m_index->end() ? nullptr : &m_entries[it->second].second;
    }
    for (auto& e : m_entries)
        if (e.first == key)
            return &e.second;
    return nullptr;
}

Value* Dictionary::find(std::string_view key)
{
    return const_cast<Value*>(static_cast<const Dictionary*>(this)->find(key));
}

void Dictionary::set(std::string key, Value value)
{
    if (Value* existing = find(key)) {
        *existing = std::move(value);
        return;
    }
    m_entries.emplace_back(std::move(key), std::move(value));
    if (m_index)
        m_index->emplace(m_entries.back().first, m_entries.size() - 1);
    else if (m_entries.size() >= kIndexThreshold)
        rebuildIndex();
}

bool Dictionary::remove(std::string_view key)
{
    for (auto it = m_entries.begin(); it != m_entries.end(); ++it) {
        if (it->first == key) {
            m_entries.erase(it);
            rebuildIndex();
            return true;
        }
    }
    return false;
}

void Dictionary::clear()
{
    m_entries.clear();
    m_index.reset();
}

bool Dictionary::operator==(const Dictionary& other) const
{
    if (size() != other.size())
        return false;
    for (auto& e : m_entries) {
        const Value* v = other.find(e.first);
        if (!v || !(*v == e.second))
            return false;
    }
    return true;
}

const char* Value::typeName(Type t)
{
    switch (t) {
    case Type::Null: return "null";
    case Type::Bool: return "bool";
    case Type::Integer: return "integer";
    case Type::Decimal: return "decimal";
    case Type::Double: return "double";
    case Type::String: return "string";
    case Type::Bytes: return "data";
    case Type::Date: return "date";
    case Type::Array: return "array";
    case Type::Dictionary: return "dictionary";
    }
    return "unknown";
}

int64_t Value::toInt(int64_t fallback) const
{
    switch (type()) {
    case Type::Bool: return asBool() ? 1 : 0;
    case Type::Integer: return asInteger();
    case Type::Decimal: return asDecimal().toInt64();
    case Type::Double: {
        double d = asDouble();
        if (std::isnan(d))
            return fallback;
        if (d >= 9.2233720368547758e18)
            return std::numeric_limits<int64_t>::max();
        if (d <= -9.2233720368547758e18)
            return std::numeric_limits<int64_t>::min();
        return static_cast<int64_t>(d);
    }
    case Type::String: {
        // Leading integer part of a numeric text, the way servers send ids as strings.
        double d;
        if (!parseLeadingDouble(asString(), d))
            return fallback;
        return Value(d).toInt(fallback);
    }
    default: return fallback;
    }
}

double Value::toDouble(double fallback) const
{
    switch (type()) {
    case Type::Bool: return asBool() ? 1.0 : 0.0;
    case Type::Integer: return static_cast<double>(asInteger());
    case Type::Decimal: return asDecimal().toDouble();
    case Type::Double: return asDouble();
    case Type::String: {
        double d;
        return parseLeadingDouble(asString(), d) ? d : fallback;
    }
    default: return fallback;
    }
}

bool Value::toBool(bool fallback) const
{
    switch (type()) {
    case Type::Bool: return asBool();
    case Type::Integer: return asInteger() != 0;
    case Type::Decimal: return !asDecimal().isZero();
    case Type::Double: return asDouble() != 0.0;
    case Type::String: {
        const std::string& s = asString();
        if (s == "YES" || s == "yes" || s == "true" || s == "TRUE" || s == "Y" || s == "y")
            return true;
        return toInt(0) != 0;
    }
    default: return fallback;
    }
}

std::string Value::toString(const std::string& fallback) const
{
    switch (type()) {
    case Type::String: return asString();
    case Type::Bool: return asBool() ? "1" : "0";
    case Type::Integer: return std::to_string(asInteger());
    case Type::Decimal: return asDecimal().toString();
    case Type::Double: {
        double d = asDouble();
        if (!std::isfinite(d))
            return fallback;
        char buf[64];
        auto res = std::to_chars(buf, buf + sizeof buf, d);
        return std::string(buf, res.ptr);
    }
    default: return fallback;
    }
}

const Value& Value::operator[](std::string_view key) const
{
    static const Value null;
    if (!isDictionary())
        return null;
    const Value* v = asDictionary().find(key);
    return v ? *v : null;
}

bool Value::operator==(const Value& other) const
{
    return m_data == other.m_data;
}

} // namespace base
