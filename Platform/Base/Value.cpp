#include "Platform/Base/Value.h"

#include "Platform/Base/BlockPool.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <unordered_map>

namespace base {

namespace {
constexpr size_t kIndexThreshold = 32;
// One of 64 bits for a key, from its length and its first and last eight bytes (an inline
// key's room is 16 zero-padded bytes, a heap key is longer than that).
uint64_t keyFilterBit(const String& key)
{
    uint64_t head, tail;
    size_t n = key.size();
    std::memcpy(&head, key.data(), sizeof head);
    std::memcpy(&tail, key.data() + (n > 8 ? n - 8 : 0), sizeof tail);
    uint64_t h = (head ^ (tail << 1) ^ n) * 0x9E3779B97F4A7C15ull;
    return uint64_t(1) << (h >> 58);
}

// How many members ahead a destruction asks for the blocks it will free.
constexpr uint32_t kPrefetchAhead = 4;

// The leading number of a text, whatever the process locale ("12.5" is never 12 under de_DE).
bool parseLeadingDouble(std::string_view s, double& out)
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

template<typename Block>
Block* allocateBlock(size_t count, size_t item)
{
    if (count > std::numeric_limits<int32_t>::max())
        throw std::length_error("too many elements for a value");
    bool pooled = false;
    auto* block = static_cast<Block*>(BlockPool::allocate(sizeof(Block) + count * item, pooled));
    block->size = 0;
    block->capacity = static_cast<uint32_t>(count) & 0x7FFFFFFFu;
    block->pooled = pooled;
    return block;
}

template<typename Block>
void freeBlock(Block* block) noexcept
{
    if (block)
        BlockPool::free(block, block->pooled);
}

// Grows by half, as the parser sizes exactly and other callers append a few at a time.
size_t grownCapacity(size_t current, size_t minimum)
{
    size_t grown = current + current / 2 + 2;
    return grown < minimum ? minimum : grown;
}
} // namespace

// ---------------------------------------------------------------------------------------- Array

Array::Array(const Array& other)
{
    reserve(other.size());
    try {
        Value::Pairs pending;
        Value::copyMembers(*this, other, pending);
        Value::copyPending(pending);
    } catch (...) {
        clear();
        freeBlock(std::exchange(m_block, nullptr));
        throw;
    }
}

Array& Array::operator=(const Array& other)
{
    if (this != &other) {
        Array copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Array& Array::operator=(Array&& other) noexcept
{
    if (this != &other) {
        Array old(std::move(*this));
        m_block = std::exchange(other.m_block, nullptr);
    }
    return *this;
}

Array::~Array()
{
    clear();
    freeBlock(m_block);
}

Array Array::fromValues(Value* first, Value* last)
{
    Array a;
    size_t n = static_cast<size_t>(last - first);
    if (n == 0)
        return a;
    a.reserve(n);
    Value* to = items(a.m_block);
    for (size_t i = 0; i < n; ++i)
        new (to + i) Value(std::move(first[i]));
    a.m_block->size = static_cast<uint32_t>(n);
    return a;
}

const Value& Array::at(size_t i) const
{
    if (i >= size())
        throw std::out_of_range("array index out of range");
    return data()[i];
}

void Array::grow(size_t minimum)
{
    size_t capacity = grownCapacity(this->capacity(), minimum);
    auto* block = allocateBlock<Block>(capacity, sizeof(Value));
    if (m_block) {
        Value* from = items(m_block);
        Value* to = items(block);
        for (uint32_t i = 0; i < m_block->size; ++i) {
            new (to + i) Value(std::move(from[i]));
            from[i].~Value();
        }
        block->size = m_block->size;
        freeBlock(m_block);
    }
    m_block = block;
}

void Array::reserve(size_t n)
{
    if (n > capacity()) {
        // Exactly n: grow() would add its margin.
        auto* block = allocateBlock<Block>(n, sizeof(Value));
        if (m_block) {
            Value* from = items(m_block);
            for (uint32_t i = 0; i < m_block->size; ++i) {
                new (items(block) + i) Value(std::move(from[i]));
                from[i].~Value();
            }
            block->size = m_block->size;
            freeBlock(m_block);
        }
        m_block = block;
    }
}

void Array::pop_back()
{
    items(m_block)[--m_block->size].~Value();
}

void Array::clear() noexcept
{
    if (!m_block)
        return;
    Value* v = items(m_block);
    for (uint32_t i = m_block->size; i-- > 0;) {
        if (i >= kPrefetchAhead)
            v[i - kPrefetchAhead].prefetchBlock();
        v[i].~Value();
    }
    m_block->size = 0;
}

Value* Array::insert(const Value* position, Value value)
{
    size_t at = static_cast<size_t>(position - data());
    push_back(std::move(value));
    Value* v = data();
    for (size_t i = size() - 1; i > at; --i)
        std::swap(v[i], v[i - 1]);
    return v + at;
}

Value* Array::erase(const Value* position)
{
    return erase(position, position + 1);
}

Value* Array::erase(const Value* first, const Value* last)
{
    Value* v = data();
    size_t from = static_cast<size_t>(first - v), to = static_cast<size_t>(last - v), n = size();
    if (from == to)
        return v + from;
    for (size_t i = to; i < n; ++i)
        v[from + (i - to)] = std::move(v[i]);
    for (size_t i = n - (to - from); i < n; ++i)
        v[i].~Value();
    m_block->size = static_cast<uint32_t>(n - (to - from));
    return v + from;
}

bool Array::operator==(const Array& other) const
{
    if (size() != other.size())
        return false;
    for (size_t i = 0; i < size(); ++i)
        if (!((*this)[i] == other[i])) // each compares its whole subtree without recursion
            return false;
    return true;
}

// ----------------------------------------------------------------------------------- Dictionary

struct Dictionary::Index {
    std::unordered_map<std::string_view, uint32_t> positions;
};

Dictionary::Dictionary(std::initializer_list<Entry> entries)
{
    reserve(entries.size());
    for (auto& e : entries)
        set(e.first.view(), e.second);
}

Dictionary::Dictionary(const Dictionary& other)
{
    reserve(other.size());
    try {
        Value::Pairs pending;
        Value::copyMembers(*this, other, pending);
        Value::copyPending(pending);
    } catch (...) {
        clear();
        freeBlock(std::exchange(m_block, nullptr));
        throw;
    }
}

Dictionary& Dictionary::operator=(const Dictionary& other)
{
    if (this != &other) {
        Dictionary copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Dictionary& Dictionary::operator=(Dictionary&& other) noexcept
{
    if (this != &other) {
        Dictionary old(std::move(*this));
        m_block = std::exchange(other.m_block, nullptr);
    }
    return *this;
}

Dictionary::~Dictionary()
{
    clear();
    freeBlock(m_block);
}

Dictionary Dictionary::fromEntries(Entry* first, Entry* last)
{
    Dictionary d;
    size_t n = static_cast<size_t>(last - first);
    if (n == 0)
        return d;
    d.reserve(n);
    if (n >= kIndexThreshold) {
        for (; first != last; ++first)
            d.set(std::move(first->first), std::move(first->second));
        return d;
    }
    // Small objects, nearly all of them: a repeated key is looked for among the few before it,
    // and only when a one-word filter of the keys seen says it may be there.
    Entry* to = entriesOf(d.m_block);
    uint32_t& size = d.m_block->size;
    uint64_t seen = 0;
    for (; first != last; ++first) {
        uint64_t bit = keyFilterBit(first->first);
        Entry* same = nullptr;
        if (seen & bit) {
            for (uint32_t i = 0; i < size && !same; ++i)
                if (to[i].first == first->first)
                    same = to + i;
        }
        seen |= bit;
        if (same)
            same->second = std::move(first->second);
        else
            new (to + size++) Entry(std::move(first->first), std::move(first->second));
    }
    return d;
}

void Dictionary::reserve(size_t n)
{
    if (n <= (m_block ? m_block->capacity : 0))
        return;
    auto* block = allocateBlock<Block>(n, sizeof(Entry));
    block->index = nullptr;
    if (m_block) {
        Entry* from = entriesOf(m_block);
        for (uint32_t i = 0; i < m_block->size; ++i) {
            new (entriesOf(block) + i) Entry(std::move(from[i]));
            from[i].~Entry();
        }
        block->size = m_block->size;
        block->index = m_block->index;
        freeBlock(m_block);
    }
    m_block = block;
    // Short keys live in the entries, so the index is remade after they move.
    if (m_block->index)
        rebuildIndex();
}

void Dictionary::grow(size_t minimum)
{
    reserve(grownCapacity(m_block ? m_block->capacity : 0, minimum));
}

void Dictionary::rebuildIndex()
{
    if (!m_block)
        return;
    if (m_block->size < kIndexThreshold) {
        delete m_block->index;
        m_block->index = nullptr;
        return;
    }
    if (!m_block->index)
        m_block->index = new Index;
    auto& positions = m_block->index->positions;
    positions.clear();
    positions.reserve(m_block->size);
    Entry* e = entriesOf(m_block);
    for (uint32_t i = 0; i < m_block->size; ++i)
        positions.emplace(e[i].first.view(), i);
}

const Value* Dictionary::find(std::string_view key) const
{
    if (!m_block)
        return nullptr;
    const Entry* e = entriesOf(m_block);
    if (m_block->index) {
        auto it = m_block->index->positions.find(key);
        return it == m_block->index->positions.end() ? nullptr : &e[it->second].second;
    }
    for (uint32_t i = 0; i < m_block->size; ++i)
        if (e[i].first.size() == key.size() && e[i].first.view() == key)
            return &e[i].second;
    return nullptr;
}

Value* Dictionary::find(std::string_view key)
{
    return const_cast<Value*>(static_cast<const Dictionary*>(this)->find(key));
}

void Dictionary::append(String&& key, Value&& value)
{
    if (size() == (m_block ? m_block->capacity : 0))
        grow(size() + 1);
    Entry* slot = new (entriesOf(m_block) + m_block->size) Entry(std::move(key), std::move(value));
    uint32_t position = m_block->size++;
    if (m_block->index)
        m_block->index->positions.emplace(slot->first.view(), position);
    else if (m_block->size >= kIndexThreshold)
        rebuildIndex();
}

void Dictionary::set(std::string_view key, Value value)
{
    if (Value* existing = find(key)) {
        *existing = std::move(value);
        return;
    }
    append(String(key), std::move(value));
}

void Dictionary::set(const char* key, Value value)
{
    set(std::string_view(key), std::move(value));
}

void Dictionary::set(String&& key, Value value)
{
    if (Value* existing = find(key.view())) {
        *existing = std::move(value);
        return;
    }
    append(std::move(key), std::move(value));
}

bool Dictionary::remove(std::string_view key)
{
    if (!m_block)
        return false;
    Entry* e = entriesOf(m_block);
    for (uint32_t i = 0; i < m_block->size; ++i) {
        if (e[i].first.view() == key) {
            for (uint32_t k = i + 1; k < m_block->size; ++k)
                e[k - 1] = std::move(e[k]);
            e[--m_block->size].~Entry();
            rebuildIndex();
            return true;
        }
    }
    return false;
}

void Dictionary::clear() noexcept
{
    if (!m_block)
        return;
    Entry* e = entriesOf(m_block);
    for (uint32_t i = m_block->size; i-- > 0;) {
        if (i >= kPrefetchAhead)
            e[i - kPrefetchAhead].second.prefetchBlock();
        e[i].~Entry();
    }
    m_block->size = 0;
    delete m_block->index;
    m_block->index = nullptr;
}

bool Dictionary::operator==(const Dictionary& other) const
{
    if (size() != other.size())
        return false;
    for (const Entry& e : *this) {
        const Value* v = other.find(e.first.view());
        if (!v || !(*v == e.second))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------- Value

Value::Value(const base::Decimal& d) noexcept : m_type(Type::Decimal)
{
    m_mantissa[0] = d.mantissaLow();
    m_mantissa[1] = d.mantissaHigh();
    m_decimalExponent = static_cast<int8_t>(d.exponent());
    m_decimalNegative = d.isNegative();
    m_decimalSourceZeros = static_cast<uint8_t>(d.sourceZeros());
}

Value::Value(base::Bytes b) : m_bytes(new base::Bytes(std::move(b))), m_type(Type::Bytes) {}

Value::Value(const Value& other) : m_int(0)
{
    copyFrom(other);
}

Value& Value::operator=(const Value& other)
{
    if (this != &other) {
        Value copy(other);
        *this = std::move(copy);
    }
    return *this;
}

void Value::copyFrom(const Value& other)
{
    Pairs pending;
    try {
        copyLevel(other, pending);
        copyPending(pending);
    } catch (...) {
        // The part copied so far is whole; it goes with the exception.
        if (m_type >= Type::String && m_type != Type::Date)
            destroy();
        throw;
    }
}

// This value holds nothing yet. Texts, numbers and bytes are copied whole; a container is made
// empty with room for all its members, which are copied later (copyMembers).
void Value::copyLevel(const Value& other, Pairs& pending)
{
    switch (other.m_type) {
    case Type::String: new (&m_string) String(other.m_string); break;
    case Type::Array:
        new (&m_array) Array();
        m_type = Type::Array;
        m_array.reserve(other.m_array.size());
        break;
    case Type::Dictionary:
        new (&m_dictionary) Dictionary();
        m_type = Type::Dictionary;
        m_dictionary.reserve(other.m_dictionary.size());
        break;
    case Type::Bytes: m_bytes = new base::Bytes(*other.m_bytes); break;
    default: m_mantissa[0] = other.m_mantissa[0]; m_mantissa[1] = other.m_mantissa[1]; break;
    }
    m_type = other.m_type;
    m_decimalExponent = other.m_decimalExponent;
    m_decimalNegative = other.m_decimalNegative;
    m_decimalSourceZeros = other.m_decimalSourceZeros;
    if ((m_type == Type::Array && !other.m_array.empty()) || (m_type == Type::Dictionary && !other.m_dictionary.empty()))
        pending.emplace_back(this, &other);
}

void Value::copyPending(Pairs& pending)
{
    while (!pending.empty()) {
        auto [to, from] = pending.back();
        pending.pop_back();
        if (to->m_type == Type::Array)
            copyMembers(to->m_array, from->m_array, pending);
        else
            copyMembers(to->m_dictionary, from->m_dictionary, pending);
    }
}

// Fills an empty container with room for every member, so members never move and the pending
// pairs may point at them; a copy cut short by an exception leaves a smaller container that
// destroys cleanly.
void Value::copyMembers(Array& to, const Array& from, Pairs& pending)
{
    Array::Block* block = to.m_block;
    for (const Value& v : from) {
        Value* slot = new (Array::items(block) + block->size) Value();
        ++block->size;
        slot->copyLevel(v, pending);
    }
}

void Value::copyMembers(Dictionary& to, const Dictionary& from, Pairs& pending)
{
    Dictionary::Block* block = to.m_block;
    for (const Dictionary::Entry& e : from) {
        auto* slot = new (Dictionary::entriesOf(block) + block->size) Dictionary::Entry(e.first, Value());
        ++block->size;
        slot->second.copyLevel(e.second, pending);
    }
    to.rebuildIndex();
}

namespace {
// Containers below this many levels of one destruction are set aside and destroyed once the
// outermost one is done, so a deep tree never costs one machine stack frame per level.
constexpr int kDestroyRecursion = 48;

struct Destruction {
    int depth = 0;
    bool draining = false;
    bool alive = true;
    std::vector<Value> deferred;
    ~Destruction() { alive = false; }
};
thread_local Destruction t_destruction;
} // namespace

void Value::destroy() noexcept
{
    switch (m_type) {
    case Type::String: m_string.~String(); break;
    case Type::Bytes: delete m_bytes; break;
    case Type::Array:
    case Type::Dictionary: {
        Destruction& d = t_destruction;
        if (d.alive && d.depth >= kDestroyRecursion && !(m_type == Type::Array ? m_array.empty() : m_dictionary.empty())) {
            try {
                d.deferred.emplace_back();
                d.deferred.back().takeFrom(*this);
                return;
            } catch (...) {
                // No room to set it aside: destroyed the plain way.
            }
        }
        ++d.depth;
        if (m_type == Type::Array)
            m_array.~Array();
        else
            m_dictionary.~Dictionary();
        if (--d.depth == 0 && d.alive && !d.draining && !d.deferred.empty()) {
            d.draining = true;
            while (!d.deferred.empty()) {
                Value next;
                next.takeFrom(d.deferred.back());
                d.deferred.pop_back();
            }
            d.draining = false;
        }
        break;
    }
    default: break;
    }
    m_type = Type::Null;
}

base::Decimal Value::asDecimal() const
{
    expect(Type::Decimal);
    return base::Decimal::fromParts(m_mantissa[0], m_mantissa[1], m_decimalExponent, m_decimalNegative,
                                    m_decimalSourceZeros);
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
        if (!parseLeadingDouble(asString().view(), d))
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
        return parseLeadingDouble(asString().view(), d) ? d : fallback;
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
        std::string_view s = asString().view();
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
    case Type::String: return asString().str();
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
    std::vector<std::pair<const Value*, const Value*>> pending;
    if (!sameLevel(*this, other, pending))
        return false;
    while (!pending.empty()) {
        auto [a, b] = pending.back();
        pending.pop_back();
        if (a->m_type == Type::Array) {
            const Value* theirs = b->m_array.data();
            for (const Value& v : a->m_array)
                if (!sameLevel(v, *theirs++, pending))
                    return false;
        } else {
            // Members in any order.
            for (const Dictionary::Entry& e : a->m_dictionary) {
                const Value* theirs = b->m_dictionary.find(e.first.view());
                if (!theirs || !sameLevel(e.second, *theirs, pending))
                    return false;
            }
        }
    }
    return true;
}

// Compares all but the members of containers, whose pairs are set aside.
bool Value::sameLevel(const Value& a, const Value& b, std::vector<std::pair<const Value*, const Value*>>& pending)
{
    if (a.m_type != b.m_type)
        return false;
    switch (a.m_type) {
    case Type::Null: return true;
    case Type::Bool: return a.m_bool == b.m_bool;
    case Type::Integer: return a.m_int == b.m_int;
    case Type::Decimal:
        return a.m_mantissa[0] == b.m_mantissa[0] && a.m_mantissa[1] == b.m_mantissa[1] &&
               a.m_decimalExponent == b.m_decimalExponent && a.m_decimalNegative == b.m_decimalNegative;
    case Type::Double:
    case Type::Date: return a.m_double == b.m_double;
    case Type::String: return a.m_string == b.m_string;
    case Type::Bytes: return *a.m_bytes == *b.m_bytes;
    case Type::Array:
        if (a.m_array.size() != b.m_array.size())
            return false;
        break;
    case Type::Dictionary:
        if (a.m_dictionary.size() != b.m_dictionary.size())
            return false;
        break;
    }
    if (&a != &b && ((a.m_type == Type::Array && !a.m_array.empty()) || (a.m_type == Type::Dictionary && !a.m_dictionary.empty())))
        pending.emplace_back(&a, &b);
    return true;
}

} // namespace base
