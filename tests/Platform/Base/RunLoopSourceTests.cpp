#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Thread.h"
#include "Platform/Base/Timer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <string>
#include <vector>

using namespace base;

namespace {

struct Pipe {
    int fds[2] = {-1, -1};
    Pipe() { EXPECT_EQ(::pipe2(fds, O_CLOEXEC | O_NONBLOCK), 0); }
    ~Pipe()
    {
        closeRead();
        closeWrite();
    }
    int readFd() const { return fds[0]; }
    int writeFd() const { return fds[1]; }
    void write(const std::string& s) const { ASSERT_EQ(::write(fds[1], s.data(), s.size()), static_cast<ssize_t>(s.size())); }
    void closeRead()
    {
        if (fds[0] >= 0)
            ::close(fds[0]);
        fds[0] = -1;
    }
    void closeWrite()
    {
        if (fds[1] >= 0)
            ::close(fds[1]);
        fds[1] = -1;
    }
};

template <typename T> T waitFor(std::future<T>& f)
{
    EXPECT_EQ(f.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    return f.get();
}

TEST(RunLoopThreads, EachThreadHasItsOwnLoopAndTheMainThreadHasTheMainLoop)
{
    EXPECT_EQ(&RunLoop::current(), &RunLoop::main());
    EXPECT_TRUE(RunLoop::main().isCurrent());
    RunLoop* first = nullptr;
    RunLoop* again = nullptr;
    bool isMain = true;
    std::thread t([&] {
        first = &RunLoop::current();
        again = &RunLoop::current();
        isMain = RunLoop::isMainThread();
    });
    t.join();
    EXPECT_NE(first, &RunLoop::main());
    EXPECT_EQ(first, again);
    EXPECT_FALSE(isMain);
}

TEST(RunLoopThreads, PostedTasksWakeAWaitingLoopAndRunInOrderOnItsThread)
{
    RunLoopThread thread("test-loop");
    std::vector<int> seen;
    std::atomic<bool> offThread{false};
    std::promise<void> done;
    auto finished = done.get_future();
    for (int i = 0; i < 100; ++i)
        thread.post([&, i] {
            if (!thread.isCurrent() || !thread.loop().isCurrent())
                offThread = true;
            seen.push_back(i);
            if (i == 99)
                done.set_value();
        });
    waitFor(finished);
    thread.stop();
    ASSERT_EQ(seen.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(seen[static_cast<size_t>(i)], i);
    EXPECT_FALSE(offThread);
}

TEST(RunLoopThreads, TimerOnAnotherLoopFiresThereAndInvalidationFromOutsideStopsIt)
{
    RunLoopThread thread("test-timer");
    std::promise<bool> fired;
    auto firedOnThread = fired.get_future();
    auto once = Timer::scheduledOn(thread.loop(), 0.01, false, [&](Timer&) { fired.set_value(thread.isCurrent()); });
    EXPECT_TRUE(waitFor(firedOnThread));
    EXPECT_FALSE(once->isValid());

    std::atomic<int> ticks{0};
    auto never = Timer::scheduledOn(thread.loop(), 3600, false, [&](Timer&) { ++ticks; });
    never->invalidate();
    // A task posted after the invalidation runs after any earlier due work: nothing fired.
    std::promise<void> flushed;
    auto f = flushed.get_future();
    thread.post([&] { flushed.set_value(); });
    waitFor(f);
    EXPECT_EQ(ticks, 0);
    thread.stop();
}

TEST(RunLoopSources, ReadableWatchIsLevelTriggeredAndStopsWhenRemoved)
{
    RunLoopThread thread("test-fd");
    Pipe pipe;
    std::string received;
    std::atomic<int> calls{0};
    std::promise<void> gotAll;
    auto all = gotAll.get_future();
    RunLoop::WatchId id = 0;
    id = thread.loop().addWatch(pipe.readFd(), RunLoop::Readable, [&](int fd, unsigned events) {
        EXPECT_TRUE(events & RunLoop::Readable);
        EXPECT_TRUE(thread.isCurrent());
        ++calls;
        char c;
        // One byte per event: the watch must fire again while bytes remain.
        if (::read(fd, &c, 1) == 1)
            received += c;
        if (received == "hello") {
            thread.loop().removeWatch(id);
            gotAll.set_value();
        }
    });
    pipe.write("hello");
    waitFor(all);
    EXPECT_EQ(calls, 5);

    // Removed: more data must not reach the callback.
    pipe.write("x");
    std::promise<void> flushed;
    auto f = flushed.get_future();
    thread.post([&] { flushed.set_value(); });
    waitFor(f);
    // Give the loop one more full turn with the byte pending.
    std::promise<void> flushed2;
    auto f2 = flushed2.get_future();
    thread.post([&] { flushed2.set_value(); });
    waitFor(f2);
    thread.stop();
    EXPECT_EQ(calls, 5);
    EXPECT_EQ(received, "hello");
}

TEST(RunLoopSources, WritableAndHangupAndClosedDescriptorsAreReported)
{
    auto& loop = RunLoop::main();
    Pipe pipe;
    unsigned writeEvents = 0;
    auto writeWatch = loop.addWatch(pipe.writeFd(), RunLoop::Writable, [&](int, unsigned events) { writeEvents |= events; });
    ASSERT_TRUE(loop.runUntil([&] { return writeEvents != 0; }, 5));
    EXPECT_TRUE(writeEvents & RunLoop::Writable);

    // The reader goes away: the writer is told, whatever it asked for.
    loop.updateWatch(writeWatch, 0);
    writeEvents = 0;
    pipe.closeRead();
    ASSERT_TRUE(loop.runUntil([&] { return writeEvents != 0; }, 5));
    EXPECT_TRUE(writeEvents & (RunLoop::Error | RunLoop::Hangup));
    loop.removeWatch(writeWatch);

    // A descriptor closed under its watch reports once and is dropped, not reported forever.
    Pipe other;
    int errors = 0;
    loop.addWatch(other.readFd(), RunLoop::Readable, [&](int, unsigned events) {
        if (events & RunLoop::Error)
            ++errors;
    });
    other.closeRead();
    ASSERT_TRUE(loop.runUntil([&] { return errors > 0; }, 5));
    loop.runPending();
    loop.runPending();
    EXPECT_EQ(errors, 1);
}

TEST(RunLoopModes, PrivateModeRunsOnlyItsOwnWorkAndTheRestWaitsInOrder)
{
    auto& loop = RunLoop::main();
    const RunLoop::Mode privateMode = "test.private";
    std::vector<std::string> order;
    loop.post([&] { order.push_back("default-1"); });
    loop.post([&] { order.push_back("private"); }, privateMode);
    loop.post([&] { order.push_back("common"); }, RunLoop::kCommonModes);
    loop.post([&] { order.push_back("default-2"); });
    bool defaultTimerFired = false;
    auto defaultTimer = Timer::scheduled(0, false, [&](Timer&) { defaultTimerFired = true; });
    bool privateTimerFired = false;
    auto privateTimer = Timer::scheduledOn(loop, 0, false, [&](Timer&) { privateTimerFired = true; }, privateMode);
    Pipe pipe;
    pipe.write("x");
    int defaultReads = 0;
    auto defaultWatch = loop.addWatch(pipe.readFd(), RunLoop::Readable, [&](int, unsigned) { ++defaultReads; });

    std::string modeInside;
    loop.post([&] { modeInside = loop.currentMode(); }, privateMode);
    ASSERT_TRUE(loop.runUntil([&] { return privateTimerFired && !modeInside.empty(); }, 5, privateMode));
    EXPECT_EQ(order, (std::vector<std::string>{"private", "common"}));
    EXPECT_EQ(modeInside, privateMode);
    EXPECT_FALSE(defaultTimerFired);
    EXPECT_EQ(defaultReads, 0);

    loop.removeWatch(defaultWatch);
    ASSERT_TRUE(loop.runUntil([&] { return defaultTimerFired && order.size() == 4; }, 5));
    EXPECT_EQ(order, (std::vector<std::string>{"private", "common", "default-1", "default-2"}));
    EXPECT_EQ(loop.currentMode(), RunLoop::kDefaultMode);
}

TEST(RunLoopModes, NestedRunInsideATaskKeepsTheQueueOrder)
{
    auto& loop = RunLoop::main();
    std::vector<std::string> order;
    loop.post([&] {
        order.push_back("a");
        loop.post([&] { order.push_back("d"); });
        // Tasks already queued (b, c) come before the one posted just now (d).
        loop.runUntil([&] { return order.size() == 4; }, 5);
    });
    loop.post([&] { order.push_back("b"); });
    loop.post([&] { order.push_back("c"); });
    ASSERT_TRUE(loop.runUntil([&] { return order.size() == 4; }, 5));
    EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c", "d"}));
}

TEST(RunLoopModes, QuitBeforeRunIsKeptAndQuitFromATaskEndsRun)
{
    auto& loop = RunLoop::main();
    loop.quit();
    loop.run(); // returns at once instead of hanging
    bool ran = false;
    loop.post([&] {
        ran = true;
        loop.quit();
    });
    loop.run();
    EXPECT_TRUE(ran);
}

} // namespace
