#pragma once
#include <cstddef>
#include <cstdint>

namespace base {

// Memory for the blocks that values keep behind their pointer (array and dictionary blocks,
// long texts) when they are made by the hundred thousand, as a parser makes them: carved from
// large chunks one after another, each chunk freed whole when the last block carved from it
// is. This spares the general allocator a call per block and the consolidation of its free
// lists after a large tree is freed. Blocks may be freed on any thread; a pool carves on one
// thread at a time.
class BlockPool {
public:
    BlockPool() = default;
    BlockPool(const BlockPool&) = delete;
    BlockPool& operator=(const BlockPool&) = delete;
    ~BlockPool() { close(); }

    // While one lives, the blocks made on this thread come from the pool.
    class Use {
    public:
        explicit Use(BlockPool& pool) noexcept;
        ~Use();
        Use(const Use&) = delete;
        Use& operator=(const Use&) = delete;

    private:
        BlockPool* m_previous;
    };

    // A block of `bytes` (aligned for any value), from the pool in use on this thread when
    // there is one and the block is small; `pooled` tells which, for free().
    static void* allocate(size_t bytes, bool& pooled);
    static void free(void* block, bool pooled) noexcept;

private:
    void* carve(size_t bytes);
    void close() noexcept;

    char* m_chunk = nullptr;
    char* m_next = nullptr;
    char* m_end = nullptr;
    int64_t m_carved = 0; // blocks carved from the open chunk
};

} // namespace base
