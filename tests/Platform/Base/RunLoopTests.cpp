#include "Platform/Base/Date.h"
#include "Platform/Base/OperationQueue.h"
#include "Platform/Base/OutsideWork.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Thread.h"
#include "Platform/Base/Timer.h"
#include "tests/Support/OnExit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <sys/eventfd.h>
#include <unistd.h>
#include <string>
#include <thread>
#include <vector>

using namespace base;

namespace {

class ManualClock : public ::testing::Test {
protected:
    void SetUp() override
    {
        RunLoop::main().setManualClock(true);
        RunLoop::main().runPending();
    }
    void TearDown() override
    {
        RunLoop::main().runPending();
        RunLoop::main().setManualClock(false);
        Date::setFixedNow(std::nullopt);
    }
};

TEST_F(ManualClock, TimersFireInTimeOrderThenSchedulingOrder)
{
    std::vector<std::string> fired;
    auto late = Timer::scheduled(2.0, false, [&](Timer&) { fired.push_back("late"); });
    auto early = Timer::scheduled(0.5, false, [&](Timer&) { fired.push_back("early"); });
    auto tieA = Timer::scheduled(1.0, false, [&](Timer&) { fired.push_back("tieA"); });
    auto tieB = Timer::scheduled(1.0, false, [&](Timer&) { fired.push_back("tieB"); });

    RunLoop::main().advance(0.99);
    EXPECT_EQ(fired, (std::vector<std::string>{"early"}));
    RunLoop::main().advance(0.01);
    EXPECT_EQ(fired, (std::vector<std::string>{"early", "tieA", "tieB"}));
    EXPECT_TRUE(late->isValid());
    RunLoop::main().advance(5);
    EXPECT_EQ(fired.back(), "late");
    EXPECT_FALSE(late->isValid());
    EXPECT_EQ(fired.size(), 4u);
}

TEST_F(ManualClock, RepeatingTimerFiresEachIntervalUntilInvalidated)
{
    int count = 0;
    auto timer = Timer::scheduled(0.25, true, [&](Timer& t) {
        if (++count == 3)
            t.invalidate();
    });
    RunLoop::main().advance(0.6);
    EXPECT_EQ(count, 2);
    RunLoop::main().advance(10);
    EXPECT_EQ(count, 3);
    EXPECT_FALSE(timer->isValid());
}

TEST_F(ManualClock, InvalidatedTimerNeverFiresAndTimerCanReleaseItself)
{
    bool fired = false;
    auto timer = Timer::scheduled(1, false, [&](Timer&) { fired = true; });
    timer->invalidate();
    RunLoop::main().advance(2);
    EXPECT_FALSE(fired);

    std::shared_ptr<Timer> self;
    int ticks = 0;
    self = Timer::scheduled(0.1, true, [&](Timer& t) {
        ++ticks;
        t.invalidate();
        self.reset(); // the owner drops it from inside its own callback
    });
    RunLoop::main().advance(1);
    EXPECT_EQ(ticks, 1);
}

TEST_F(ManualClock, FixedWallClockMovesWithTheLoopClock)
{
    Date::setFixedNow(Date(1000));
    RunLoop::main().advance(2.5);
    EXPECT_DOUBLE_EQ(Date::now().timeIntervalSince1970(), 1002.5);
}

TEST_F(ManualClock, RunUntilJumpsToTimersAndStopsAtTheDeadline)
{
    bool fired = false;
    auto timer = Timer::scheduled(30, false, [&](Timer&) { fired = true; });
    double start = RunLoop::main().now();
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return fired; }, 60));
    EXPECT_DOUBLE_EQ(RunLoop::main().now() - start, 30);

    bool never = false;
    auto far = Timer::scheduled(100, false, [&](Timer&) { never = true; });
    EXPECT_FALSE(RunLoop::main().runUntil([&] { return never; }, 10));
    EXPECT_FALSE(never);
    far->invalidate();
}

TEST_F(ManualClock, AWaitWithNothingDueWaitsForWorkOnOtherThreadsHoweverSlow)
{
    // Work slower than the loop's short idle spell, as on a loaded machine: the wait keeps
    // waiting while it is in flight and sees what it posts back. A worker queue's operation and a
    // task of a thread whose tasks report back (a conversion, a page asked for) alike.
    const int before = outsideWorkCount();
    OperationQueue queue;
    WorkerThread thread("reports back", true);
    struct Case {
        const char* name;
        std::function<void(std::function<void()>)> start;
    };
    const Case cases[] = {
        {"worker queue", [&](std::function<void()> work) { queue.addOperation(std::move(work)); }},
        {"worker thread", [&](std::function<void()> work) { thread.post(std::move(work)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<bool> release{false};
        bool reported = false;
        c.start([&] {
            auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
            while (!release && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            performOnMain([&] { reported = true; });
        });
        EXPECT_TRUE(RunLoop::main().runUntil([&] { return reported; }, 0.1));
        release = true;
    }
    queue.waitUntilAllOperationsAreFinished();

    // Tasks a stopping thread drops are work no longer.
    std::atomic<bool> started{false}, hold{true};
    thread.post([&] {
        started = true;
        while (hold)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    thread.post([] {});
    thread.post([] {});
    // Polled with a bound a loaded machine never reaches; the held task is let go either way.
    auto soon = [](const std::function<bool()>& done) {
        auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!done() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return done();
    };
    EXPECT_TRUE(soon([&] { return started.load(); }));
    std::thread stopper([&] { EXPECT_EQ(thread.stop(), 2u); });
    EXPECT_TRUE(soon([&] { return thread.taskCount() == 1; })) << "the queued tasks were dropped";
    hold = false;
    stopper.join();
    EXPECT_EQ(outsideWorkCount(), before);

    // With nothing in flight it still gives up on the loop's own time.
    double start = RunLoop::main().now();
    EXPECT_FALSE(RunLoop::main().runUntil([] { return false; }, 0.1));
    EXPECT_NEAR(RunLoop::main().now() - start, 0.1, 1e-9);
}

TEST(RunLoop, TasksPostedFromAnotherThreadRunOnTheMainLoopInOrder)
{
    std::vector<int> seen;
    std::atomic<bool> wrongThread{false};
    std::thread producer([&] {
        for (int i = 0; i < 200; ++i)
            RunLoop::main().post([&, i] {
                if (!RunLoop::isMainThread())
                    wrongThread = true;
                seen.push_back(i);
            });
    });
    producer.join();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return seen.size() == 200; }, 5));
    EXPECT_FALSE(wrongThread);
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(seen[static_cast<size_t>(i)], i);
}

TEST(RunLoop, PerformOnMainRunsInlineOnMainAndWaitsFromWorkers)
{
    bool inlineRan = false;
    performOnMain([&] { inlineRan = true; });
    EXPECT_TRUE(inlineRan);

    std::atomic<bool> workerDone{false};
    int value = 0;
    std::thread worker([&] {
        performOnMain([&] { value = 42; }, true);
        // The wait returned, so the main loop has run the task already.
        workerDone = value == 42;
    });
    RunLoop::main().runUntil([&] { return workerDone.load(); }, 5);
    worker.join();
    EXPECT_TRUE(workerDone);
}

TEST(RunLoop, TaskRepostingItselfDoesNotStarveTimers)
{
    bool timerFired = false;
    auto timer = Timer::scheduled(0, false, [&](Timer&) { timerFired = true; });
    std::function<void()> spin;
    int spins = 0;
    spin = [&] {
        if (++spins < 1000 && !timerFired)
            RunLoop::main().post(spin);
    };
    RunLoop::main().post(spin);
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return timerFired; }, 5));
    RunLoop::main().runUntil([&] { return spins >= 1000 || timerFired; }, 1);
    RunLoop::main().runPending();
}

TEST(WorkerThread, RunsTasksInOrderOffTheMainThread)
{
    WorkerThread worker("test");
    std::vector<int> seen;
    std::atomic<int> done{0};
    std::atomic<bool> onMain{false};
    for (int i = 0; i < 50; ++i)
        worker.post([&, i] {
            if (RunLoop::isMainThread())
                onMain = true;
            seen.push_back(i);
            ++done;
        });
    RunLoop::main().runUntil([&] { return done == 50; }, 5);
    worker.stop();
    ASSERT_EQ(seen.size(), 50u);
    EXPECT_FALSE(onMain);
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(seen[static_cast<size_t>(i)], i);
}

} // namespace

// What another thread posts inside a batch arrives in order, all together once the batch ends
// (nested batches keep the order too); a batch on the loop's own thread holds nothing.
TEST(RunLoop, PostBatchHandsOverInOrderAtItsEnd)
{
    auto& main = base::RunLoop::main();
    std::vector<int> ran;
    std::atomic<bool> heldWhileOpen{false}, releaseBatch{false}, batchOpen{false};
    std::thread poster([&] {
        base::RunLoop::PostBatch batch(main);
        main.post([&] { ran.push_back(1); });
        {
            base::RunLoop::PostBatch inner(main);
            main.post([&] { ran.push_back(2); });
        }
        main.post([&] { ran.push_back(3); });
        batchOpen = true;
        while (!releaseBatch)
            std::this_thread::yield();
    });
    // Not fatal: the poster is let go and joined just below either way.
    EXPECT_TRUE(main.runUntil([&] { return batchOpen.load(); }, 60));
    // Let the loop take whatever had been handed over so far: nothing yet.
    main.runUntil([] { return false; }, 0.01);
    heldWhileOpen = ran.empty();
    releaseBatch = true;
    poster.join();
    ASSERT_TRUE(main.runUntil([&] { return ran.size() == 3; }, 60));
    EXPECT_TRUE(heldWhileOpen);
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));

    // Handing over early lets the loop run what is held while the batch stays open.
    std::atomic<bool> handedOver{false}, closeBatch{false};
    std::thread early([&] {
        base::RunLoop::PostBatch batch(main);
        main.post([&] { ran.push_back(4); });
        base::RunLoop::PostBatch::handOverHeld();
        handedOver = true;
        while (!closeBatch)
            std::this_thread::yield();
    });
    // The batch is still open here (it closes only below), so running 4 proves the hand-over;
    // the flag is set after it, so it is waited for, not read at once.
    EXPECT_TRUE(main.runUntil([&] { return ran.size() == 4 && handedOver; }, 60));
    closeBatch = true;
    early.join();

    bool direct = false;
    {
        base::RunLoop::PostBatch own(main);
        main.post([&] { direct = true; });
    }
    EXPECT_TRUE(main.runUntil([&] { return direct; }, 60));
}

// What a thread running a loop of its own posts to the main loop during one turn reaches it
// with one wake-up, in order; what it hands over early is queued at once and waits for that
// same wake-up rather than causing one of its own.
TEST(RunLoop, ALoopThreadsTurnWakesTheMainLoopOnce)
{
    auto& main = base::RunLoop::main();
    std::atomic<int> wakes{0};
    main.setWakeHandler([&] { ++wakes; });
    std::vector<int> ran;
    std::atomic<bool> queuedEarly{false};
    {
        base::RunLoopThread turns("turns");
        turns.post([&] {
            for (int i = 0; i < 5; ++i)
                main.post([&, i] { ran.push_back(i); });
            base::RunLoop::PostBatch::handOverHeld();
            queuedEarly = main.secondsUntilWork() == 0.0;
            for (int i = 5; i < 10; ++i)
                main.post([&, i] { ran.push_back(i); });
        });
        EXPECT_TRUE(main.runUntil([&] { return ran.size() == 10; }, 60));
    }
    main.setWakeHandler(nullptr);
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_TRUE(queuedEarly);
    EXPECT_EQ(wakes, 1);
}

// A loop thread holds what it posts to the main loop across its turns and its sockets'
// callbacks for a moment, but never past it: with the thread gone quiet and the main loop
// asleep, the main loop is still woken, and everything arrives in the order posted.
TEST(RunLoop, ALoopThreadsHeldPostsAlwaysWakeTheMainLoopInOrder)
{
    auto& main = base::RunLoop::main();
    std::mutex mutex;
    std::condition_variable woken;
    int wakes = 0;
    main.setWakeHandler([&] {
        std::lock_guard lock(mutex);
        ++wakes;
        woken.notify_all();
    });
    std::vector<int> ran;
    // On every way out: the handler and what was posted to the main loop use this test's own
    // objects, and other threads call the one and the main loop runs the other after it.
    testsupport::OnExit unhook([&] {
        main.setWakeHandler(nullptr);
        while (main.runPending()) {
        }
    });
    int signal = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    ASSERT_GE(signal, 0);
    {
        base::RunLoopThread turns("held");
        std::atomic<bool> watching{false};
        turns.post([&] {
            base::RunLoop::current().addWatch(signal, base::RunLoop::Readable, [&](int fd, unsigned) {
                uint64_t count;
                if (::read(fd, &count, sizeof count) > 0)
                    main.post([&] { ran.push_back(2); });
            });
            main.post([&] { ran.push_back(1); });
            watching = true;
        });
        {
            // The main loop does not run: only a wake-up can tell it there is work.
            std::unique_lock lock(mutex);
            ASSERT_TRUE(woken.wait_for(lock, std::chrono::seconds(60), [&] { return wakes >= 1 && watching; }));
        }
        int before = wakes;
        uint64_t one = 1;
        ASSERT_EQ(::write(signal, &one, sizeof one), ssize_t(sizeof one));
        {
            std::unique_lock lock(mutex);
            ASSERT_TRUE(woken.wait_for(lock, std::chrono::seconds(60), [&] { return wakes > before; }));
        }
        EXPECT_TRUE(main.runUntil([&] { return ran.size() == 2; }, 60));
    }
    main.setWakeHandler(nullptr);
    ::close(signal);
    EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

// A loop that sleeps in another system's wait (a window's event queue) may have asked for work
// just before a turn hands its reports over early, the way a finished transfer does: the turn
// still wakes it when it ends, though it posts nothing more.
TEST(RunLoop, ATurnsEarlyHandOverWakesALoopInAnotherWait)
{
    auto& main = base::RunLoop::main();
    std::mutex mutex;
    std::condition_variable woken;
    int wakes = 0;
    main.setWakeHandler([&] {
        std::lock_guard lock(mutex);
        ++wakes;
        woken.notify_all();
    });
    bool ran = false;
    testsupport::OnExit unhook([&] {
        main.setWakeHandler(nullptr);
        while (main.runPending()) {
        }
    });
    std::atomic<bool> queued{false};
    {
        base::RunLoopThread turns("early");
        turns.post([&] {
            main.post([&] { ran = true; });
            base::RunLoop::PostBatch::handOverHeld();
            queued = main.secondsUntilWork() == 0.0;
        });
        // The main loop does not run: only a wake-up can tell it there is work.
        std::unique_lock lock(mutex);
        EXPECT_TRUE(woken.wait_for(lock, std::chrono::seconds(60), [&] { return wakes >= 1; }))
            << "the main loop was never woken for what the turn handed over";
    }
    EXPECT_TRUE(queued);
    EXPECT_TRUE(main.runUntil([&] { return ran; }, 60));
}
