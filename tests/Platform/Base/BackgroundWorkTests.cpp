#include "Platform/Base/BackgroundWork.h"
#include "Platform/Base/OperationQueue.h"
#include "Platform/Base/Thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using base::BackgroundWork;

namespace {

class BackgroundWorkTest : public ::testing::Test {
protected:
    void SetUp() override { BackgroundWork::resetForTesting(); }
    void TearDown() override { BackgroundWork::resetForTesting(); }
};

// Stops run once each, newest first; an owner that went first is not stopped; work registered
// after the end is stopped at once.
TEST_F(BackgroundWorkTest, StopsEveryWorkerOnceNewestFirstAndThoseServingOthersLast)
{
    std::vector<std::string> order;
    BackgroundWork::add("first", [&] { order.push_back("first"); return size_t(0); });
    // A pool made on first use, after some of its users registered.
    BackgroundWork::add("pool", [&] { order.push_back("pool"); return size_t(1); }, BackgroundWork::Role::ServesOthers);
    auto gone = BackgroundWork::add("gone", [&] { order.push_back("gone"); return size_t(0); });
    BackgroundWork::add("second", [&] { order.push_back("second"); return size_t(2); });
    BackgroundWork::remove(gone);
    EXPECT_FALSE(BackgroundWork::isStopping());
    BackgroundWork::stopAll();
    BackgroundWork::stopAll();
    EXPECT_TRUE(BackgroundWork::isStopping());
    BackgroundWork::add("late", [&] { order.push_back("late"); return size_t(0); });
    EXPECT_EQ(order, (std::vector<std::string>{"second", "first", "pool", "late"}));
}

// A thread that the stop joins may make a shared object on its way out, whose set-up registers
// a stop that calls on that object: the stop runs after the set-up has returned, from stopAll,
// never inside the set-up (where it would wait on the object being made), and before older work.
TEST_F(BackgroundWorkTest, WorkRegisteredWhileStoppingIsStoppedAfterItsSetUpReturned)
{
    std::vector<std::string> order;
    std::mutex orderLock;
    auto note = [&](const char* what) {
        std::lock_guard lock(orderLock);
        order.push_back(what);
    };
    std::thread opening([&] {
        while (!BackgroundWork::isStopping())
            std::this_thread::yield();
        BackgroundWork::add("made on the way out", [&] { note("its stop"); return size_t(0); });
        note("set-up returned");
    });
    BackgroundWork::add("older", [&] { note("older"); return size_t(0); });
    BackgroundWork::add("opening", [&] {
        opening.join();
        note("joined");
        return size_t(0);
    });
    BackgroundWork::stopAll();
    // The late one is the newest: it goes before the older work still waiting.
    EXPECT_EQ(order, (std::vector<std::string>{"set-up returned", "joined", "its stop", "older"}));
    EXPECT_FALSE(opening.joinable());
}

// A queue shut down lets its running operation end, drops what waits, takes nothing more and
// leaves no thread behind that could touch it afterwards.
TEST_F(BackgroundWorkTest, AQueueShutDownWaitsForTheRunningAndDropsTheWaiting)
{
    auto queue = std::make_unique<base::OperationQueue>();
    queue->setMaxConcurrentOperationCount(1);
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false, release = false;
    std::atomic<int> ran{0};
    queue->addOperation([&] {
        {
            std::unique_lock lock(mutex);
            started = true;
            changed.notify_all();
            changed.wait(lock, [&] { return release; });
        }
        ++ran;
    });
    for (int i = 0; i < 5; ++i)
        queue->addOperation([&] { ++ran; });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return started; });
    }
    BackgroundWork::add("queue", [&] { return queue->shutDown(); });
    // The running operation ends only once the queue has begun shutting down.
    std::thread releaser([&] {
        while (!queue->isShutDown())
            std::this_thread::yield();
        std::lock_guard lock(mutex);
        release = true;
        changed.notify_all();
    });
    BackgroundWork::stopAll();
    releaser.join();
    EXPECT_EQ(ran.load(), 1);
    EXPECT_TRUE(queue->isShutDown());
    queue->addOperation([&] { ++ran; });
    EXPECT_EQ(queue->operationCount(), 0u);
    EXPECT_EQ(queue->shutDown(), 0u);
    queue.reset();
    EXPECT_EQ(ran.load(), 1);
}

// A worker thread stopped drops its waiting tasks and is joined.
TEST_F(BackgroundWorkTest, AWorkerThreadStopsAndDropsItsWaitingTasks)
{
    base::WorkerThread thread("test-worker");
    std::mutex mutex;
    std::condition_variable changed;
    bool started = false;
    std::atomic<int> ran{0};
    thread.post([&] {
        {
            std::lock_guard lock(mutex);
            started = true;
        }
        changed.notify_all();
        ++ran;
    });
    for (int i = 0; i < 3; ++i)
        thread.post([&] { std::this_thread::yield(); ++ran; });
    {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return started; });
    }
    size_t dropped = thread.stop();
    EXPECT_EQ(size_t(ran.load()) + dropped, 4u);
    thread.post([&] { ++ran; });
    EXPECT_LE(ran.load(), 4);
}

} // namespace
