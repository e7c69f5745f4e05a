// A loop that sleeps in another system's wait (a window's event queue) asks when it has work
// next and is woken by work from other threads.
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Timer.h"
#include "tests/Support/OnExit.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using base::RunLoop;

TEST(RunLoopExternalWait, TellsWhenWorkIsDueAndWakesForOtherThreads)
{
    RunLoop& loop = RunLoop::main();
    loop.setManualClock(true);
    while (loop.runPending()) {
    }
    if (loop.secondsUntilWork()) {
        loop.setManualClock(false);
        GTEST_SKIP() << "another test left a timer on the main loop";
    }
    std::atomic<int> wakes{0};
    loop.setWakeHandler([&] { ++wakes; });
    // On every way out: other threads call the handler, and later tests need the real clock.
    testsupport::OnExit unhook([&] {
        loop.setWakeHandler({});
        loop.setManualClock(false);
    });

    auto timer = base::Timer::scheduled(2.5, false, [](base::Timer&) {});
    ASSERT_TRUE(loop.secondsUntilWork());
    EXPECT_DOUBLE_EQ(*loop.secondsUntilWork(), 2.5);
    loop.advance(1);
    EXPECT_DOUBLE_EQ(*loop.secondsUntilWork(), 1.5);
    // Work of its own thread is seen before the loop sleeps: no wake is needed.
    loop.post([] {});
    EXPECT_EQ(*loop.secondsUntilWork(), 0.0);
    EXPECT_EQ(wakes, 0);
    loop.runPending();
    std::thread([&] { loop.post([] {}); }).join();
    EXPECT_EQ(wakes, 1);
    EXPECT_EQ(*loop.secondsUntilWork(), 0.0);
    loop.runPending();
    timer->invalidate();
    EXPECT_FALSE(loop.secondsUntilWork()) << "nothing at all is due";

    loop.setWakeHandler({});
    std::thread([&] { loop.post([] {}); }).join();
    EXPECT_EQ(wakes, 1);
    loop.runPending();
    loop.setManualClock(false);
}
