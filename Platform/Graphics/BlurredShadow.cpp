#include "Platform/Graphics/Context.h"

#include <cairo.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <list>
#include <utility>
#include <vector>

namespace gfx {

namespace {

// One box-blur pass of the given half width along rows (stride 1) or columns.
void boxPass(std::vector<float>& data, int width, int height, int half, bool rows)
{
    if (half <= 0)
        return;
    int lines = rows ? height : width;
    int length = rows ? width : height;
    std::vector<float> line(static_cast<size_t>(length));
    double window = 2.0 * half + 1;
    for (int l = 0; l < lines; ++l) {
        auto at = [&](int i) -> float& {
            return rows ? data[static_cast<size_t>(l) * width + i] : data[static_cast<size_t>(i) * width + l];
        };
        for (int i = 0; i < length; ++i)
            line[static_cast<size_t>(i)] = at(i);
        // Running sum over [i - half, i + half], zero outside.
        double sum = 0;
        for (int i = 0; i <= std::min(half, length - 1); ++i)
            sum += line[static_cast<size_t>(i)];
        for (int i = 0; i < length; ++i) {
            at(i) = static_cast<float>(sum / window);
            int add = i + half + 1, drop = i - half;
            if (add < length)
                sum += line[static_cast<size_t>(add)];
            if (drop >= 0)
                sum -= line[static_cast<size_t>(drop)];
        }
    }
}

// The shape's coverage, drawn in device pixels at (left, top) and blurred by three box passes
// each way.
cairo_surface_t* blurredMask(const Rect& rect, double radius, const cairo_matrix_t& m, int left, int top, int width,
                             int height, int half)
{
    double x1 = rect.minX(), y1 = rect.minY(), x2 = rect.maxX(), y2 = rect.maxY();
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
    cairo_t* mc = cairo_create(mask);
    cairo_translate(mc, -left, -top);
    cairo_transform(mc, &m);
    {
        double r = std::clamp(radius, 0.0, std::min(rect.width(), rect.height()) / 2);
        if (r <= 0) {
            cairo_rectangle(mc, x1, y1, rect.width(), rect.height());
        } else {
            cairo_new_sub_path(mc);
            cairo_arc(mc, x2 - r, y1 + r, r, -M_PI / 2, 0);
            cairo_arc(mc, x2 - r, y2 - r, r, 0, M_PI / 2);
            cairo_arc(mc, x1 + r, y2 - r, r, M_PI / 2, M_PI);
            cairo_arc(mc, x1 + r, y1 + r, r, M_PI, 3 * M_PI / 2);
            cairo_close_path(mc);
        }
    }
    cairo_set_source_rgba(mc, 0, 0, 0, 1);
    cairo_fill(mc);
    cairo_destroy(mc);
    cairo_surface_flush(mask);

    unsigned char* bytes = cairo_image_surface_get_data(mask);
    int stride = cairo_image_surface_get_stride(mask);
    std::vector<float> data(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            data[static_cast<size_t>(y) * width + x] = bytes[y * stride + x] / 255.0f;
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(data, width, height, half, true);
        boxPass(data, width, height, half, false);
    }
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bytes[y * stride + x] = static_cast<unsigned char>(
                std::lround(std::clamp(data[static_cast<size_t>(y) * width + x], 0.0f, 1.0f) * 255));
    cairo_surface_mark_dirty(mask);

    return mask;
}

// The blur of one line of coverage: three box passes, as the mask's rows and columns get.
std::vector<float> blurredLine(std::vector<float> line, int half)
{
    std::vector<float> data = std::move(line);
    int length = int(data.size());
    for (int pass = 0; pass < 3; ++pass)
        boxPass(data, length, 1, half, true);
    return data;
}

// Coverage of [from, to) along pixels [0, length) of a line starting at `origin`.
std::vector<float> coverageLine(double from, double to, int origin, int length)
{
    std::vector<float> line(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) {
        double lo = std::max(from, double(origin + i)), hi = std::min(to, double(origin + i + 1));
        line[static_cast<size_t>(i)] = hi > lo ? float(hi - lo) : 0.0f;
    }
    return line;
}

// The part of a mask (in its own pixels) that covers fully: drawn as a plain fill, it needs
// no masking.
struct Interior {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return x1 <= x0 || y1 <= y0; }
};

// Where a blurred line of coverage is whole: [first, last).
std::pair<int, int> wholeRun(const std::vector<float>& line)
{
    auto first = std::find_if(line.begin(), line.end(), [](float v) { return v >= 1.0f; });
    auto last = std::find_if(first, line.end(), [](float v) { return v < 1.0f; });
    return {int(first - line.begin()), int(last - line.begin())};
}

// An upright rectangle's blurred coverage is the product of its blurred rows and columns: the
// same mask for a fraction of the work, which a page-sized shadow would otherwise cost.
cairo_surface_t* blurredRectMask(double x1, double y1, double x2, double y2, int left, int top, int width, int height,
                                 int half, Interior& interior)
{
    std::vector<float> across = blurredLine(coverageLine(x1, x2, left, width), half);
    std::vector<float> down = blurredLine(coverageLine(y1, y2, top, height), half);
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A8, width, height);
    if (cairo_surface_status(mask) != CAIRO_STATUS_SUCCESS)
        return mask;
    cairo_surface_flush(mask);
    unsigned char* bytes = cairo_image_surface_get_data(mask);
    int stride = cairo_image_surface_get_stride(mask);
    // A row of whole coverage is the columns' own coverage: made once, copied.
    std::vector<unsigned char> wholeRow(static_cast<size_t>(width));
    for (int x = 0; x < width; ++x)
        wholeRow[static_cast<size_t>(x)] =
            static_cast<unsigned char>(std::clamp(across[static_cast<size_t>(x)], 0.0f, 1.0f) * 255.0f + 0.5f);
    for (int y = 0; y < height; ++y) {
        float row = std::clamp(down[static_cast<size_t>(y)], 0.0f, 1.0f) * 255.0f;
        unsigned char* out = bytes + static_cast<size_t>(y) * stride;
        if (row == 255.0f) {
            std::copy(wholeRow.begin(), wholeRow.end(), out);
            continue;
        }
        for (int x = 0; x < width; ++x)
            out[x] = static_cast<unsigned char>(std::clamp(across[static_cast<size_t>(x)], 0.0f, 1.0f) * row + 0.5f);
    }
    cairo_surface_mark_dirty(mask);
    auto [x0, xEnd] = wholeRun(across);
    auto [y0, yEnd] = wholeRun(down);
    interior = {x0, y0, xEnd, yEnd};
    return mask;
}

// A blurred shape in device pixels depends only on the transform's linear part, the shape and
// where it falls within a pixel: a view's shadow redrawn frame after frame (a page under its
// arriving tiles, a scrolled strip of pages) reuses its mask instead of blurring it again.
struct MaskKey {
    std::array<double, 10> values;
    bool operator==(const MaskKey&) const = default;
};

struct CachedMask {
    MaskKey key;
    cairo_surface_t* mask = nullptr;
    Interior interior;
    CachedMask(MaskKey k, cairo_surface_t* m, Interior i)
        : key(k)
        , mask(m)
        , interior(i)
    {
    }
    CachedMask(const CachedMask&) = delete;
    CachedMask& operator=(const CachedMask&) = delete;
    ~CachedMask() { cairo_surface_destroy(mask); }
};

// Per thread, so drawing on workers needs no lock; the most recently used first.
std::list<CachedMask>& maskCache()
{
    thread_local std::list<CachedMask> cache;
    return cache;
}

constexpr size_t kCachedMasks = 8;
constexpr long kLargestCachedMask = 4L << 20; // pixels

} // namespace

void Context::fillBlurredRoundedRect(const Rect& rect, double radius, double blur, const Color& color)
{
    if (blur <= 0.01) {
        setFillColor(color);
        fillRoundedRect(rect, radius);
        return;
    }
    cairo_t* cr = m_cr.get();
    cairo_matrix_t m;
    cairo_get_matrix(cr, &m);
    // Device pixels per point along the current transform.
    double unit = std::sqrt(std::fabs(m.xx * m.yy - m.xy * m.yx));
    double sigma = blur / 2 * unit;
    // Three box passes come close to a Gaussian of this deviation.
    int half = std::max(1, static_cast<int>(std::lround((std::sqrt(4 * sigma * sigma + 1) - 1) / 2)));
    int pad = 3 * half + 2;

    double x1 = rect.minX(), y1 = rect.minY(), x2 = rect.maxX(), y2 = rect.maxY();
    double cx[4] = {x1, x2, x1, x2}, cy[4] = {y1, y1, y2, y2};
    double minX = INFINITY, minY = INFINITY, maxX = -INFINITY, maxY = -INFINITY;
    for (int i = 0; i < 4; ++i) {
        double dx = cx[i], dy = cy[i];
        cairo_user_to_device(cr, &dx, &dy);
        minX = std::min(minX, dx), maxX = std::max(maxX, dx);
        minY = std::min(minY, dy), maxY = std::max(maxY, dy);
    }
    int left = static_cast<int>(std::floor(minX)) - pad, top = static_cast<int>(std::floor(minY)) - pad;
    int width = static_cast<int>(std::ceil(maxX)) + pad - left, height = static_cast<int>(std::ceil(maxY)) + pad - top;
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384)
        return;

    double fx = minX - std::floor(minX), fy = minY - std::floor(minY);
    MaskKey key{{m.xx, m.yx, m.xy, m.yy, fx, fy, rect.width(), rect.height(), radius, blur}};
    auto& cache = maskCache();
    auto found = std::find_if(cache.begin(), cache.end(), [&](const CachedMask& c) { return c.key == key; });
    cairo_surface_t* mask = nullptr;
    Interior interior;
    if (found != cache.end()) {
        cache.splice(cache.begin(), cache, found);
        mask = cairo_surface_reference(found->mask);
        interior = found->interior;
    } else {
        bool upright = m.xy == 0 && m.yx == 0;
        mask = radius <= 0 && upright
                   ? blurredRectMask(minX, minY, maxX, maxY, left, top, width, height, half, interior)
                   : blurredMask(rect, radius, m, left, top, width, height, half);
        if (long(width) * height <= kLargestCachedMask) {
            cache.emplace_front(key, cairo_surface_reference(mask), interior);
            if (cache.size() > kCachedMasks)
                cache.pop_back();
        }
    }

    cairo_save(cr);
    cairo_identity_matrix(cr);
    cairo_set_source_rgba(cr, color.r, color.g, color.b, color.a * m_states.back().alpha);
    // On a bitmap of whole pixels a unit, a pixel in from the edge of full coverage (which the
    // mask's scaling may blend with its neighbour).
    double sx = 1, sy = 1;
    cairo_surface_get_device_scale(cairo_get_target(cr), &sx, &sy);
    bool whole = sx == std::round(sx) && sy == std::round(sy);
    interior = {interior.x0 + 1, interior.y0 + 1, interior.x1 - 1, interior.y1 - 1};
    if (!whole || interior.empty()) {
        cairo_mask_surface(cr, mask, left, top);
    } else {
        // The mask only around the edges; where it covers fully (most of a page's shadow,
        // under the page), a plain fill is the same pixels for far less work.
        cairo_save(cr);
        cairo_rectangle(cr, left, top, width, height);
        cairo_rectangle(cr, left + interior.x0, top + interior.y0, interior.x1 - interior.x0,
                        interior.y1 - interior.y0);
        cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
        cairo_clip(cr);
        cairo_mask_surface(cr, mask, left, top);
        cairo_restore(cr);
        cairo_rectangle(cr, left + interior.x0, top + interior.y0, interior.x1 - interior.x0,
                        interior.y1 - interior.y0);
        cairo_fill(cr);
    }
    cairo_restore(cr);
    cairo_surface_destroy(mask);
}

} // namespace gfx
