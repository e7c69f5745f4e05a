#include "tests/App/AppWindowTestSupport.h"

#include "Common/ImageLoadOperation.h"
#include "Common/ImageLoadQueueManager.h"
#include "Platform/Base/OperationQueue.h"
#include "Platform/UI/ImageView.h"

#include <thread>

namespace {

using apptest::AppWindowTest;

class ImageDisplayQueueTest : public AppWindowTest {
protected:
    static gfx::Image picture(gfx::Size size)
    {
        auto context = gfx::Context::createBitmap(size, 1);
        context->setFillColor(gfx::Color::blue());
        context->fillRect({{0, 0}, size});
        return context->makeImage();
    }
    // A hidden image view on screen, as a grid cell leaves it before the read.
    std::shared_ptr<ui::ImageView> imageView(double x)
    {
        auto view = ui::View::make<ui::ImageView>(gfx::Rect(x, 100, 100, 100));
        view->setAlpha(0);
        window->addSubview(view);
        return view;
    }
    static void queue(const std::shared_ptr<ImageLoadOperation>& op, bool unique = false)
    {
        ImageLoadQueueManager::sharedInstance()->loadImageWithOperationUnique(op, unique);
    }
    // Runs what the loop has now, without moving the clock.
    static void drain()
    {
        while (base::RunLoop::main().runPending()) {
        }
    }
};

TEST_F(ImageDisplayQueueTest, ViewsOnScreenGetTheirPicturesFittedAndShownDetachedOnesNot)
{
    auto small = imageView(0), large = imageView(200), detached = imageView(400);
    auto smallOp = std::make_shared<ImageLoadOperation>(picture({40, 30}), small, true);
    auto largeOp = std::make_shared<ImageLoadOperation>(picture({300, 100}), large, false);
    auto detachedOp = std::make_shared<ImageLoadOperation>(picture({40, 30}), detached, false);
    EXPECT_EQ(smallOp->queuePriority(), base::Operation::QueuePriorityVeryLow);
    for (auto& op : {smallOp, largeOp, detachedOp})
        queue(op);
    detached->removeFromSuperview(); // the cell was reused before the loop got there
    EXPECT_TRUE(small->image().isNull());

    drain();
    double start = now();
    EXPECT_TRUE(detachedOp->isFinished());
    EXPECT_TRUE(detached->image().isNull());
    EXPECT_EQ(detached->alpha(), 0);

    EXPECT_EQ(small->image().size(), (gfx::Size{40, 30}));
    EXPECT_EQ(small->contentMode(), ui::ContentMode::Center);
    EXPECT_EQ(large->image().size(), (gfx::Size{300, 100}));
    EXPECT_EQ(large->contentMode(), ui::ContentMode::ScaleAspectFit);
    // Without the fade the view shows at once; with it, the model is there at once and the
    // screen follows over 0.2 s.
    EXPECT_EQ(large->presentation().alpha, 1);
    EXPECT_EQ(small->alpha(), 1);
    EXPECT_LT(small->presentation().alpha, 0.1);
    advanceTo(start, 0.1);
    EXPECT_NEAR(small->presentation().alpha, 0.5, 0.1);
    advanceTo(start, 0.2);
    EXPECT_EQ(small->presentation().alpha, 1);
}

TEST_F(ImageDisplayQueueTest, DisplaysWaitForOrdinaryWorkAndAUniqueOneDropsTheWaitingOnes)
{
    auto first = imageView(0), second = imageView(200), newest = imageView(400);
    auto firstOp = std::make_shared<ImageLoadOperation>(picture({20, 20}), first, false);
    auto secondOp = std::make_shared<ImageLoadOperation>(picture({20, 20}), second, false);
    auto newestOp = std::make_shared<ImageLoadOperation>(picture({20, 20}), newest, false);
    std::vector<std::string> order;
    bool firstShownBeforeOrdinaryWork = true;
    auto& mainQueue = base::OperationQueue::mainQueue();
    // The image viewer's jump: queued while other work runs, it drops the displays still waiting.
    auto running = base::BlockOperation::create([&] {
        firstShownBeforeOrdinaryWork = !first->image().isNull();
        queue(newestOp, true);
        order.push_back("ordinary work finished");
    });
    queue(firstOp);
    queue(secondOp);
    mainQueue.addOperation(running);
    newestOp->setCompletion([&] { order.push_back("newest shown"); });

    drain();
    EXPECT_FALSE(firstShownBeforeOrdinaryWork);
    EXPECT_EQ(order, (std::vector<std::string>{"ordinary work finished", "newest shown"}));
    EXPECT_FALSE(running->isCancelled());
    for (auto& dropped : {firstOp, secondOp}) {
        EXPECT_TRUE(dropped->isCancelled());
        EXPECT_TRUE(dropped->isFinished());
    }
    EXPECT_TRUE(first->image().isNull());
    EXPECT_TRUE(second->image().isNull());
    EXPECT_FALSE(newest->image().isNull());
    EXPECT_EQ(newest->alpha(), 1);
    EXPECT_EQ(mainQueue.operationCount(), 0u);
}

TEST_F(ImageDisplayQueueTest, OneManagerForEveryThreadOnTheMainQueue)
{
    std::shared_ptr<ImageLoadQueueManager> a, b;
    std::thread one([&] { a = ImageLoadQueueManager::sharedInstance(); });
    std::thread two([&] { b = ImageLoadQueueManager::sharedInstance(); });
    one.join();
    two.join();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, ImageLoadQueueManager::sharedInstance());
    EXPECT_EQ(&a->queue(), &base::OperationQueue::mainQueue());
}

} // namespace
