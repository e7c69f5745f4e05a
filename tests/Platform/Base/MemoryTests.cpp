#include "Platform/Base/Memory.h"
#include "tests/Support/Sanitizers.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

TEST(Memory, ResidentSizeGrowsWithTouchedPages)
{
    std::string error;
    auto before = base::Memory::residentBytes(&error);
    ASSERT_TRUE(before.has_value()) << error;
    EXPECT_TRUE(error.empty());
    // 64 MiB written page by page must show up as resident.
    std::vector<char> block(64u << 20);
    volatile char* pages = block.data(); // writes the optimiser must keep
    for (size_t i = 0; i < block.size(); i += 4096)
        pages[i] = 1;
    auto after = base::Memory::residentBytes();
    ASSERT_TRUE(after.has_value());
    EXPECT_GT(*after, *before + (32u << 20));
}

TEST(Memory, FreedBlocksBelowALiveOneLeaveTheResidentSet)
{
#if defined(BRIVANTA_TEST_ASAN) || defined(BRIVANTA_TEST_TSAN)
    GTEST_SKIP() << "the sanitizer's allocator keeps its own pages";
#elif !defined(__GLIBC__)
    GTEST_SKIP() << "only the C library's allocator keeps freed pages";
#else
    // 64 MiB in blocks small enough to come from the heap, then one more above them that stays:
    // freeing the others leaves a hole the heap cannot give back on its own.
    constexpr size_t kBlock = 64u << 10;
    std::vector<std::unique_ptr<char[]>> blocks;
    for (size_t i = 0; i < 1024; ++i) {
        blocks.push_back(std::make_unique<char[]>(kBlock));
        volatile char* pages = blocks.back().get();
        for (size_t at = 0; at < kBlock; at += 4096)
            pages[at] = 1;
    }
    auto kept = std::make_unique<char[]>(kBlock);
    kept[0] = 1;
    blocks.clear();
    auto before = base::Memory::residentBytes();
    ASSERT_TRUE(before.has_value());
    base::Memory::returnFreePages();
    auto after = base::Memory::residentBytes();
    ASSERT_TRUE(after.has_value());
    EXPECT_LT(*after + (32u << 20), *before);
#endif
}
