#include "Platform/Base/MemoryCache.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

using Cache = base::MemoryCache<int>;

TEST(MemoryCache, EvictsLeastRecentlyUsedPastTheCostLimit)
{
    struct Step {
        const char* op; // "set", "get", "remove", "clear"
        std::string key;
        size_t cost;
        std::vector<std::string> present;
        size_t total;
    } steps[] = {
        {"set", "a", 4, {"a"}, 4},
        {"set", "b", 4, {"a", "b"}, 8},
        {"get", "a", 0, {"a", "b"}, 8},   // a is now the newer
        {"set", "c", 4, {"a", "c"}, 8},   // b, least recently used, goes
        {"set", "a", 7, {"a"}, 7},        // replacing a re-costs it and pushes c out
        {"set", "big", 20, {"big"}, 20},  // alone past the limit: kept, the rest goes
        {"set", "d", 1, {"d"}, 1},
        {"set", "e", 0, {"d", "e"}, 1},
        {"remove", "d", 0, {"e"}, 0},
        {"remove", "nope", 0, {"e"}, 0},
        {"set", "f", 2, {"e", "f"}, 2},
        {"clear", "", 0, {}, 0},
    };
    Cache cache("test", 10);
    for (const auto& s : steps) {
        SCOPED_TRACE(std::string(s.op) + " " + s.key);
        std::string op = s.op;
        if (op == "set")
            cache.setObject(s.key, 1, s.cost);
        else if (op == "get")
            EXPECT_TRUE(cache.objectForKey(s.key));
        else if (op == "remove")
            cache.removeObjectForKey(s.key);
        else
            cache.removeAllObjects();
        EXPECT_EQ(cache.count(), s.present.size());
        for (const auto& key : s.present)
            EXPECT_TRUE(cache.containsKey(key)) << key;
        EXPECT_EQ(cache.totalCost(), s.total);
    }
}

TEST(MemoryCache, ConditionalRemovalAndSharingBetweenThreads)
{
    Cache cache("test", 1000);
    cache.setObject("k", 0, 2);
    EXPECT_FALSE(cache.removeObjectForKeyIf("k", [](int v) { return v == 1; }));
    EXPECT_TRUE(cache.removeObjectForKeyIf("k", [](int v) { return v == 0; }));
    EXPECT_FALSE(cache.objectForKey("k"));

    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 2000; ++i) {
                std::string key = std::to_string((i * 7 + t) % 300);
                cache.setObject(key, i, 5);
                (void)cache.objectForKey(key);
                if (i % 11 == 0)
                    cache.removeObjectForKey(key);
            }
        });
    for (auto& th : threads)
        th.join();
    EXPECT_LE(cache.totalCost(), 1000u);
    EXPECT_EQ(cache.totalCost(), cache.count() * 5);
}

} // namespace
