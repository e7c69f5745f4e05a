#pragma once
#include "Platform/Base/OperationQueue.h"

#include <cstdint>
#include <memory>
#include <mutex>
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

    // Renders start no more while a token is held (one already drawing goes on), so that the
    // page on screen is drawn first; loads from disk go on. Dropping the token lets them go.
    std::shared_ptr<void> holdRenders();
    bool rendersHeld() const;

    base::OperationQueue& loadQueue() { return m_load; }
    base::OperationQueue& workQueue() { return m_work; }
    // Blocks until both queues are idle and their pictures written (tests, benchmarks); every
    // hold on renders is let go first, or they would never be idle.
    void waitUntilIdle();
    // Takes nothing more: drops what waits, lets the running operations end, writes what was
    // drawn and joins every thread. Answers how many operations were dropped.
    size_t stop();

private:
    PdfThumbQueue();
    void releaseHold(uint64_t generation);
    void releaseAllHolds();
    void updateSuspension(bool cancelling);

    base::OperationQueue m_load; // "PdfThumbLoadQueue"
    base::OperationQueue m_work; // "PdfThumbWorkQueue"
    mutable std::mutex m_holdMutex;
    int m_holds = 0;
    uint64_t m_holdGeneration = 0; // tokens of an earlier generation were let go all at once
};
