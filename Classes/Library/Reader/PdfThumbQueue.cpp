#include "Classes/Library/Reader/PdfThumbQueue.h"

#include "Classes/Library/Reader/PdfThumbOperation.h"
#include "Platform/Base/BackgroundWork.h"
#include "Platform/Base/Log.h"

PdfThumbQueue& PdfThumbQueue::sharedInstance()
{
    // Never destroyed: stopped and joined when the application terminates.
    static auto* queue = new PdfThumbQueue();
    return *queue;
}

PdfThumbQueue::PdfThumbQueue()
{
    m_load.setMaxConcurrentOperationCount(1);
    m_work.setMaxConcurrentOperationCount(1);
    base::BackgroundWork::add("PdfThumbQueue", [this] { return stop(); });
}

size_t PdfThumbQueue::stop()
{
    releaseAllHolds();
    // Loads queue renders and renders queue writes: stopped in that order.
    size_t dropped = m_load.shutDown();
    dropped += m_work.shutDown();
    dropped += PdfThumbWriter::sharedInstance().stop();
    PdfThumbReleaseRenderDocument();
    return dropped;
}

void PdfThumbQueue::addLoadOperation(const std::shared_ptr<base::Operation>& operation)
{
    if (std::dynamic_pointer_cast<PdfThumbOperation>(operation))
        m_load.addOperation(operation);
}

void PdfThumbQueue::addWorkOperation(const std::shared_ptr<base::Operation>& operation)
{
    if (std::dynamic_pointer_cast<PdfThumbOperation>(operation))
        m_work.addOperation(operation);
}

void PdfThumbQueue::cancelOperationsWithGUID(const std::string& guid)
{
    m_load.setSuspended(true);
    updateSuspension(true);
    size_t cancelled = 0;
    for (auto* queue : {&m_load, &m_work})
        for (const auto& op : queue->operations())
            if (auto thumb = std::dynamic_pointer_cast<PdfThumbOperation>(op); thumb && thumb->guid() == guid) {
                cancelled += thumb->isCancelled() || thumb->isExecuting() ? 0 : 1;
                thumb->cancel();
            }
    if (cancelled)
        base::logf("PdfThumbQueue: %zu thumbnails of a closed document dropped", cancelled);
    updateSuspension(false);
    m_load.setSuspended(false);
    // The closed document's file is not held open for a render that will not come.
    PdfThumbReleaseRenderDocument();
}

void PdfThumbQueue::cancelAllOperations()
{
    m_load.cancelAllOperations();
    m_work.cancelAllOperations();
}

std::shared_ptr<void> PdfThumbQueue::holdRenders()
{
    uint64_t generation = 0;
    {
        std::lock_guard lock(m_holdMutex);
        ++m_holds;
        generation = m_holdGeneration;
    }
    updateSuspension(false);
    // Not null, so that a holder can test it.
    return std::shared_ptr<void>(static_cast<void*>(this), [this, generation](void*) { releaseHold(generation); });
}

bool PdfThumbQueue::rendersHeld() const
{
    std::lock_guard lock(m_holdMutex);
    return m_holds > 0;
}

void PdfThumbQueue::releaseHold(uint64_t generation)
{
    {
        std::lock_guard lock(m_holdMutex);
        if (generation != m_holdGeneration || m_holds == 0)
            return;
        --m_holds;
    }
    updateSuspension(false);
}

void PdfThumbQueue::updateSuspension(bool cancelling)
{
    std::lock_guard lock(m_holdMutex);
    m_work.setSuspended(cancelling || m_holds > 0);
}

void PdfThumbQueue::releaseAllHolds()
{
    {
        std::lock_guard lock(m_holdMutex);
        m_holds = 0;
        ++m_holdGeneration;
    }
    updateSuspension(false);
}

void PdfThumbQueue::waitUntilIdle()
{
    releaseAllHolds();
    // A load may queue a render as it ends; wait until neither has work, then for the writes.
    while (m_load.operationCount() || m_work.operationCount()) {
        m_load.waitUntilAllOperationsAreFinished();
        m_work.waitUntilAllOperationsAreFinished();
    }
    PdfThumbWriter::sharedInstance().waitUntilIdle();
}
