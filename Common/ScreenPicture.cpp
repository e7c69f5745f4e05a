#include "Common/ScreenPicture.h"

#include "Common/PublicFunction.h"
#include "Platform/Base/BackgroundWork.h"
#include "Platform/Base/OperationQueue.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Thread.h"

#include <atomic>

namespace {

std::atomic<int> g_pending{0};

base::OperationQueue& screenQueue()
{
    // Its own workers: background decodes that wait in the budget on the shared queue's
    // threads never hold a screen's picture back. Never destroyed; stopped at termination.
    static base::OperationQueue* queue = [] {
        auto* made = new base::OperationQueue();
        made->setMaxConcurrentOperationCount(2);
        // A scripted wait lets a screen's pictures arrive as it does background work.
        base::countWithBackgroundTasks(made);
        base::BackgroundWork::add("screen pictures", [made] { return made->shutDown(); });
        return made;
    }();
    return *queue;
}

} // namespace

namespace ScreenPicture {

gfx::Image decode(const std::optional<std::string>& path, gfx::Size points)
{
    if (!path || points.width <= 0 || points.height <= 0)
        return {};
    double factor = (PublicFunction::isRetinaDisplay() ? 2 : 1) * gfx::Image::scaleForPath(*path);
    return gfx::Image::fromFileFitting(*path, {points.width * factor, points.height * factor},
                                       gfx::DecodeBudget::Priority::Screen);
}

void load(std::optional<std::string> path, gfx::Size points, std::weak_ptr<const void> owner,
          std::function<void(gfx::Image)> done, Urgency urgency)
{
    loadWith([path = std::move(path), points] { return decode(path, points); }, std::move(owner), std::move(done),
             urgency);
}

void loadWith(std::function<gfx::Image()> decode, std::weak_ptr<const void> owner,
              std::function<void(gfx::Image)> done, Urgency urgency)
{
    ++g_pending;
    auto operation = base::BlockOperation::create([decode = std::move(decode), owner, done = std::move(done)]() mutable {
        // Only looked at here: a worker never holds (and so never frees) the owner.
        gfx::Image image = owner.expired() ? gfx::Image() : decode();
        base::RunLoop::main().post([image = std::move(image), owner, done = std::move(done)] {
            --g_pending;
            if (!owner.expired())
                done(image);
        });
    });
    if (urgency == Urgency::Urgent)
        operation->setQueuePriority(base::Operation::QueuePriorityHigh);
    screenQueue().addOperation(std::move(operation));
}

int pending()
{
    return g_pending.load();
}

} // namespace ScreenPicture
