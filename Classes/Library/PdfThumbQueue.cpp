#include "Classes/Library/PdfThumbQueue.h"

#include "Classes/Library/PdfThumbOperation.h"

PdfThumbQueue& PdfThumbQueue::sharedInstance()
{
    static PdfThumbQueue queue;
    return queue;
}

PdfThumbQueue::PdfThumbQueue()
{
    m_load.setMaxConcurrentOperationCount(1);
    m_work.setMaxConcurrentOperationCount(1);
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
    m_work.setSuspended(true);
    for (auto* queue : {&m_load, &m_work})
        for (const auto& op : queue->operations())
            if (auto thumb = std::dynamic_pointer_cast<PdfThumbOperation>(op); thumb && thumb->guid() == guid)
                thumb->cancel();
    m_work.setSuspended(false);
    m_load.setSuspended(false);
}

void PdfThumbQueue::cancelAllOperations()
{
    m_load.cancelAllOperations();
    m_work.cancelAllOperations();
}

void PdfThumbQueue::waitUntilIdle()
{
    // A load may queue a render as it ends; wait until neither has work, then for the writes.
    while (m_load.operationCount() || m_work.operationCount()) {
        m_load.waitUntilAllOperationsAreFinished();
        m_work.waitUntilAllOperationsAreFinished();
    }
    PdfThumbWriter::sharedInstance().waitUntilIdle();
}
