#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

// File names packed end to end in one block, with where each ends: a sync's hundreds of
// thousands of names cost their letters and four bytes each, not a string apiece. Both blocks
// grow and shrink in place where the allocator can, so no second copy stands beside them.
class FileNameList {
public:
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::string_view;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = std::string_view;
        const_iterator() = default;
        const_iterator(const FileNameList* list, size_t at) : m_list(list), m_at(at) {}
        std::string_view operator*() const { return (*m_list)[m_at]; }
        const_iterator& operator++()
        {
            ++m_at;
            return *this;
        }
        const_iterator operator++(int)
        {
            auto was = *this;
            ++m_at;
            return was;
        }
        bool operator==(const const_iterator& other) const { return m_at == other.m_at; }

    private:
        const FileNameList* m_list = nullptr;
        size_t m_at = 0;
    };

    FileNameList() = default;
    FileNameList(std::initializer_list<std::string_view> names);
    explicit FileNameList(const std::vector<std::string>& names);
    FileNameList(FileNameList&& other) noexcept;
    FileNameList& operator=(FileNameList&& other) noexcept;
    FileNameList(const FileNameList&) = delete;
    FileNameList& operator=(const FileNameList&) = delete;
    ~FileNameList();

    size_t size() const { return m_count; }
    bool empty() const { return m_count == 0; }
    std::string_view operator[](size_t at) const
    {
        uint32_t from = at == 0 ? 0 : m_ends[at - 1];
        return {m_text + from, size_t(m_ends[at] - from)};
    }
    std::string_view front() const { return (*this)[0]; }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, m_count}; }

    void push_back(std::string_view name);
    // Keeps, in their order, the names for which keep(name, place) is true; the letters move
    // down within the same block.
    template <class Keep>
    void keepIf(Keep keep)
    {
        size_t kept = 0;
        uint32_t write = 0;
        uint32_t from = 0;
        for (size_t at = 0; at < m_count; ++at) {
            uint32_t to = m_ends[at];
            std::string_view name(m_text + from, to - from);
            if (keep(name, at)) {
                if (write != from)
                    std::char_traits<char>::move(m_text + write, m_text + from, name.size());
                write += uint32_t(name.size());
                m_ends[kept++] = write;
            }
            from = to;
        }
        m_count = kept;
        m_textSize = write;
    }
    // Lets go of the room beyond the names.
    void shrinkToFit();
    // The bytes both blocks hold, names and room beyond them (tests weigh them).
    size_t bytesHeld() const { return m_textRoom + m_endsRoom * sizeof(uint32_t); }

private:
    char* m_text = nullptr;
    uint32_t* m_ends = nullptr;
    size_t m_textSize = 0;
    size_t m_textRoom = 0;
    size_t m_count = 0;
    size_t m_endsRoom = 0;
};
