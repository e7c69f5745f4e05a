#include "Platform/Base/OperationQueue.h"
#include "Platform/Base/RunLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

using namespace base;

namespace {

// An operation that holds until released, so tests can see what runs at once.
class Gate {
public:
    void open()
    {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_cv.notify_all();
    }
    void wait()
    {
        std::unique_lock lock(m_mutex);
        m_cv.wait(lock, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_open = false;
};

TEST(OperationQueue, NeverRunsMoreThanTheMaximumAtOnce)
{
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(3);
    std::atomic<int> running{0}, peak{0}, done{0};
    for (int i = 0; i < 20; ++i)
        queue.addOperation([&] {
            int now = ++running;
            int seen = peak.load();
            while (now > seen && !peak.compare_exchange_weak(seen, now)) {
            }
            std::this_thread::yield();
            --running;
            ++done;
        });
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(done, 20);
    EXPECT_LE(peak, 3);
    EXPECT_EQ(queue.operationCount(), 0u);
}

TEST(OperationQueue, SuspendHoldsPendingWorkAndCancelSkipsIt)
{
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(1);
    queue.setSuspended(true);
    std::atomic<int> ran{0};
    auto first = BlockOperation::create([&] { ++ran; });
    auto second = BlockOperation::create([&] { ++ran; });
    queue.addOperation(first);
    queue.addOperation(second);
    EXPECT_EQ(queue.operations().size(), 2u);
    EXPECT_EQ(ran, 0);

    second->cancel();
    queue.setSuspended(false);
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(ran, 1);
    EXPECT_TRUE(first->isFinished());
    EXPECT_TRUE(second->isFinished());
    EXPECT_TRUE(second->isCancelled());
}

TEST(OperationQueue, OperationsListShowsRunningThenPendingInOrder)
{
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(1);
    Gate gate;
    auto blocker = BlockOperation::create([&] { gate.wait(); });
    auto next = BlockOperation::create([] {});
    queue.addOperation(blocker);
    queue.addOperation(next);
    auto ops = queue.operations();
    ASSERT_EQ(ops.size(), 2u);
    EXPECT_EQ(ops[0], blocker);
    EXPECT_EQ(ops[1], next);
    queue.cancelAllOperations();
    EXPECT_TRUE(blocker->isCancelled());
    gate.open();
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_TRUE(next->isFinished());
}

TEST(OperationQueue, DestroyingAQueueCancelsPendingAndWaitsForRunning)
{
    std::atomic<bool> firstFinished{false}, secondRan{false};
    Gate gate;
    std::thread opener;
    {
        OperationQueue queue;
        queue.setMaxConcurrentOperationCount(1);
        queue.addOperation([&] {
            gate.wait();
            firstFinished = true;
        });
        queue.addOperation([&] { secondRan = true; });
        opener = std::thread([&] { gate.open(); });
    }
    opener.join();
    EXPECT_TRUE(firstFinished);
    EXPECT_FALSE(secondRan);
}

TEST(OperationQueue, MainQueueRunsOnTheMainLoop)
{
    std::atomic<bool> onMain{false};
    bool done = false;
    OperationQueue::mainQueue().addOperation([&] {
        onMain = RunLoop::isMainThread();
        done = true;
    });
    EXPECT_FALSE(done); // not inline: it waits for the loop
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return done; }, 5));
    EXPECT_TRUE(onMain);
}

} // namespace
