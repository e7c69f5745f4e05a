#include "Platform/Base/DeferredCall.h"
#include "Platform/Base/RunLoop.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using namespace base;

namespace {

class DeferredCallTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RunLoop::main().setManualClock(true);
        RunLoop::main().runPending();
    }
    void TearDown() override
    {
        RunLoop::main().advance(5);
        RunLoop::main().setManualClock(false);
    }
    std::vector<std::string> ran;
};

TEST_F(DeferredCallTest, ZeroDelayRunsOnTheNextTurnInOrderAndLaterOnesWhenDue)
{
    auto owner = std::make_shared<int>(0);
    performAfterDelay(owner, "a", 0, [&] { ran.push_back("a"); });
    performAfterDelay(owner, "b", 0, [&] { ran.push_back("b"); });
    performAfterDelay(owner, "late", 0.3, [&] { ran.push_back("late"); });
    EXPECT_TRUE(ran.empty()) << "never inside the caller";
    EXPECT_EQ(pendingPerforms(owner), 3u);
    RunLoop::main().runPending();
    EXPECT_EQ(ran, (std::vector<std::string>{"a", "b"}));
    // A zero-delay call made while one runs waits for the turn after.
    performAfterDelay(owner, "c", 0, [&] {
        ran.push_back("c");
        performAfterDelay(owner, "d", 0, [&] { ran.push_back("d"); });
    });
    RunLoop::main().runPending();
    EXPECT_EQ(ran.back(), "c");
    RunLoop::main().runPending();
    EXPECT_EQ(ran.back(), "d");
    RunLoop::main().advance(0.29);
    EXPECT_EQ(ran.back(), "d");
    RunLoop::main().advance(0.02);
    EXPECT_EQ(ran.back(), "late");
    EXPECT_EQ(pendingPerforms(owner), 0u);
}

TEST_F(DeferredCallTest, CancelledByOwnerAndKeyAndNeverRunForAGoneOwner)
{
    auto owner = std::make_shared<int>(0);
    auto other = std::make_shared<int>(0);
    auto gone = std::make_shared<int>(0);
    performAfterDelay(owner, "highlight", 0, [&] { ran.push_back("owner highlight"); });
    performAfterDelay(owner, "select", 0, [&] { ran.push_back("owner select"); });
    performAfterDelay(other, "highlight", 0, [&] { ran.push_back("other highlight"); });
    performAfterDelay(gone, "x", 0.5, [&] { ran.push_back("gone"); });
    cancelPerforms(owner, "highlight");
    EXPECT_EQ(pendingPerforms(owner, "highlight"), 0u);
    EXPECT_EQ(pendingPerforms(owner, "select"), 1u);
    gone.reset();
    RunLoop::main().advance(1);
    EXPECT_EQ(ran, (std::vector<std::string>{"owner select", "other highlight"}));

    ran.clear();
    performAfterDelay(owner, "a", 0.1, [&] { ran.push_back("a"); });
    performAfterDelay(owner, "b", 0.2, [&] { ran.push_back("b"); });
    performAfterDelay(other, "a", 0.1, [&] { ran.push_back("other a"); });
    cancelPerforms(owner);
    RunLoop::main().advance(1);
    EXPECT_EQ(ran, (std::vector<std::string>{"other a"}));
}

} // namespace
