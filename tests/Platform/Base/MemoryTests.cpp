#include "Platform/Base/Memory.h"

#include <gtest/gtest.h>

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
