#include "Platform/Base/OperationQueue.h"
#include "Platform/Base/RunLoop.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

using namespace base;

namespace {

// Notes its name, its thread and whether another operation was running at the same time.
struct Journal {
    std::vector<std::string> order;
    int running = 0;
    bool overlapped = false;
    bool offMain = false;

    std::shared_ptr<BlockOperation> op(const std::string& name, int priority = Operation::QueuePriorityNormal,
                                       std::function<void()> extra = {})
    {
        auto op = BlockOperation::create([this, name, extra] {
            offMain |= !RunLoop::isMainThread();
            overlapped |= ++running > 1;
            order.push_back(name);
            if (extra)
                extra();
            --running;
        });
        op->setQueuePriority(priority);
        return op;
    }
};

bool finish(const std::vector<std::shared_ptr<Operation>>& ops)
{
    return RunLoop::main().runUntil([&] {
        for (auto& op : ops)
            if (!op->isFinished())
                return false;
        return true;
    }, 5);
}

} // namespace

TEST(MainOperationQueue, ChoosesByPriorityWhenTheLoopGetsThereOneTaskAtATime)
{
    auto& queue = OperationQueue::mainQueue();
    Journal journal;
    auto low = journal.op("very low", Operation::QueuePriorityVeryLow);
    auto normal = journal.op("normal");
    auto high = journal.op("very high", Operation::QueuePriorityVeryHigh);
    auto fromThread = journal.op("from a thread", Operation::QueuePriorityLow);
    EXPECT_TRUE(low->isReady());
    queue.addOperation(low);
    queue.addOperation(normal);
    queue.addOperation(high);
    std::thread([&] { queue.addOperation(fromThread); }).join();
    RunLoop::main().post([&] { journal.order.push_back("a loop task"); });
    EXPECT_FALSE(low->isExecuting());
    EXPECT_FALSE(low->isFinished());

    ASSERT_TRUE(finish({low, normal, high, fromThread}));
    // The first turn was posted with the very low one, yet took the best then waiting; the
    // rest follow the loop task posted meanwhile, one turn each.
    EXPECT_EQ(journal.order,
              (std::vector<std::string>{"very high", "a loop task", "normal", "from a thread", "very low"}));
    EXPECT_FALSE(journal.overlapped);
    EXPECT_FALSE(journal.offMain);
    EXPECT_EQ(queue.operationCount(), 0u);
}

TEST(MainOperationQueue, CancelledWhileWaitingNeverRunsButARunningOneCompletes)
{
    auto& queue = OperationQueue::mainQueue();
    Journal journal;
    auto waiting = journal.op("waiting");
    bool executingInside = false;
    auto running = journal.op("running", Operation::QueuePriorityHigh, [&] {
        executingInside = queue.operations().front()->isExecuting();
        queue.cancelAllOperations();
        journal.order.push_back("running goes on");
    });
    auto dropped = journal.op("dropped");
    queue.addOperation(running);
    queue.addOperation(waiting);
    queue.addOperation(dropped);
    dropped->cancel();

    ASSERT_TRUE(finish({running, waiting, dropped}));
    EXPECT_EQ(journal.order, (std::vector<std::string>{"running", "running goes on"}));
    EXPECT_TRUE(executingInside);
    EXPECT_TRUE(waiting->isCancelled());
    EXPECT_TRUE(dropped->isCancelled());
    EXPECT_FALSE(dropped->isExecuting());
}
