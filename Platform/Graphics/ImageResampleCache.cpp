// The resample cache behind Image::resampled: one list in recency order for all pictures, and
// on each source surface a token listing its copies, so a picture's copies leave with it.
#include "Platform/Graphics/Image.h"
#include "Platform/Graphics/Resample.h"

#include <algorithm>
#include <atomic>
#include <list>
#include <mutex>
#include <vector>

namespace gfx {

namespace {

struct Token;

struct Entry {
    Token* token = nullptr;
    int width = 0;
    int height = 0;
    Image::Filter filter = Image::Filter::Good;
    SurfaceRef surface;
    size_t bytes = 0;
};

using EntryList = std::list<Entry>;

struct Token {
    std::vector<EntryList::iterator> entries;
};

struct Cache {
    std::mutex mutex;
    EntryList recent; // most recently used first
    size_t bytes = 0;
    size_t limit = Image::kDefaultResampleCacheLimit;
    std::atomic<uint64_t> resamples{0};
};

Cache& cache()
{
    // Never destroyed: surfaces released during exit still reach it.
    static auto* c = new Cache();
    return *c;
}

const cairo_user_data_key_t kTokenKey{};

// Called with the cache locked.
void removeEntry(Cache& c, EntryList::iterator it)
{
    auto& list = it->token->entries;
    list.erase(std::remove(list.begin(), list.end(), it), list.end());
    c.bytes -= it->bytes;
    c.recent.erase(it);
}

void trimLocked(Cache& c)
{
    while (c.bytes > c.limit && !c.recent.empty())
        removeEntry(c, std::prev(c.recent.end()));
}

void sourceGone(void* data)
{
    auto* token = static_cast<Token*>(data);
    Cache& c = cache();
    {
        std::lock_guard lock(c.mutex);
        for (auto it : std::vector<EntryList::iterator>(token->entries))
            removeEntry(c, it);
    }
    delete token;
}

cairo_filter_t cairoFilter(Image::Filter filter)
{
    switch (filter) {
    case Image::Filter::Fast: return CAIRO_FILTER_FAST;
    case Image::Filter::Best: return CAIRO_FILTER_BEST;
    case Image::Filter::Good: break;
    }
    return CAIRO_FILTER_GOOD;
}

} // namespace

SurfaceRef Image::resampled(int width, int height, Filter filter) const
{
    if (isNull() || width < 1 || height < 1)
        return {};
    cairo_surface_t* source = surfaceNow().get();
    Cache& c = cache();
    {
        std::lock_guard lock(c.mutex);
        if (auto* token = static_cast<Token*>(cairo_surface_get_user_data(source, &kTokenKey))) {
            for (auto it : token->entries) {
                if (it->width == width && it->height == height && it->filter == filter) {
                    c.recent.splice(c.recent.begin(), c.recent, it);
                    return it->surface;
                }
            }
        }
    }
    SurfaceRef surface = resampledSurface(source, width, height, cairoFilter(filter));
    if (!surface)
        return {};
    c.resamples.fetch_add(1, std::memory_order_relaxed);
    size_t bytes = static_cast<size_t>(cairo_image_surface_get_stride(surface.get())) * static_cast<size_t>(height);
    std::lock_guard lock(c.mutex);
    if (bytes > c.limit)
        return surface; // larger than the whole cache: used once, not kept
    auto* token = static_cast<Token*>(cairo_surface_get_user_data(source, &kTokenKey));
    if (!token) {
        token = new Token();
        if (cairo_surface_set_user_data(source, &kTokenKey, token, sourceGone) != CAIRO_STATUS_SUCCESS) {
            delete token;
            return surface;
        }
    }
    // Another thread may have made the same copy meanwhile; keep one.
    for (auto it : token->entries)
        if (it->width == width && it->height == height && it->filter == filter)
            return it->surface;
    c.recent.push_front({token, width, height, filter, surface, bytes});
    token->entries.push_back(c.recent.begin());
    c.bytes += bytes;
    trimLocked(c);
    return surface;
}

void Image::setResampleCacheLimit(size_t bytes)
{
    Cache& c = cache();
    std::lock_guard lock(c.mutex);
    c.limit = bytes;
    trimLocked(c);
}

size_t Image::resampleCacheLimit()
{
    Cache& c = cache();
    std::lock_guard lock(c.mutex);
    return c.limit;
}

size_t Image::resampleCacheBytes()
{
    Cache& c = cache();
    std::lock_guard lock(c.mutex);
    return c.bytes;
}

void Image::clearResampleCache()
{
    Cache& c = cache();
    std::lock_guard lock(c.mutex);
    while (!c.recent.empty())
        removeEntry(c, c.recent.begin());
}

uint64_t Image::resampleCount()
{
    return cache().resamples.load(std::memory_order_relaxed);
}

} // namespace gfx
