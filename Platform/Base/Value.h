#pragma once
#include "Platform/Base/Date.h"
#include "Platform/Base/Decimal.h"
#include "Platform/Base/String.h"

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace base {

class Value;
using Bytes = std::vector<uint8_t>;

// A sequence of values in one heap block (a small header, then the elements), behind one
// pointer: an empty array allocates nothing.
class Array {
public:
    using value_type = Value;
    using size_type = size_t;
    using difference_type = std::ptrdiff_t;
    using reference = Value&;
    using const_reference = const Value&;
    using iterator = Value*;
    using const_iterator = const Value*;

    Array() noexcept = default;
    Array(std::initializer_list<Value> values);
    template<typename It, typename = std::enable_if_t<!std::is_integral_v<It>>>
    Array(It first, It last);
    Array(const Array& other);
    Array(Array&& other) noexcept : m_block(std::exchange(other.m_block, nullptr)) {}
    Array& operator=(const Array& other);
    Array& operator=(Array&& other) noexcept;
    ~Array();

    // Moves the values in, sized exactly for them.
    static Array fromValues(Value* first, Value* last);

    size_t size() const noexcept { return m_block ? m_block->size : 0; }
    bool empty() const noexcept { return size() == 0; }
    size_t capacity() const noexcept { return m_block ? m_block->capacity : 0; }
    Value* data() noexcept;
    const Value* data() const noexcept;
    Value* begin() noexcept { return data(); }
    Value* end() noexcept;
    const Value* begin() const noexcept { return data(); }
    const Value* end() const noexcept;
    Value& operator[](size_t i) noexcept;
    const Value& operator[](size_t i) const noexcept;
    const Value& at(size_t i) const;
    Value& front() noexcept { return *data(); }
    const Value& front() const noexcept { return *data(); }
    Value& back() noexcept;
    const Value& back() const noexcept;

    void reserve(size_t n);
    void push_back(const Value& value);
    void push_back(Value&& value);
    template<typename... Args>
    Value& emplace_back(Args&&... args);
    void pop_back();
    void clear() noexcept;
    Value* insert(const Value* position, Value value);
    Value* erase(const Value* position);
    Value* erase(const Value* first, const Value* last);

    bool operator==(const Array& other) const;

private:
    friend class Value;
    struct Block {
        uint32_t size;
        uint32_t capacity : 31;
        uint32_t pooled : 1; // carved from a BlockPool
    };
    static Value* items(Block* b) noexcept;
    static const Value* items(const Block* b) noexcept;
    void grow(size_t minimum);
    // Takes the block of another array's elements without touching them.
    Block* release() noexcept { return std::exchange(m_block, nullptr); }

    Block* m_block = nullptr;
};

// Members in insertion order, in one heap block behind one pointer; setting an existing key
// replaces its value in place.
class Dictionary {
public:
    using Entry = std::pair<String, Value>;

    Dictionary() noexcept = default;
    Dictionary(std::initializer_list<Entry> entries);
    Dictionary(const Dictionary& other);
    Dictionary(Dictionary&& other) noexcept : m_block(std::exchange(other.m_block, nullptr)) {}
    Dictionary& operator=(const Dictionary& other);
    Dictionary& operator=(Dictionary&& other) noexcept;
    ~Dictionary();

    // Moves the members in, the later of two equal keys replacing the earlier one's value;
    // sized exactly for them.
    static Dictionary fromEntries(Entry* first, Entry* last);

    size_t size() const noexcept { return m_block ? m_block->size : 0; }
    bool empty() const noexcept { return size() == 0; }
    const Value* find(std::string_view key) const;
    Value* find(std::string_view key);
    bool contains(std::string_view key) const { return find(key) != nullptr; }
    void set(std::string_view key, Value value);
    void set(const char* key, Value value);
    void set(String&& key, Value value);
    bool remove(std::string_view key);
    void clear() noexcept;
    void reserve(size_t n);

    const Entry* begin() const noexcept;
    const Entry* end() const noexcept;
    std::span<const Entry> entries() const noexcept;

    bool operator==(const Dictionary& other) const; // order-insensitive

private:
    friend class Value;
    struct Index;
    struct Block {
        uint32_t size;
        uint32_t capacity : 31;
        uint32_t pooled : 1; // carved from a BlockPool
        Index* index;        // built only for larger dictionaries so small ones stay cheap
    };
    static Entry* entriesOf(Block* b) noexcept;
    static const Entry* entriesOf(const Block* b) noexcept;
    void grow(size_t minimum);
    void rebuildIndex();
    void append(String&& key, Value&& value);
    Block* release() noexcept { return std::exchange(m_block, nullptr); }

    Block* m_block = nullptr;
};

// A dynamically typed value: the values of JSON answers, user defaults and property lists.
// Compact: texts of up to 15 bytes, numbers and dates live inside it; longer texts, arrays,
// dictionaries and bytes behind one pointer.
class Value {
public:
    enum class Type : uint8_t { Null, Bool, Integer, Decimal, Double, String, Bytes, Date, Array, Dictionary };

    Value() noexcept : m_int(0) {}
    Value(std::nullptr_t) noexcept : Value() {}
    Value(bool b) noexcept : m_int(0), m_type(Type::Bool) { m_bool = b; }
    Value(int i) noexcept : Value(static_cast<long long>(i)) {}
    Value(long i) noexcept : Value(static_cast<long long>(i)) {}
    Value(long long i) noexcept : m_int(static_cast<int64_t>(i)), m_type(Type::Integer) {}
    Value(unsigned i) noexcept : Value(static_cast<long long>(i)) {}
    Value(unsigned long i) noexcept : Value(static_cast<long long>(i)) {}
    Value(const base::Decimal& d) noexcept;
    Value(double d) noexcept : m_double(d), m_type(Type::Double) {}
    Value(const char* s) : m_string(s), m_type(Type::String) {}
    Value(const std::string& s) : m_string(s), m_type(Type::String) {}
    Value(std::string_view s) : m_string(s), m_type(Type::String) {}
    Value(base::String s) noexcept : m_string(std::move(s)), m_type(Type::String) {}
    Value(base::Bytes b);
    Value(base::Date d) noexcept : m_double(d.timeIntervalSince1970()), m_type(Type::Date) {}
    Value(base::Array a) noexcept : m_array(std::move(a)), m_type(Type::Array) {}
    Value(base::Dictionary d) noexcept : m_dictionary(std::move(d)), m_type(Type::Dictionary) {}

    Value(const Value& other);
    Value(Value&& other) noexcept : m_int(0) { takeFrom(other); }
    Value& operator=(const Value& other);
    Value& operator=(Value&& other) noexcept
    {
        if (this != &other) {
            // The old content may hold `other` (a member assigned over its container).
            Value old;
            old.takeFrom(*this);
            takeFrom(other);
        }
        return *this;
    }
    ~Value()
    {
        if (m_type >= Type::String && m_type != Type::Date)
            destroy();
    }

    Type type() const noexcept { return m_type; }
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

    // Exact accessors: only valid for the matching type (std::bad_variant_access otherwise).
    bool asBool() const { return expect(Type::Bool), m_bool; }
    int64_t asInteger() const { return expect(Type::Integer), m_int; }
    base::Decimal asDecimal() const;
    double asDouble() const { return expect(Type::Double), m_double; }
    const base::String& asString() const { return expect(Type::String), m_string; }
    const base::Bytes& asBytes() const { return expect(Type::Bytes), *m_bytes; }
    base::Date asDate() const { return expect(Type::Date), base::Date(m_double); }
    const base::Array& asArray() const { return expect(Type::Array), m_array; }
    base::Array& asArray() { return expect(Type::Array), m_array; }
    const base::Dictionary& asDictionary() const { return expect(Type::Dictionary), m_dictionary; }
    base::Dictionary& asDictionary() { return expect(Type::Dictionary), m_dictionary; }

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
    friend class Array;
    friend class Dictionary;
    // Asks for the block of a container ahead of its destruction: freeing a large tree is
    // otherwise one cache miss after another.
    void prefetchBlock() const noexcept
    {
        if (m_type == Type::Array || m_type == Type::Dictionary)
            __builtin_prefetch(m_type == Type::Array ? static_cast<const void*>(m_array.m_block)
                                                     : static_cast<const void*>(m_dictionary.m_block));
    }
    void expect(Type t) const
    {
        if (m_type != t)
            throw std::bad_variant_access();
    }
    void destroy() noexcept;
    // Moves the bits of another value in and leaves it null; this one holds nothing. Every
    // kind of content may move by its bits: texts hold no pointer into themselves, and
    // arrays, dictionaries and bytes are one pointer each.
    void takeFrom(Value& other) noexcept
    {
        std::memcpy(static_cast<void*>(this), static_cast<const void*>(&other), sizeof(Value));
        other.m_type = Type::Null;
    }
    // Copies and comparisons walk a tree with a list of pending pairs rather than the machine
    // stack, so that no depth of nesting can exhaust it.
    using Pairs = std::vector<std::pair<Value*, const Value*>>;
    void copyFrom(const Value& other);
    void copyLevel(const Value& other, Pairs& pending);
    static void copyMembers(Array& to, const Array& from, Pairs& pending);
    static void copyMembers(Dictionary& to, const Dictionary& from, Pairs& pending);
    static void copyPending(Pairs& pending);
    static bool sameLevel(const Value& a, const Value& b, std::vector<std::pair<const Value*, const Value*>>& pending);

    union {
        bool m_bool;
        int64_t m_int;
        double m_double; // also a date's seconds since 1970
        uint64_t m_mantissa[2];
        base::String m_string;
        base::Array m_array;
        base::Dictionary m_dictionary;
        base::Bytes* m_bytes;
    };
    Type m_type = Type::Null;
    int8_t m_decimalExponent = 0;
    bool m_decimalNegative = false;
    uint8_t m_decimalSourceZeros = 0;
};

static_assert(sizeof(Value) <= 32, "a value must stay compact: JSON answers hold millions of them");
static_assert(sizeof(Dictionary::Entry) <= 48);

// Members that need the complete Value.

inline Value* Array::items(Block* b) noexcept { return reinterpret_cast<Value*>(b + 1); }
inline const Value* Array::items(const Block* b) noexcept { return reinterpret_cast<const Value*>(b + 1); }
inline Value* Array::data() noexcept { return m_block ? items(m_block) : nullptr; }
inline const Value* Array::data() const noexcept { return m_block ? items(m_block) : nullptr; }
inline Value* Array::end() noexcept { return data() + size(); }
inline const Value* Array::end() const noexcept { return data() + size(); }
inline Value& Array::operator[](size_t i) noexcept { return data()[i]; }
inline const Value& Array::operator[](size_t i) const noexcept { return data()[i]; }
inline Value& Array::back() noexcept { return data()[size() - 1]; }
inline const Value& Array::back() const noexcept { return data()[size() - 1]; }

inline Dictionary::Entry* Dictionary::entriesOf(Block* b) noexcept { return reinterpret_cast<Entry*>(b + 1); }
inline const Dictionary::Entry* Dictionary::entriesOf(const Block* b) noexcept
{
    return reinterpret_cast<const Entry*>(b + 1);
}
inline const Dictionary::Entry* Dictionary::begin() const noexcept { return m_block ? entriesOf(m_block) : nullptr; }
inline const Dictionary::Entry* Dictionary::end() const noexcept { return begin() + size(); }
inline std::span<const Dictionary::Entry> Dictionary::entries() const noexcept { return {begin(), size()}; }

inline Array::Array(std::initializer_list<Value> values)
{
    reserve(values.size());
    for (const Value& v : values)
        push_back(v);
}

template<typename It, typename>
Array::Array(It first, It last)
{
    if constexpr (std::is_base_of_v<std::forward_iterator_tag, typename std::iterator_traits<It>::iterator_category>)
        reserve(static_cast<size_t>(std::distance(first, last)));
    for (; first != last; ++first)
        emplace_back(*first);
}

inline void Array::push_back(const Value& value)
{
    emplace_back(value);
}

inline void Array::push_back(Value&& value)
{
    emplace_back(std::move(value));
}

template<typename... Args>
Value& Array::emplace_back(Args&&... args)
{
    // Built first: an argument may refer to an element that growing would move.
    Value made(std::forward<Args>(args)...);
    if (size() == capacity())
        grow(size() + 1);
    Value* slot = new (items(m_block) + m_block->size) Value(std::move(made));
    ++m_block->size;
    return *slot;
}

} // namespace base
