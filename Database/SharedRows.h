#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <iterator>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

// The members a row is packed from, in order: a specialisation per row type gives
// `static constexpr auto members = std::make_tuple(&T::a, &T::b, ...);` naming every member.
// Members are numbers, bools or texts (optional or not).
template <class T>
struct RowMembers;

// A list of rows that copies share until one of them is changed: a customer's rows are held
// once however many lists and searches hand the customer around. The rows are kept packed in
// one block (a number's bytes, a text's length and bytes), a few times smaller than the rows
// themselves: tens of thousands of customers' rows stay in memory. Reading unpacks a row into
// a value; changing a shared list gives the changed copy rows of its own, the others keep theirs.
template <class T>
class SharedRows {
public:
    using value_type = T;

    class const_iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = T;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = T;

        const_iterator() = default;
        T operator*() const
        {
            const char* at = m_at;
            return unpack(at);
        }
        const_iterator& operator++()
        {
            skip(m_at);
            ++m_index;
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator before = *this;
            ++*this;
            return before;
        }
        friend bool operator==(const const_iterator& a, const const_iterator& b) { return a.m_index == b.m_index; }

    private:
        friend class SharedRows;
        const_iterator(const char* at, std::size_t index) : m_at(at), m_index(index) {}
        const char* m_at = nullptr;
        std::size_t m_index = 0;
    };
    using iterator = const_iterator;

    SharedRows() = default;
    SharedRows(const std::vector<T>& rows) // NOLINT(google-explicit-constructor): a vector is a list of rows
    {
        if (rows.empty())
            return;
        std::string packed;
        for (const T& row : rows)
            pack(row, packed);
        m_block = static_cast<char*>(::operator new(sizeof(Header) + packed.size()));
        new (m_block) Header{{1}, static_cast<std::uint32_t>(rows.size())};
        std::memcpy(m_block + sizeof(Header), packed.data(), packed.size());
    }
    SharedRows(std::initializer_list<T> rows) : SharedRows(std::vector<T>(rows)) {}
    SharedRows(const SharedRows& other) noexcept : m_block(other.m_block)
    {
        if (m_block)
            header()->holders.fetch_add(1, std::memory_order_relaxed);
    }
    SharedRows(SharedRows&& other) noexcept : m_block(std::exchange(other.m_block, nullptr)) {}
    SharedRows& operator=(SharedRows other) noexcept
    {
        std::swap(m_block, other.m_block);
        return *this;
    }
    ~SharedRows() { clear(); }

    // The rows unpacked, as a list of their own.
    std::vector<T> rows() const { return std::vector<T>(begin(), end()); }

    const_iterator begin() const { return {m_block ? m_block + sizeof(Header) : nullptr, 0}; }
    const_iterator end() const { return {nullptr, size()}; }
    std::size_t size() const { return m_block ? header()->count : 0; }
    bool empty() const { return !m_block; }
    T operator[](std::size_t i) const
    {
        auto at = begin();
        for (; i > 0; --i)
            ++at;
        return *at;
    }
    T front() const { return *begin(); }
    T back() const { return (*this)[size() - 1]; }

    // Whether `test` holds for a text of a row, read where it is packed (a search over every
    // customer unpacks nothing): any text member, or only the members named. Missing texts
    // are not tested.
    template <auto... Only, class Test>
    bool anyText(Test&& test) const
    {
        if (!m_block)
            return false;
        const char* at = m_block + sizeof(Header);
        for (std::size_t i = size(); i > 0; --i) {
            bool hit = false;
            std::apply(
                [&](auto... member) {
                    auto visit = [&](auto each) {
                        using M = std::remove_cvref_t<decltype(std::declval<T&>().*each)>;
                        if constexpr (isText<M>) {
                            const std::size_t length = unpackLength(at);
                            if (!hit && length > 0 && (sizeof...(Only) == 0 || (named(each, Only) || ...)))
                                hit = test(std::string_view(at, length - 1));
                            at += length ? length - 1 : 0;
                        } else {
                            at += sizeof(M);
                        }
                    };
                    (visit(member), ...);
                },
                RowMembers<T>::members);
            if (hit)
                return true;
        }
        return false;
    }

    // Changes the rows, in a list of this list's own: the lists sharing them keep theirs.
    template <class Change>
    void edit(Change&& change)
    {
        std::vector<T> all = rows();
        change(all);
        *this = SharedRows(all);
    }
    void push_back(T row)
    {
        edit([&](std::vector<T>& all) { all.push_back(std::move(row)); });
    }
    void clear()
    {
        Header* held = header();
        m_block = nullptr;
        if (held && held->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            held->~Header();
            ::operator delete(held);
        }
    }

    // Whether both lists hold the very same rows (not merely equal ones).
    bool sharesWith(const SharedRows& other) const { return m_block && m_block == other.m_block; }

    friend bool operator==(const SharedRows& a, const SharedRows& b)
    {
        if (a.m_block == b.m_block)
            return true;
        if (a.size() != b.size())
            return false;
        // Rows of equal members pack to equal bytes.
        const std::string_view bytesA = a.packed(), bytesB = b.packed();
        return bytesA == bytesB;
    }

private:
    // The lists sharing the rows, and the row count. Counted here rather than beside the block:
    // a customer holds three lists, and tens of thousands of customers are held.
    struct Header {
        std::atomic<std::uint32_t> holders;
        std::uint32_t count;
    };
    Header* header() const { return m_block ? std::launder(reinterpret_cast<Header*>(m_block)) : nullptr; }

    template <class M>
    static constexpr bool isText = std::is_same_v<M, std::string> || std::is_same_v<M, std::optional<std::string>>;

    template <class A, class B>
    static bool named(A member, B wanted)
    {
        if constexpr (std::is_same_v<A, B>)
            return member == wanted;
        else
            return false;
    }

    static void packLength(std::size_t length, std::string& out)
    {
        while (length >= 0x80) {
            out.push_back(static_cast<char>((length & 0x7f) | 0x80));
            length >>= 7;
        }
        out.push_back(static_cast<char>(length));
    }
    static std::size_t unpackLength(const char*& at)
    {
        std::size_t length = 0;
        for (int shift = 0;; shift += 7) {
            const auto byte = static_cast<unsigned char>(*at++);
            length |= static_cast<std::size_t>(byte & 0x7f) << shift;
            if (!(byte & 0x80))
                return length;
        }
    }

    // A text is its length plus one and its bytes; a missing one is a lone 0.
    template <class M>
    static void packMember(const M& member, std::string& out)
    {
        if constexpr (std::is_same_v<M, std::optional<std::string>>) {
            packLength(member ? member->size() + 1 : 0, out);
            if (member)
                out.append(*member);
        } else if constexpr (std::is_same_v<M, std::string>) {
            packLength(member.size() + 1, out);
            out.append(member);
        } else {
            static_assert(std::is_arithmetic_v<M>, "a packed member is a number, a bool or a text");
            out.append(reinterpret_cast<const char*>(&member), sizeof member);
        }
    }
    template <class M>
    static void unpackMember(M& member, const char*& at)
    {
        if constexpr (isText<M>) {
            const std::size_t length = unpackLength(at);
            if (length == 0)
                return;
            if constexpr (std::is_same_v<M, std::string>)
                member.assign(at, length - 1);
            else
                member.emplace(at, length - 1);
            at += length - 1;
        } else {
            std::memcpy(&member, at, sizeof member);
            at += sizeof member;
        }
    }
    template <class M>
    static void skipMember(const char*& at)
    {
        if constexpr (isText<M>) {
            const std::size_t length = unpackLength(at);
            at += length ? length - 1 : 0;
        } else {
            at += sizeof(M);
        }
    }

    static void pack(const T& row, std::string& out)
    {
        std::apply([&](auto... member) { (packMember(row.*member, out), ...); }, RowMembers<T>::members);
    }
    static T unpack(const char*& at)
    {
        T row;
        std::apply([&](auto... member) { (unpackMember(row.*member, at), ...); }, RowMembers<T>::members);
        return row;
    }
    static void skip(const char*& at)
    {
        std::apply([&](auto... member) { (skipMember<std::remove_cvref_t<decltype(std::declval<T&>().*member)>>(at), ...); },
                   RowMembers<T>::members);
    }

    std::string_view packed() const
    {
        if (!m_block)
            return {};
        const char* first = m_block + sizeof(Header);
        const char* at = first;
        for (std::size_t i = size(); i > 0; --i)
            skip(at);
        return {first, static_cast<std::size_t>(at - first)};
    }

    // The header, then the rows packed one after another.
    char* m_block = nullptr;
};
