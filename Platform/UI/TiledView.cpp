#include "Platform/UI/TiledView.h"

#include "Platform/Base/BackgroundWork.h"
#include "Platform/Base/OperationQueue.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Region.h"
#include "Platform/Graphics/Resample.h"
#include "Platform/UI/Window.h"

#include <algorithm>
#include <cmath>
#include <mutex>
#include <set>

namespace ui {

// What the worker threads share with the view: the callback, the tiles asked for, and
// whether the view still takes results.
struct TileSource {
    std::mutex mutex;
    TiledView::DrawCallback callback;
    bool detached = false;
    bool scheduled = false;
    int level = 0;
    double scale = 1; // of `level`
    std::vector<TiledView::TileKey> pending; // of `level`
    std::set<TiledView::TileKey> inFlight;
    gfx::Rect bounds;
    int tileSize = 1024;
    std::weak_ptr<View> owner;
};

namespace {

base::OperationQueue& tileQueue()
{
    // Never destroyed; stopped and joined when the application terminates.
    static base::OperationQueue* queue = [] {
        auto* made = new base::OperationQueue();
        made->setMaxConcurrentOperationCount(2);
        base::BackgroundWork::add("tile drawing", [made] { return made->shutDown(); });
        return made;
    }();
    return *queue;
}

using Rendered = std::vector<std::pair<TiledView::TileKey, gfx::SurfaceRef>>;

double levelScale(int level)
{
    return std::ldexp(1.0, level);
}

gfx::Rect tileRect(const TiledView::TileKey& key, int tileSize, double scale)
{
    double side = tileSize / scale;
    return gfx::Rect(key.column * side, key.row * side, side, side);
}

const cairo_user_data_key_t kPassKey{};

void releasePass(void* pass)
{
    cairo_surface_destroy(static_cast<cairo_surface_t*>(pass));
}

// When a pass's tiles fill its whole rectangle, each tile is a view of its part of the pass's
// pixels (holding the pass), not a copy: the same pixels without a second write of them all.
// Otherwise the pass would outlive its tiles with parts no tile uses, so they are copied.
bool shareTiles(cairo_surface_t* whole, const std::vector<TiledView::TileKey>& pass, int minCol, int maxCol,
                int firstRow, int lastRow, int tileSize, Rendered& out)
{
    int columns = maxCol - minCol + 1, rows = lastRow - firstRow + 1;
    if (int(pass.size()) != columns * rows || cairo_image_surface_get_format(whole) != CAIRO_FORMAT_ARGB32 ||
        cairo_image_surface_get_width(whole) < columns * tileSize ||
        cairo_image_surface_get_height(whole) < rows * tileSize)
        return false;
    unsigned char* data = cairo_image_surface_get_data(whole);
    int stride = cairo_image_surface_get_stride(whole);
    Rendered shared;
    for (const auto& key : pass) {
        size_t x = size_t(key.column - minCol) * size_t(tileSize), y = size_t(key.row - firstRow) * size_t(tileSize);
        gfx::SurfaceRef tile(cairo_image_surface_create_for_data(data + y * size_t(stride) + x * 4,
                                                                 CAIRO_FORMAT_ARGB32, tileSize, tileSize, stride));
        if (cairo_surface_status(tile.get()) != CAIRO_STATUS_SUCCESS)
            return false;
        cairo_surface_set_user_data(tile.get(), &kPassKey, cairo_surface_reference(whole), releasePass);
        shared.emplace_back(key, std::move(tile));
    }
    out.insert(out.end(), std::make_move_iterator(shared.begin()), std::make_move_iterator(shared.end()));
    return true;
}

// Draws the tiles of one level in passes over their union (a page holding one large picture
// costs its whole decoding per pass, not per tile), then cuts the passes into tiles.
Rendered renderTiles(const TiledView::DrawCallback& callback, const std::vector<TiledView::TileKey>& keys,
                     double scale, int tileSize, const gfx::Rect& bounds, const std::function<bool()>& stillWanted)
{
    Rendered out;
    if (keys.empty() || !callback)
        return out;
    // Rows of tiles, as many per pass as keep a pass within 64 million pixels.
    std::map<int, std::vector<TiledView::TileKey>> rows;
    for (const auto& key : keys)
        rows[key.row].push_back(key);
    const double maxPixels = 64.0 * 1024 * 1024;
    auto it = rows.begin();
    while (it != rows.end()) {
        std::vector<TiledView::TileKey> pass;
        int minCol = INT32_MAX, maxCol = INT32_MIN, firstRow = it->first, lastRow = it->first;
        while (it != rows.end()) {
            int lo = minCol, hi = maxCol;
            for (const auto& key : it->second) {
                lo = std::min(lo, key.column);
                hi = std::max(hi, key.column);
            }
            double pixels = double(hi - lo + 1) * (it->first - firstRow + 1) * tileSize * double(tileSize);
            if (!pass.empty() && pixels > maxPixels)
                break;
            minCol = lo;
            maxCol = hi;
            lastRow = it->first;
            pass.insert(pass.end(), it->second.begin(), it->second.end());
            ++it;
        }
        if (!stillWanted())
            return {};
        int level = pass.front().level;
        gfx::Rect area = tileRect({level, minCol, firstRow}, tileSize, scale)
                             .united(tileRect({level, maxCol, lastRow}, tileSize, scale));
        gfx::Rect drawn = area.intersection(bounds);
        if (drawn.isNull() || drawn.isEmpty())
            continue;
        int width = (maxCol - minCol + 1) * tileSize, height = (lastRow - firstRow + 1) * tileSize;
        auto context = gfx::Context::createBitmap(gfx::Size{width / scale, height / scale}, scale);
        if (!context)
            continue;
        context->translate(-area.x(), -area.y());
        context->clipToRect(drawn);
        callback(*context, drawn);
        cairo_surface_t* whole = cairo_get_target(context->cairo());
        cairo_surface_flush(whole);
        if (pass.size() == 1) {
            // A pass of one tile is that tile: no copy.
            gfx::SurfaceRef tile(cairo_surface_reference(whole));
            cairo_surface_set_device_scale(tile.get(), 1, 1);
            out.emplace_back(pass.front(), std::move(tile));
            continue;
        }
        if (shareTiles(whole, pass, minCol, maxCol, firstRow, lastRow, tileSize, out))
            continue;
        for (const auto& key : pass) {
            gfx::SurfaceRef tile(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, tileSize, tileSize));
            cairo_t* cr = cairo_create(tile.get());
            cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
            // The pass surface carries its device scale; offsets here are in its points.
            cairo_scale(cr, scale, scale);
            gfx::Rect r = tileRect(key, tileSize, scale);
            cairo_set_source_surface(cr, whole, area.x() - r.x(), area.y() - r.y());
            cairo_paint(cr);
            cairo_destroy(cr);
            out.emplace_back(key, std::move(tile));
        }
    }
    return out;
}

// One tile of `scale` pixels a point over its rectangle, cut to the view's bounds.
void paintTile(cairo_t* cr, const gfx::Rect& r, const gfx::Rect& bounds, double scale, cairo_surface_t* surface)
{
    cairo_save(cr);
    gfx::Rect shown = r.intersection(bounds);
    // On whole device pixels: where tiles meet off the grid, an edge pixel partly covered by
    // each would let what lies beneath show through as a faint line.
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_rectangle(cr, shown.x(), shown.y(), shown.width(), shown.height());
    cairo_clip(cr);
    cairo_translate(cr, r.x(), r.y());
    cairo_scale(cr, 1 / scale, 1 / scale);
    cairo_set_source_surface(cr, surface, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    // Edges repeat their own pixels rather than fading into the next tile's seam.
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_paint(cr);
    cairo_restore(cr);
}

} // namespace

TiledView::TiledView(const gfx::Rect& frame)
    : View(frame)
    , m_source(std::make_shared<TileSource>())
{
}

TiledView::~TiledView()
{
    std::lock_guard lock(m_source->mutex);
    m_source->detached = true;
    m_source->pending.clear();
}

void TiledView::setDrawCallback(DrawCallback callback)
{
    std::lock_guard lock(m_source->mutex);
    m_source->callback = std::move(callback);
}

int TiledView::tileSizeForWindow(double scale, gfx::Size size)
{
    return std::max(size.width, size.height) * scale < 512 ? 512 : 1024;
}

int TiledView::biasForScale(double scale)
{
    // One magnified level on a dense screen, three on a plain one, counted from the screen's
    // own pixels: levels here are pixels a point, so a screen of two pixels a point adds one.
    int magnified = scale > 1.0 ? 1 : 3;
    return magnified + (scale > 1.0 ? int(std::ceil(std::log2(scale) - 1e-9)) : 0);
}

void TiledView::detach()
{
    std::lock_guard lock(m_source->mutex);
    m_source->detached = true;
    m_source->pending.clear();
}

bool TiledView::isDetached() const
{
    std::lock_guard lock(m_source->mutex);
    return m_source->detached;
}

void TiledView::willMoveToWindow(Window* newWindow)
{
    if (!newWindow) {
        // Off screen nothing is due; what is already drawn may be shown again.
        std::lock_guard lock(m_source->mutex);
        m_source->pending.clear();
    }
}

int TiledView::levelFor(double pixelScale) const
{
    int lowest = m_bias - m_levels + 1;
    int chosen = m_bias;
    for (int level = lowest; level <= m_bias; ++level)
        if (levelScale(level) + 1e-9 >= pixelScale) {
            chosen = level;
            break;
        }
    // The fitting level serves when no power of two lies between it and the need.
    if (m_fitScale > 0 && pixelScale <= m_fitScale * (1 + 1e-9) && m_fitScale < levelScale(chosen))
        return kFitLevel;
    return chosen;
}

double TiledView::scaleOfLevel(int level) const
{
    return level == kFitLevel ? m_fitScale : levelScale(level);
}

void TiledView::setFitLevelScale(double pixelScale)
{
    if (!(pixelScale > 0))
        pixelScale = 0;
    if (std::abs(pixelScale - m_fitScale) < 1e-12)
        return;
    m_fitScale = pixelScale;
    // Tiles of the old fitting scale no longer line up.
    std::erase_if(m_tiles, [](const auto& entry) { return entry.first.level == kFitLevel; });
    std::lock_guard lock(m_source->mutex);
    if (m_source->level == kFitLevel)
        m_source->pending.clear();
}

gfx::Rect TiledView::rectOfTile(const TileKey& key) const
{
    return tileRect(key, m_tileSize, scaleOfLevel(key.level));
}

std::vector<TiledView::TileKey> TiledView::tilesCovering(const gfx::Rect& visible, int level) const
{
    std::vector<TileKey> keys;
    gfx::Rect area = visible.intersection(bounds());
    if (area.isNull() || area.isEmpty())
        return keys;
    double side = m_tileSize / scaleOfLevel(level);
    int c0 = int(std::floor(area.minX() / side)), c1 = int(std::ceil(area.maxX() / side)) - 1;
    int r0 = int(std::floor(area.minY() / side)), r1 = int(std::ceil(area.maxY() / side)) - 1;
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c)
            keys.push_back({level, c, r});
    return keys;
}

bool TiledView::visibleRectAndScale(gfx::Rect& visible, double& pixelScale) const
{
    Window* w = window();
    if (!w)
        return false;
    visible = bounds();
    // Cut by every clipping ancestor and by the window itself.
    for (const View* v = this; v; v = v->superview()) {
        if (v != this && v->clipsToBounds())
            visible = visible.intersection(convertRectFromView(v->bounds(), v));
        if (!v->superview())
            visible = visible.intersection(convertRectFromView(v->bounds(), v));
        if (visible.isNull() || visible.isEmpty())
            return false;
    }
    return pixelScaleInWindow(pixelScale);
}

bool TiledView::pixelScaleInWindow(double& pixelScale) const
{
    Window* w = window();
    if (!w)
        return false;
    gfx::Rect unit = convertRectToView(gfx::Rect(0, 0, 100, 0), nullptr);
    pixelScale = w->scale() * unit.width() / 100.0;
    return pixelScale > 0;
}

void TiledView::drawRect(gfx::Context& context, const gfx::Rect&)
{
    double x1, y1, x2, y2;
    cairo_clip_extents(context.cairo(), &x1, &y1, &x2, &y2);
    gfx::Rect clip(x1, y1, x2 - x1, y2 - y1);
    gfx::AffineTransform ctm = context.currentTransform();
    double pixelScale = context.scale() * std::hypot(ctm.a, ctm.b);
    gfx::Rect visible = clip.intersection(bounds());
    if (visible.isNull() || visible.isEmpty() || !(pixelScale > 0))
        return;
    int level = levelFor(pixelScale);
    cairo_t* cr = context.cairo();
    auto paint = [&](const TileKey& key, Tile& tile) {
        tile.lastUsed = ++m_useClock;
        paintTile(cr, rectOfTile(key), bounds(), scaleOfLevel(key.level), tile.surface.get());
    };
    // Coarser tiles of other levels stand in until the due ones arrive, the finest on top.
    double needed = scaleOfLevel(level);
    std::vector<std::pair<double, TileKey>> standIns;
    for (auto& [key, tile] : m_tiles)
        if (scaleOfLevel(key.level) < needed && gfx::overlaps(rectOfTile(key), visible))
            standIns.emplace_back(scaleOfLevel(key.level), key);
    std::stable_sort(standIns.begin(), standIns.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [unused, key] : standIns)
        paint(key, m_tiles[key]);
    std::vector<TileKey> due;
    for (const auto& key : tilesCovering(visible, level)) {
        auto found = m_tiles.find(key);
        if (found != m_tiles.end())
            paint(key, found->second);
        else
            due.push_back(key);
    }
    if (!due.empty())
        request(due, level);
    gfx::Rect onScreen;
    double unused = 0;
    if (visibleRectAndScale(onScreen, unused))
        trim(onScreen, level);
}

void TiledView::request(const std::vector<TileKey>& due, int level)
{
    std::shared_ptr<TileSource> source = m_source;
    std::lock_guard lock(source->mutex);
    if (source->detached || !source->callback)
        return;
    double scale = scaleOfLevel(level);
    if (source->level != level || source->scale != scale)
        source->pending.clear();
    source->level = level;
    source->scale = scale;
    source->bounds = bounds();
    source->tileSize = m_tileSize;
    source->owner = std::static_pointer_cast<View>(const_cast<TiledView*>(this)->shared_from_this());
    for (const auto& key : due)
        if (!source->inFlight.count(key) && std::find(source->pending.begin(), source->pending.end(), key) == source->pending.end())
            source->pending.push_back(key);
    if (source->scheduled || source->pending.empty())
        return;
    source->scheduled = true;
    // One job at a time per view: it takes whatever is pending when it starts.
    struct Runner {
        static void run(std::shared_ptr<TileSource> source)
        {
            std::vector<TileKey> keys;
            DrawCallback callback;
            int tileSize;
            double scale;
            gfx::Rect bounds;
            {
                std::lock_guard lock(source->mutex);
                if (source->detached) {
                    source->scheduled = false;
                    return;
                }
                keys.swap(source->pending);
                for (const auto& key : keys)
                    source->inFlight.insert(key);
                callback = source->callback;
                tileSize = source->tileSize;
                scale = source->scale;
                bounds = source->bounds;
            }
            Rendered tiles = renderTiles(callback, keys, scale, tileSize, bounds, [&] {
                std::lock_guard lock(source->mutex);
                return !source->detached;
            });
            std::weak_ptr<View> owner;
            bool again = false;
            {
                std::lock_guard lock(source->mutex);
                owner = source->owner;
                again = !source->detached && !source->pending.empty();
                source->scheduled = again;
            }
            auto shared = std::make_shared<Rendered>(std::move(tiles));
            base::RunLoop::main().post([owner, source, shared, keys, scale] {
                {
                    std::lock_guard lock(source->mutex);
                    for (const auto& key : keys)
                        source->inFlight.erase(key);
                    if (source->detached)
                        return;
                }
                if (auto view = std::static_pointer_cast<TiledView>(owner.lock()))
                    view->accept(*shared, scale);
            });
            if (again)
                tileQueue().addOperation([source] { run(source); });
        }
    };
    tileQueue().addOperation([source] { Runner::run(source); });
}

void TiledView::accept(const std::vector<std::pair<TileKey, gfx::SurfaceRef>>& tiles, double scale)
{
    for (const auto& [key, surface] : tiles) {
        if (key.level == kFitLevel && std::abs(scale - m_fitScale) > 1e-12)
            continue; // drawn for a fitting scale since changed
        m_tiles[key] = Tile{surface, ++m_useClock};
        ++m_drawnByLevel[key.level];
        setNeedsDisplayInRect(rectOfTile(key).intersection(bounds()));
    }
    gfx::Rect onScreen;
    double pixelScale = 0;
    if (visibleRectAndScale(onScreen, pixelScale))
        trim(onScreen, levelFor(pixelScale));
    if (!tiles.empty() && visibleTilesComplete())
        visibleTilesDidComplete();
    else if (!tiles.empty() && m_aheadLevel && tilesAheadComplete()) {
        m_aheadLevel.reset();
        tilesAheadDidComplete();
    }
}

bool TiledView::levelComplete(const gfx::Rect& area, int level) const
{
    auto keys = tilesCovering(area, level);
    return !keys.empty() && std::all_of(keys.begin(), keys.end(), [&](const TileKey& k) { return m_tiles.count(k) > 0; });
}

bool TiledView::visibleTilesComplete() const
{
    gfx::Rect visible;
    double pixelScale = 0;
    if (!visibleRectAndScale(visible, pixelScale))
        return false;
    return levelComplete(visible, levelFor(pixelScale));
}

void TiledView::drawAhead()
{
    double pixelScale = 0;
    if (isDetached() || !pixelScaleInWindow(pixelScale))
        return;
    int level = levelFor(pixelScale);
    std::vector<TileKey> due;
    for (const auto& key : tilesCovering(bounds(), level))
        if (!m_tiles.count(key))
            due.push_back(key);
    if (due.empty())
        return;
    m_aheadLevel = level;
    request(due, level);
}

bool TiledView::hasTilesDue() const
{
    std::lock_guard lock(m_source->mutex);
    return !m_source->detached && (m_source->scheduled || !m_source->pending.empty() || !m_source->inFlight.empty());
}

bool TiledView::tilesAheadComplete() const
{
    double pixelScale = 0;
    return pixelScaleInWindow(pixelScale) && levelComplete(bounds(), levelFor(pixelScale));
}

bool TiledView::drawFromKeptTiles(gfx::Context& context) const
{
    std::set<int> levels;
    for (const auto& [key, tile] : m_tiles)
        levels.insert(key.level);
    // The fitting level's key is the lowest: it comes first, then the coarsest other level.
    for (int level : levels) {
        auto keys = tilesCovering(bounds(), level);
        if (keys.empty() || !std::all_of(keys.begin(), keys.end(), [&](const TileKey& k) { return m_tiles.count(k) > 0; }))
            continue;
        if (drawReducedFromTiles(context, level, keys))
            return true;
        for (const auto& key : keys)
            paintTile(context.cairo(), rectOfTile(key), bounds(), scaleOfLevel(level), m_tiles.at(key).surface.get());
        return true;
    }
    return false;
}

bool TiledView::drawReducedFromTiles(gfx::Context& context, int level, const std::vector<TileKey>& keys) const
{
    // Only where the view lands on whole device pixels, no larger than its tiles: the tiles are
    // then laid side by side and averaged down, far cheaper than a filtered resample of each.
    cairo_t* cr = context.cairo();
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    // The bitmap's own scale and offset come on top of the transform: pixels are what count.
    double sx = 1, sy = 1, ox = 0, oy = 0;
    cairo_surface_get_device_scale(cairo_get_target(cr), &sx, &sy);
    cairo_surface_get_device_offset(cairo_get_target(cr), &ox, &oy);
    gfx::Rect b = bounds();
    double x0 = (m.xx * b.x() + m.x0) * sx + ox, y0 = (m.yy * b.y() + m.y0) * sy + oy;
    double width = m.xx * b.width() * sx, height = m.yy * b.height() * sy;
    auto whole = [](double v) { return std::abs(v - std::round(v)) < 1e-6; };
    double scale = scaleOfLevel(level);
    double fromWidth = b.width() * scale, fromHeight = b.height() * scale;
    if (m.xy != 0 || m.yx != 0 || !whole(x0) || !whole(y0) || !whole(width) || !whole(height)
        || std::round(width) < 1 || std::round(height) < 1 || std::round(width) > fromWidth
        || std::round(height) > fromHeight || b.x() != 0 || b.y() != 0)
        return false;
    // One tile holds the whole view as it is; several are laid side by side first.
    cairo_surface_t* from = keys.size() == 1 ? m_tiles.at(keys.front()).surface.get() : nullptr;
    gfx::SurfaceRef laid;
    if (!from) {
        laid = gfx::SurfaceRef(
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, int(std::ceil(fromWidth)), int(std::ceil(fromHeight))));
        if (cairo_surface_status(laid.get()) != CAIRO_STATUS_SUCCESS)
            return false;
        from = laid.get();
        gfx::CairoContextRef lay(cairo_create(laid.get()));
        cairo_set_operator(lay.get(), CAIRO_OPERATOR_SOURCE);
        for (const auto& key : keys) {
            double x = double(key.column) * m_tileSize, y = double(key.row) * m_tileSize;
            cairo_set_source_surface(lay.get(), m_tiles.at(key).surface.get(), x, y);
            cairo_rectangle(lay.get(), x, y, m_tileSize, m_tileSize);
            cairo_fill(lay.get());
        }
        if (cairo_status(lay.get()) != CAIRO_STATUS_SUCCESS)
            return false;
    }
    gfx::SurfaceRef reduced =
        gfx::areaAveragedSurface(from, fromWidth, fromHeight, int(std::round(width)), int(std::round(height)));
    if (!reduced)
        return false;
    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_scale(cr, 1 / sx, 1 / sy);
    cairo_translate(cr, -ox, -oy);
    cairo_set_source_surface(cr, reduced.get(), std::round(x0), std::round(y0));
    cairo_paint(cr);
    cairo_restore(cr);
    return true;
}

void TiledView::drawVisibleTilesNow()
{
    gfx::Rect visible;
    double scale = 0;
    DrawCallback callback;
    {
        std::lock_guard lock(m_source->mutex);
        if (m_source->detached)
            return;
        callback = m_source->callback;
    }
    if (!callback || !visibleRectAndScale(visible, scale))
        return;
    int level = levelFor(scale);
    std::vector<TileKey> due;
    for (const auto& key : tilesCovering(visible, level))
        if (!m_tiles.count(key))
            due.push_back(key);
    double scaleOfDue = scaleOfLevel(level);
    accept(renderTiles(callback, due, scaleOfDue, m_tileSize, bounds(), [] { return true; }), scaleOfDue);
}

int TiledView::tilesDrawnAtScale(double scale) const
{
    int level = m_fitScale > 0 && std::abs(scale - m_fitScale) < 1e-9 ? kFitLevel : int(std::lround(std::log2(scale)));
    auto it = m_drawnByLevel.find(level);
    return it == m_drawnByLevel.end() ? 0 : it->second;
}

int TiledView::tilesDrawn() const
{
    int total = 0;
    for (const auto& [level, count] : m_drawnByLevel)
        total += count;
    return total;
}

size_t TiledView::keptTileBytes() const
{
    return m_tiles.size() * size_t(m_tileSize) * size_t(m_tileSize) * 4;
}

void TiledView::trim(const gfx::Rect& visible, int level)
{
    while (keptTileBytes() > kTileBudgetBytes) {
        // Other levels first, then tiles off screen; the oldest of them goes.
        auto victim = m_tiles.end();
        int victimRank = -1;
        for (auto it = m_tiles.begin(); it != m_tiles.end(); ++it) {
            bool shown = gfx::overlaps(rectOfTile(it->first), visible);
            int rank = it->first.level != level ? 2 : !shown ? 1 : 0;
            if (rank == 0)
                continue;
            if (rank > victimRank || (rank == victimRank && it->second.lastUsed < victim->second.lastUsed)) {
                victim = it;
                victimRank = rank;
            }
        }
        if (victim == m_tiles.end())
            return;
        m_tiles.erase(victim);
    }
}

} // namespace ui
