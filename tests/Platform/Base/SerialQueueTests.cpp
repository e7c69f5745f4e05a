#include "Platform/Base/SerialQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <stdexcept>
#include <thread>
#include <vector>

namespace {

TEST(SerialQueue, RunsCallersWorkOneAtATimeOnItsOwnThread)
{
    base::SerialQueue queue("brdb.test");
    EXPECT_FALSE(queue.isCurrent());
    // A plain counter: only the queue's serial order keeps it right (and the thread checker quiet).
    long counter = 0;
    std::thread::id queueThread = queue.sync([] { return std::this_thread::get_id(); });
    EXPECT_NE(queueThread, std::this_thread::get_id());

    constexpr int kThreads = 4, kCalls = 500;
    std::latch start(kThreads);
    std::vector<std::thread> threads;
    std::atomic<int> offThread{0};
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&] {
            start.arrive_and_wait();
            for (int i = 0; i < kCalls; ++i) {
                queue.sync([&] {
                    if (!queue.isCurrent() || std::this_thread::get_id() != queueThread)
                        ++offThread;
                    ++counter;
                });
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(offThread.load(), 0);
    EXPECT_EQ(queue.sync([&] { return counter; }), kThreads * kCalls);
}

TEST(SerialQueue, ExceptionsReachTheWaitingCallerAndCallsFromItsOwnThreadAreRefused)
{
    base::SerialQueue queue("brdb.errors");
    EXPECT_THROW(queue.sync([]() -> int { throw std::runtime_error("inside"); }), std::runtime_error);

    // A nested synchronous call would wait for itself; it fails and the failure comes out.
    bool innerRan = false;
    try {
        queue.sync([&] { queue.sync([&] { innerRan = true; }); });
        FAIL() << "nested call was not refused";
    } catch (const base::SerialQueueReentryError& e) {
        EXPECT_NE(std::string(e.what()).find("brdb.errors"), std::string::npos);
    }
    EXPECT_FALSE(innerRan);
    // Still serving afterwards.
    EXPECT_EQ(queue.sync([] { return 7; }), 7);
}

} // namespace
