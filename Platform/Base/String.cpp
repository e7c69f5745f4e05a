#include "Platform/Base/String.h"

#include "Platform/Base/BlockPool.h"

#include <limits>
#include <new>
#include <ostream>
#include <stdexcept>

namespace base {

void String::assign(const char* text, size_t n)
{
    if (n <= kInlineCapacity) {
        std::memset(m_bytes, 0, sizeof m_bytes);
        if (n)
            std::memcpy(m_bytes, text, n);
        m_bytes[kInlineCapacity] = static_cast<unsigned char>(kInlineCapacity - n);
        return;
    }
    if (n > std::numeric_limits<uint32_t>::max())
        throw std::length_error("text too long for a value");
    bool pooled = false;
    char* block = static_cast<char*>(BlockPool::allocate(n + 1, pooled));
    std::memcpy(block, text, n);
    block[n] = 0;
    uint32_t size = static_cast<uint32_t>(n);
    std::memset(m_bytes, 0, sizeof m_bytes); // every byte defined, for the whole-word comparison
    std::memcpy(m_bytes, &block, sizeof block);
    std::memcpy(m_bytes + sizeof block, &size, sizeof size);
    m_bytes[kInlineCapacity] = pooled ? kPooledHeap : kHeap;
}

void String::releaseHeap() noexcept
{
    BlockPool::free(const_cast<char*>(data()), m_bytes[kInlineCapacity] == kPooledHeap);
}

std::ostream& operator<<(std::ostream& out, const String& s)
{
    return out << s.view();
}

} // namespace base
