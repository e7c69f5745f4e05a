#include "Protocol/FileNameList.h"

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <new>
#include <stdexcept>
#include <utility>

namespace {

// realloc rather than new and copy: a large block is moved by remapping its pages, so growing
// or trimming it never holds the old and the new at once.
template <class T>
T* resized(T* block, size_t count)
{
    if (count == 0) {
        std::free(block);
        return nullptr;
    }
    void* moved = std::realloc(block, count * sizeof(T));
    if (!moved)
        throw std::bad_alloc();
    return static_cast<T*>(moved);
}

size_t grown(size_t room, size_t needed)
{
    return std::max(needed, room < 64 ? size_t(64) : room * 2);
}

} // namespace

FileNameList::FileNameList(std::initializer_list<std::string_view> names)
{
    for (auto name : names)
        push_back(name);
    shrinkToFit();
}

FileNameList::FileNameList(const std::vector<std::string>& names)
{
    for (const auto& name : names)
        push_back(name);
    shrinkToFit();
}

FileNameList::FileNameList(FileNameList&& other) noexcept
    : m_text(std::exchange(other.m_text, nullptr)),
      m_ends(std::exchange(other.m_ends, nullptr)),
      m_textSize(std::exchange(other.m_textSize, 0)),
      m_textRoom(std::exchange(other.m_textRoom, 0)),
      m_count(std::exchange(other.m_count, 0)),
      m_endsRoom(std::exchange(other.m_endsRoom, 0))
{
}

FileNameList& FileNameList::operator=(FileNameList&& other) noexcept
{
    if (this != &other) {
        std::free(m_text);
        std::free(m_ends);
        m_text = std::exchange(other.m_text, nullptr);
        m_ends = std::exchange(other.m_ends, nullptr);
        m_textSize = std::exchange(other.m_textSize, 0);
        m_textRoom = std::exchange(other.m_textRoom, 0);
        m_count = std::exchange(other.m_count, 0);
        m_endsRoom = std::exchange(other.m_endsRoom, 0);
    }
    return *this;
}

FileNameList::~FileNameList()
{
    std::free(m_text);
    std::free(m_ends);
}

void FileNameList::push_back(std::string_view name)
{
    size_t textSize = m_textSize + name.size();
    if (textSize > std::numeric_limits<uint32_t>::max())
        throw std::length_error("file names beyond 4 GiB");
    if (textSize > m_textRoom) {
        size_t room = grown(m_textRoom, textSize);
        m_text = resized(m_text, room);
        m_textRoom = room;
    }
    if (m_count == m_endsRoom) {
        size_t room = grown(m_endsRoom, m_count + 1);
        m_ends = resized(m_ends, room);
        m_endsRoom = room;
    }
    std::char_traits<char>::copy(m_text + m_textSize, name.data(), name.size());
    m_textSize = textSize;
    m_ends[m_count++] = uint32_t(textSize);
}

void FileNameList::shrinkToFit()
{
    if (m_textRoom != m_textSize) {
        m_text = resized(m_text, m_textSize);
        m_textRoom = m_textSize;
    }
    if (m_endsRoom != m_count) {
        m_ends = resized(m_ends, m_count);
        m_endsRoom = m_count;
    }
}
