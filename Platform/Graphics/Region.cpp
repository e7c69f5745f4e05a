#include "Platform/Graphics/Region.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace gfx {

namespace {

double area(const Rect& r)
{
    return r.width() * r.height();
}

} // namespace

bool overlaps(const Rect& a, const Rect& b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    return a.minX() < b.maxX() && b.minX() < a.maxX() && a.minY() < b.maxY() && b.minY() < a.maxY();
}

void Region::add(const Rect& input)
{
    if (input.isEmpty() || !std::isfinite(input.width()) || !std::isfinite(input.height()))
        return;
    Rect rect = input.standardized();
    for (const Rect& r : m_rects)
        if (r.contains(rect))
            return;
    // Absorb whatever the new rectangle overlaps, repeatedly, since each union may reach more.
    bool merged = true;
    while (merged) {
        merged = false;
        for (auto it = m_rects.begin(); it != m_rects.end(); ++it) {
            if (rect.contains(*it) || overlaps(rect, *it)) {
                rect = rect.united(*it);
                m_rects.erase(it);
                merged = true;
                break;
            }
        }
    }
    if (m_rects.size() < kMaxRects) {
        m_rects.push_back(rect);
        return;
    }
    // Full: fold the new rectangle into the one whose union grows least.
    auto best = m_rects.begin();
    double bestGrowth = std::numeric_limits<double>::infinity();
    for (auto it = m_rects.begin(); it != m_rects.end(); ++it) {
        double growth = area(it->united(rect)) - area(*it) - area(rect);
        if (growth < bestGrowth) {
            bestGrowth = growth;
            best = it;
        }
    }
    Rect combined = best->united(rect);
    m_rects.erase(best);
    add(combined);
}

Rect Region::bounds() const
{
    Rect out = Rect::null();
    for (const Rect& r : m_rects)
        out = out.united(r);
    return out;
}

bool Region::intersects(const Rect& rect) const
{
    return std::any_of(m_rects.begin(), m_rects.end(), [&](const Rect& r) { return overlaps(r, rect); });
}

bool Region::contains(const Rect& rect) const
{
    return std::any_of(m_rects.begin(), m_rects.end(), [&](const Rect& r) { return r.contains(rect.standardized()); });
}

std::vector<PixelRect> Region::pixelRects(double scale, int width, int height) const
{
    std::vector<PixelRect> out;
    for (const Rect& r : m_rects) {
        int x0 = std::max(0, static_cast<int>(std::floor(r.minX() * scale)));
        int y0 = std::max(0, static_cast<int>(std::floor(r.minY() * scale)));
        int x1 = std::min(width, static_cast<int>(std::ceil(r.maxX() * scale)));
        int y1 = std::min(height, static_cast<int>(std::ceil(r.maxY() * scale)));
        if (x1 > x0 && y1 > y0)
            out.push_back({x0, y0, x1 - x0, y1 - y0});
    }
    return out;
}

} // namespace gfx
