#include "Classes/Library/Reader/PdfThumbCache.h"

#include "Classes/Library/Reader/PdfThumbOperation.h"
#include "Classes/Library/Reader/PdfThumbQueue.h"
#include "Classes/Library/Reader/PdfThumbRequest.h"
#include "Classes/Library/Reader/PdfThumbView.h"
#include "Platform/Base/Date.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Paths.h"

PdfThumbCache& PdfThumbCache::sharedInstance()
{
    static PdfThumbCache cache;
    return cache;
}

PdfThumbCache::PdfThumbCache()
    : m_cache("PdfThumbCache", kCostLimit)
{
}

gfx::Image PdfThumbCache::thumbRequestPriority(const std::shared_ptr<PdfThumbRequest>& request, bool priority)
{
    std::lock_guard lock(m_cache.mutex());
    if (auto found = m_cache.objectForKey(request->cacheKey()))
        return *found;
    m_cache.setObject(request->cacheKey(), gfx::Image(), kPlaceholderCost);
    auto fetch = std::make_shared<PdfThumbFetch>(request);
    fetch->setQueuePriority(priority ? base::Operation::QueuePriorityNormal : base::Operation::QueuePriorityLow);
    if (auto view = request->thumbView())
        view->setOperation(fetch);
    PdfThumbQueue::sharedInstance().addLoadOperation(fetch);
    return gfx::Image();
}

void PdfThumbCache::setObjectForKey(const gfx::Image& image, const std::string& key)
{
    size_t cost = image ? size_t(image.size().width * image.size().height * 4) : 0;
    m_cache.setObject(key, image, cost);
}

gfx::Image PdfThumbCache::finishedImage(const std::string& key)
{
    std::lock_guard lock(m_cache.mutex());
    auto found = m_cache.objectForKey(key);
    return found ? *found : gfx::Image();
}

void PdfThumbCache::removeObjectForKey(const std::string& key)
{
    m_cache.removeObjectForKey(key);
}

void PdfThumbCache::removeNullForKey(const std::string& key)
{
    m_cache.removeObjectForKeyIf(key, [](const gfx::Image& image) { return image.isNull(); });
}

void PdfThumbCache::removeAllObjects()
{
    m_cache.removeAllObjects();
}

std::string PdfThumbCache::thumbCachePathForGUID(const std::string& guid)
{
    return appCachesPath() + "/" + guid;
}

void PdfThumbCache::touchThumbCacheWithGUID(const std::string& guid)
{
    base::FileManager::setModificationDate(thumbCachePathForGUID(guid), base::Date::now());
}

std::string PdfThumbCache::appCachesPath()
{
    // Read from the home each time: tests move the home between cases.
    return base::Paths::libraryCaches();
}
