#pragma once
#include "Platform/Base/MemoryCache.h"
#include "Platform/Graphics/Image.h"

#include <memory>
#include <string>

class PdfThumbRequest;

// Page pictures by cache key: a finished image, or a null image while one is being fetched.
// Misses start a load (from the PNG kept on disk, else a render) on the thumbnail queues.
class PdfThumbCache {
public:
    static PdfThumbCache& sharedInstance();

    // The image, the placeholder (a null image) while it is on its way, or a new placeholder
    // after queueing the load. Callers show only an image.
    gfx::Image thumbRequestPriority(const std::shared_ptr<PdfThumbRequest>& request, bool priority);
    // Cost: width x height x 4 of the image's point size (0 for none).
    void setObjectForKey(const gfx::Image& image, const std::string& key);
    void removeObjectForKey(const std::string& key);
    // The finished image held for the key; a null image for none or a placeholder.
    gfx::Image finishedImage(const std::string& key);
    // Only the placeholder goes, never a finished image.
    void removeNullForKey(const std::string& key);
    void removeAllObjects();
    // Whether the key is held (image or placeholder), for tests and the screens' checks.
    bool containsKey(const std::string& key) const { return m_cache.containsKey(key); }

    static std::string thumbCachePathForGUID(const std::string& guid);
    // Re-dates the document's thumbnail folder to now.
    static void touchThumbCacheWithGUID(const std::string& guid);
    static std::string appCachesPath();

    static constexpr size_t kCostLimit = 2097152;
    static constexpr size_t kPlaceholderCost = 2;

private:
    PdfThumbCache();
    base::MemoryCache<gfx::Image> m_cache;
};
