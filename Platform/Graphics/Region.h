#pragma once
#include "Platform/Graphics/Geometry.h"

#include <vector>

namespace gfx {

// Whole device pixels: what a region covers on a bitmap.
struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const PixelRect&) const = default;
};

// A set of rectangles in points, the parts of a picture that must be drawn again. Overlapping
// rectangles merge as they come, and past a handful the closest pair merges, so the set stays
// cheap to clip to and to test against.
class Region {
public:
    static constexpr size_t kMaxRects = 8;

    void add(const Rect& rect);
    void clear() { m_rects.clear(); }
    bool isEmpty() const { return m_rects.empty(); }
    const std::vector<Rect>& rects() const { return m_rects; }
    // The smallest rectangle holding the whole region; null when empty.
    Rect bounds() const;
    // Some part of the rectangle (not just an edge) lies in the region.
    bool intersects(const Rect& rect) const;
    bool contains(const Rect& rect) const;

    // The pixels a bitmap of `scale` pixels per point must redraw: each rectangle rounded out
    // to whole pixels and cut to width x height.
    std::vector<PixelRect> pixelRects(double scale, int width, int height) const;

private:
    std::vector<Rect> m_rects;
};

// Whether two rectangles share some area; touching edges do not count.
bool overlaps(const Rect& a, const Rect& b);

} // namespace gfx
