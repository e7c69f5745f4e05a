#pragma once
#include <memory>

namespace base {
class OperationQueue;
}
class ImageLoadOperation;

// The one queue of picture displays: the main operation queue.
class ImageLoadQueueManager {
public:
    // Made once, under a lock, and kept for the life of the process.
    static std::shared_ptr<ImageLoadQueueManager> sharedInstance();
    ImageLoadQueueManager(const ImageLoadQueueManager&) = delete;
    ImageLoadQueueManager& operator=(const ImageLoadQueueManager&) = delete;

    base::OperationQueue& queue() const { return m_queue; }
    // With `unique`, what still waits is cancelled first: only the newest display matters.
    void loadImageWithOperationUnique(const std::shared_ptr<ImageLoadOperation>& operation, bool unique);

private:
    ImageLoadQueueManager();
    base::OperationQueue& m_queue;
};
