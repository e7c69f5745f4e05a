#include "Common/ImageLoadQueueManager.h"

#include "Common/ImageLoadOperation.h"
#include "Platform/Base/OperationQueue.h"

#include <mutex>

ImageLoadQueueManager::ImageLoadQueueManager() : m_queue(base::OperationQueue::mainQueue()) {}

std::shared_ptr<ImageLoadQueueManager> ImageLoadQueueManager::sharedInstance()
{
    static std::mutex lock;
    // Never destroyed: displays may still be queued while the process ends.
    static std::shared_ptr<ImageLoadQueueManager>* instance = nullptr;
    std::lock_guard guard(lock);
    if (!instance)
        instance = new std::shared_ptr<ImageLoadQueueManager>(new ImageLoadQueueManager());
    return *instance;
}

void ImageLoadQueueManager::loadImageWithOperationUnique(const std::shared_ptr<ImageLoadOperation>& operation,
                                                         bool unique)
{
    if (unique)
        for (auto& waiting : m_queue.operations())
            if (!waiting->isExecuting())
                waiting->cancel();
    m_queue.addOperation(operation);
}
