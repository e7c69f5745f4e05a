#include "Platform/Base/OperationQueue.h"
#include "Platform/Base/RunLoop.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>

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
    // Not fatal: the blocker must be let go below, or the queue's end waits for it for ever.
    EXPECT_EQ(queue.operations(), (std::vector<std::shared_ptr<Operation>>{blocker, next}));
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
        auto second = BlockOperation::create([&] { secondRan = true; });
        queue.addOperation(second);
        // Only once the destructor has cancelled what is pending: opening earlier would let
        // the second start before anything was cancelled.
        opener = std::thread([&gate, second] {
            while (!second->isCancelled())
                std::this_thread::yield();
            gate.open();
        });
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

// Begins in start() and ends only when the test (another thread) finishes it.
class ConcurrentOp : public Operation {
public:
    bool isConcurrent() const override { return true; }
    std::atomic<bool> started{false};
    std::atomic<bool> startedCancelled{false};
    void finishNow() { markFinished(); }

protected:
    void start() override
    {
        startedCancelled = isCancelled();
        started = true;
    }
};

TEST(OperationQueue, ConcurrentOperationHoldsItsSlotUntilItReportsFinished)
{
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(1);
    auto first = std::make_shared<ConcurrentOp>();
    auto second = std::make_shared<ConcurrentOp>();
    std::atomic<int> completions{0};
    first->setCompletion([&] { ++completions; });
    queue.addOperation(first);
    queue.addOperation(second);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return first->started.load(); }, 5));
    // start() has returned, yet the operation still runs and the slot is taken.
    EXPECT_TRUE(first->isExecuting());
    EXPECT_FALSE(first->isFinished());
    EXPECT_FALSE(second->started);
    EXPECT_EQ(queue.operationCount(), 2u);

    second->cancel(); // cancelled while pending: still started, so it can finish
    std::thread finisher([&] {
        first->finishNow();
        first->finishNow(); // a second report changes nothing
    });
    finisher.join();
    EXPECT_TRUE(first->isFinished());
    EXPECT_FALSE(first->isExecuting());
    EXPECT_EQ(completions, 1);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return second->started.load(); }, 5));
    EXPECT_TRUE(second->startedCancelled);
    EXPECT_FALSE(second->isFinished());
    second->finishNow();
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(queue.operationCount(), 0u);
}

TEST(OperationQueue, DestroyingAQueueLetsPendingOperationsFinish)
{
    auto concurrent = std::make_shared<ConcurrentOp>();
    auto plain = BlockOperation::create([] {});
    Gate gate;
    std::thread finisher;
    {
        OperationQueue queue;
        queue.setMaxConcurrentOperationCount(1);
        queue.setSuspended(true);
        queue.addOperation(plain);
        queue.addOperation(concurrent);
        // The queue waits for the concurrent one, which finishes once it has started.
        finisher = std::thread([&] {
            while (!concurrent->started)
                std::this_thread::yield();
            concurrent->finishNow();
        });
    }
    finisher.join();
    EXPECT_TRUE(plain->isFinished());
    EXPECT_TRUE(concurrent->isFinished());
    EXPECT_TRUE(concurrent->startedCancelled);
    plain->waitUntilFinished(); // returns: a dropped operation no longer leaves waiters hanging
}

TEST(OperationQueue, MainQueueStartsConcurrentOperationsOnTheMainLoop)
{
    auto op = std::make_shared<ConcurrentOp>();
    OperationQueue::mainQueue().addOperation(op);
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return op->started.load(); }, 5));
    bool next = false;
    OperationQueue::mainQueue().addOperation([&] { next = true; });
    RunLoop::main().runPending();
    EXPECT_FALSE(next);
    op->finishNow();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return next; }, 5));
}

} // namespace

namespace {

// Records the order operations left in, from the queue's own hook.
class RecordingQueue : public OperationQueue {
public:
    std::mutex mutex;
    std::vector<Operation*> left;

protected:
    void operationDidLeave(const std::shared_ptr<Operation>& op) override
    {
        std::lock_guard lock(mutex);
        left.push_back(op.get());
    }
};

} // namespace

TEST(OperationQueue, PriorityFirstAndDependenciesBeforeTheirDependents)
{
    RecordingQueue queue;
    queue.setMaxConcurrentOperationCount(1);
    queue.setSuspended(true);
    std::mutex mutex;
    std::vector<std::string> order;
    auto op = [&](std::string name) {
        return BlockOperation::create([&, name] {
            std::lock_guard lock(mutex);
            order.push_back(name);
        });
    };
    auto plain = op("plain"), dependent = op("dependent"), urgent = op("urgent"), head = op("head");
    urgent->setQueuePriority(10);
    // The dependent is added before what it waits for, and waits all the same.
    dependent->addDependency(head);
    EXPECT_FALSE(dependent->isReady());
    for (auto& o : {dependent, plain, urgent, head})
        queue.addOperation(o);
    queue.setSuspended(false);
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(order, (std::vector<std::string>{"urgent", "plain", "head", "dependent"}));
    EXPECT_TRUE(dependent->isReady());
    std::lock_guard lock(queue.mutex);
    std::set<Operation*> left(queue.left.begin(), queue.left.end());
    EXPECT_EQ(queue.left.size(), 4u);
    EXPECT_EQ(left, (std::set<Operation*>{urgent.get(), plain.get(), head.get(), dependent.get()}));
}

TEST(OperationQueue, APriorityRaisedWhileWaitingStillGoesFirst)
{
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(1);
    std::mutex mutex;
    std::condition_variable released;
    bool open = false;
    std::vector<std::string> order;
    auto op = [&](std::string name) {
        return BlockOperation::create([&, name] {
            std::unique_lock lock(mutex);
            order.push_back(name);
            if (name == "first")
                released.wait(lock, [&] { return open; });
        });
    };
    // The first one runs and holds the only slot; the rest wait behind it.
    auto first = op("first"), a = op("a"), b = op("b"), late = op("late");
    for (auto& o : {first, a, b, late})
        queue.addOperation(o);
    late->setQueuePriority(Operation::QueuePriorityHigh);
    {
        std::lock_guard lock(mutex);
        open = true;
    }
    released.notify_all();
    queue.waitUntilAllOperationsAreFinished();
    EXPECT_EQ(order, (std::vector<std::string>{"first", "late", "a", "b"}));
}

namespace {

int processThreadCount()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("Threads:", 0) == 0)
            return std::stoi(line.substr(8));
    return -1;
}

// Threads the runtime may start on its own meanwhile (a sanitizer's background thread); a
// thread per operation would still be hundreds over.
constexpr int kRuntimeThreads = 2;

// Ends inside its own start(), noting the order it was started in.
class SelfFinishingOp : public Operation {
public:
    SelfFinishingOp(int index, std::vector<int>& started) : index(index), m_started(started) {}
    bool isConcurrent() const override { return true; }
    const int index;

protected:
    void start() override
    {
        m_started.push_back(index);
        markFinished();
    }

private:
    std::vector<int>& m_started;
};

constexpr int kMany = 1000;
bool isUrgent(int i) { return i % 100 == 50; }
// Op i waits for op i + 1, which is added after it.
bool waitsForNext(int i) { return i % 7 == 3 && !isUrgent(i) && !isUrgent(i + 1) && i + 1 < kMany; }

} // namespace

TEST(OperationQueue, AThousandPlainOperationsShareAFewThreadsAndKeepTheirDependencies)
{
    int before = processThreadCount();
    ASSERT_GT(before, 0);
    std::mutex mutex;
    std::set<pid_t> threads;
    int peakThreads = 0;
    std::atomic<int> ran{0}, dependencyMissed{0};
    {
        OperationQueue queue;
        queue.setMaxConcurrentOperationCount(3);
        queue.setSuspended(true);
        std::vector<std::shared_ptr<BlockOperation>> ops(kMany);
        for (int i = kMany - 1; i >= 0; --i) {
            auto next = i + 1 < kMany ? ops[i + 1] : nullptr;
            ops[i] = BlockOperation::create([&, i, next] {
                if (waitsForNext(i) && !next->isFinished())
                    ++dependencyMissed;
                std::lock_guard lock(mutex);
                threads.insert(gettid());
                if (i % 10 == 0)
                    peakThreads = std::max(peakThreads, processThreadCount());
                ++ran;
            });
            if (waitsForNext(i))
                ops[i]->addDependency(next);
        }
        for (auto& op : ops)
            queue.addOperation(op);
        queue.setSuspended(false);
        queue.waitUntilAllOperationsAreFinished();
    }
    EXPECT_EQ(ran, kMany);
    EXPECT_EQ(dependencyMissed, 0);
    EXPECT_LE(threads.size(), 3u);
    EXPECT_LE(peakThreads, before + 3 + kRuntimeThreads);
    EXPECT_LE(processThreadCount(), before + kRuntimeThreads); // the queue's threads are gone with it
}

TEST(OperationQueue, AThousandConcurrentOperationsStartInPriorityAndDependencyOrderOnTheAddingThread)
{
    int before = processThreadCount();
    std::vector<int> started; // only the adding thread starts them
    OperationQueue queue;
    queue.setMaxConcurrentOperationCount(3);
    queue.setSuspended(true);
    std::vector<std::shared_ptr<SelfFinishingOp>> ops(kMany);
    for (int i = kMany - 1; i >= 0; --i) {
        ops[i] = std::make_shared<SelfFinishingOp>(i, started);
        if (isUrgent(i))
            ops[i]->setQueuePriority(Operation::QueuePriorityHigh);
        if (waitsForNext(i))
            ops[i]->addDependency(ops[i + 1]);
    }
    for (auto& op : ops)
        queue.addOperation(op);
    queue.setSuspended(false);
    EXPECT_EQ(queue.operationCount(), 0u);
    EXPECT_LE(processThreadCount(), before + kRuntimeThreads);
    ASSERT_EQ(started.size(), size_t(kMany));

    std::vector<int> position(kMany);
    for (int at = 0; at < kMany; ++at)
        position[started[at]] = at;
    for (int i = 0; i < kMany; ++i) {
        if (isUrgent(i)) {
            EXPECT_LT(position[i], 10) << i; // the ten urgent ones come first
        }
        if (waitsForNext(i)) {
            EXPECT_GT(position[i], position[i + 1]) << i;
        }
    }
    // Among the rest, those free to start go in the order added.
    int last = -1;
    for (int i : started) {
        if (isUrgent(i) || waitsForNext(i))
            continue;
        EXPECT_GT(i, last);
        last = i;
    }
}

namespace {

int taskCount()
{
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task"))
        ++count;
    return count;
}

} // namespace

// Operations added one by one while earlier ones finish never bring the pool above the queue's
// limit, and a queue left idle lets its workers go.
TEST(OperationQueue, WorkersStayWithinTheLimitAndEndWhenIdle)
{
    // Threads the process makes once, on first use (the main loop's, or a sanitizer's own at
    // the first thread made), come before the count.
    RunLoop::main().runUntil([] { return false; }, 0.01);
    std::thread([] {}).join();
    for (int limit : {3, 8}) {
        SCOPED_TRACE(limit);
        int before = taskCount();
        std::atomic<int> peak{0}, ran{0};
        OperationQueue queue;
        queue.setMaxConcurrentOperationCount(limit);
        for (int i = 0; i < kMany; ++i) {
            queue.addOperation([&] {
                int now = taskCount();
                for (int seen = peak; now > seen && !peak.compare_exchange_weak(seen, now);) {
                }
                ++ran;
            });
        }
        queue.waitUntilAllOperationsAreFinished();
        EXPECT_EQ(ran, kMany);
        EXPECT_LE(peak, before + limit + kRuntimeThreads);
        EXPECT_GT(peak, before); // the operations did run on workers
        // Idle workers end on their own after a few seconds, with the queue still alive.
        EXPECT_TRUE(RunLoop::main().runUntil([&] { return taskCount() <= before; }, 120))
            << taskCount() - before << " threads left";
    }
}
