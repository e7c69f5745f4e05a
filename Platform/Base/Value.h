#pragma once
#include "Platform/Base/Date.h"
#include "Platform/Base/Decimal.h"

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

namespace base {

class Value;

// Members in insertion order; setting an existing key replaces its value in place.
class Dictionary {
public:
    using Entry = std::pair<std::string, Value>;

    Dictionary() = default;
    Dictionary(std::initializer_list<Entry> entries);
    Dictionary(const Dictionary& other);
    Dictionary& operator=(const Dictionary& other);
    Dictionary(Dictionary&&) noexcept = default;
    Dictionary& operator=(Dictionary&&) noexcept = default;
    ~Dictionary();

    size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    const Value* find(std::string_view key) const;
    Value* find(std::string_view key);
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    void set(std::string key, Value value);
    bool remove(std::string_view key);
    void clear();

    std::vector<Entry>::const_iterator begin() const { return m_entries.begin(); }
    std::vector<Entry>::const_iterator end() const { return m_entries.end(); }
    const std::vector<Entry>& entries() const { return m_entries; }

    bool operator==(const Dictionary& other) const; // order-insensitive

private:
    void rebuildIndex();
    std::vector<Entry> m_entries;
    // Built only for larger dictionaries so small ones stay cheap.
    std::unique_ptr<std::unordered_map<std::string, size_t>> m_index;
};

using Array = std::vector<Value>;
using Bytes = std::vector<uint8_t>;

// A dynamically typed value: the values of JSON answers, user defaults and property lists.
class Value {
public:
    enum class Type { Null, Bool, Integer, Decimal, Double, String, Bytes, Date, Array, Dictionary };

    Value() = default;
    Value(std::nullptr_t) {}
    Value(bool b) : m_data(b) {}
    Value(int i) : m_data(static_cast<int64_t>(i)) {}
    Value(long i) : m_data(static_cast<int64_t>(i)) {}
    Value(long long i) : m_data(static_cast<int64_t>(i)) {}
    Value(unsigned i) : m_data(static_cast<int64_t>(i)) {}
    Value(unsigned long i) : m_data(static_cast<int64_t>(i)) {}
    Value(base::Decimal d) : m_data(std::move(d)) {}
    Value(double d) : m_data(d) {}
    Value(const char* s) : m_data(std::string(s)) {}
    Value(std::string s) : m_data(std::move(s)) {}
    Value(std::string_view s) : m_data(std::string(s)) {}
    Value(base::Bytes b) : m_data(std::move(b)) {}
    Value(base::Date d) : m_data(d) {}
    Value(base::Array a) : m_data(std::move(a)) {}
    Value(base::Dictionary d) : m_data(std::move(d)) {}

    Type type() const { return static_cast<Type>(m_data.index()); }
    static const char* typeName(Type t);
    bool isNull() const { return type() == Type::Null; }
    bool isBool() const { return type() == Type::Bool; }
    bool isInteger() const { return type() == Type::Integer; }
    bool isDecimal() const { return type() == Type::Decimal; }
    bool isDouble() const { return type() == Type::Double; }
    bool isNumber() const { return isInteger() || isDecimal() || isDouble(); }
    bool isString() const { return type() == Type::String; }
    bool isBytes() const { return type() == Type::Bytes; }
    bool isDate() const { return type() == Type::Date; }
    bool isArray() const { return type() == Type::Array; }
    bool isDictionary() const { return type() == Type::Dictionary; }

    // Exact accessors: only valid for the matching type.
    bool asBool() const { return std::get<bool>(m_data); }
    int64_t asInteger() const { return std::get<int64_t>(m_data); }
    const base::Decimal& asDecimal() const { return std::get<base::Decimal>(m_data); }
    double asDouble() const { return std::get<double>(m_data); }
    const std::string& asString() const { return std::get<std::string>(m_data); }
    const base::Bytes& asBytes() const { return std::get<base::Bytes>(m_data); }
    base::Date asDate() const { return std::get<base::Date>(m_data); }
    const base::Array& asArray() const { return std::get<base::Array>(m_data); }
    base::Array& asArray() { return std::get<base::Array>(m_data); }
    const base::Dictionary& asDictionary() const { return std::get<base::Dictionary>(m_data); }
    base::Dictionary& asDictionary() { return std::get<base::Dictionary>(m_data); }

    // Lenient conversions the way callers read server values: numbers, booleans and numeric
    // texts convert; anything else gives the fallback.
    int64_t toInt(int64_t fallback = 0) const;
    double toDouble(double fallback = 0) const;
    bool toBool(bool fallback = false) const;
    // Strings as they are, numbers in plain text, null and containers give the fallback.
    std::string toString(const std::string& fallback = {}) const;

    // Dictionary lookup; a shared null value when absent or not a dictionary.
    const Value& operator[](std::string_view key) const;

    bool operator==(const Value& other) const;
    bool operator!=(const Value& other) const { return !(*this == other); }

private:
    std::variant<std::monostate, bool, int64_t, base::Decimal, double, std::string, base::Bytes,
                 base::Date, base::Array, base::Dictionary>
        m_data;
};

} // namespace base
