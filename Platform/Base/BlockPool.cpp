#include "Platform/Base/BlockPool.h"

#include <atomic>
#include <new>

namespace base {

namespace {
constexpr size_t kChunkSize = 256u << 10;
// Larger blocks are rare and would waste the rest of a chunk.
constexpr size_t kLargestPooled = kChunkSize / 16;
// Added to an open chunk's count so that blocks freed while it is still carved from cannot
// bring the count to zero; taken off again, with the blocks carved, when it closes.
constexpr int64_t kOpen = int64_t(1) << 40;

// At the start of every chunk; chunks are aligned to their size, so a block finds its own.
struct alignas(16) ChunkHeader {
    std::atomic<int64_t> live;
};

thread_local BlockPool* t_inUse = nullptr;

void freeChunk(ChunkHeader* header) noexcept
{
    header->~ChunkHeader();
    ::operator delete(static_cast<void*>(header), std::align_val_t(kChunkSize));
}
} // namespace

BlockPool::Use::Use(BlockPool& pool) noexcept : m_previous(t_inUse)
{
    t_inUse = &pool;
}

BlockPool::Use::~Use()
{
    t_inUse = m_previous;
}

void* BlockPool::allocate(size_t bytes, bool& pooled)
{
    BlockPool* pool = t_inUse;
    pooled = pool && bytes <= kLargestPooled;
    return pooled ? pool->carve(bytes) : ::operator new(bytes);
}

void BlockPool::free(void* block, bool pooled) noexcept
{
    if (!pooled) {
        ::operator delete(block);
        return;
    }
    auto* header = reinterpret_cast<ChunkHeader*>(reinterpret_cast<uintptr_t>(block) & ~uintptr_t(kChunkSize - 1));
    if (header->live.fetch_sub(1, std::memory_order_acq_rel) == 1)
        freeChunk(header);
}

void* BlockPool::carve(size_t bytes)
{
    bytes = (bytes + 7) & ~size_t(7);
    if (!m_chunk || static_cast<size_t>(m_end - m_next) < bytes) {
        close();
        m_chunk = static_cast<char*>(::operator new(kChunkSize, std::align_val_t(kChunkSize)));
        new (m_chunk) ChunkHeader{kOpen};
        m_next = m_chunk + sizeof(ChunkHeader);
        m_end = m_chunk + kChunkSize;
    }
    void* block = m_next;
    m_next += bytes;
    ++m_carved;
    return block;
}

void BlockPool::close() noexcept
{
    if (!m_chunk)
        return;
    auto* header = reinterpret_cast<ChunkHeader*>(m_chunk);
    int64_t change = m_carved - kOpen;
    if (header->live.fetch_add(change, std::memory_order_acq_rel) + change == 0)
        freeChunk(header);
    m_chunk = m_next = m_end = nullptr;
    m_carved = 0;
}

} // namespace base
