#pragma once
#include "Platform/Base/OperationQueue.h"

#include <memory>
#include <string>

// The two serial queues of the thumbnail machinery: loads from disk, then renders.
class PdfThumbQueue {
public:
    static PdfThumbQueue& sharedInstance();

    // Anything that is not a thumbnail operation is ignored.
    void addLoadOperation(const std::shared_ptr<base::Operation>& operation);
    void addWorkOperation(const std::shared_ptr<base::Operation>& operation);
    void cancelOperationsWithGUID(const std::string& guid);
    void cancelAllOperations();

    base::OperationQueue& loadQueue() { return m_load; }
    base::OperationQueue& workQueue() { return m_work; }
    // Blocks until both queues are idle and their pictures written (tests, benchmarks).
    void waitUntilIdle();
    // Takes nothing more: drops what waits, lets the running operations end, writes what was
    // drawn and joins every thread. Answers how many operations were dropped.
    size_t stop();

private:
    PdfThumbQueue();
    base::OperationQueue m_load; // "PdfThumbLoadQueue"
    base::OperationQueue m_work; // "PdfThumbWorkQueue"
};
