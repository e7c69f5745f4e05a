#include "Platform/Graphics/Geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace gfx {

Rect Rect::null()
{
    const double inf = std::numeric_limits<double>::infinity();
    return Rect(inf, inf, 0, 0);
}

double Rect::minX() const { return std::min(origin.x, origin.x + size.width); }
double Rect::maxX() const { return std::max(origin.x, origin.x + size.width); }
double Rect::midX() const { return origin.x + size.width / 2; }
double Rect::minY() const { return std::min(origin.y, origin.y + size.height); }
double Rect::maxY() const { return std::max(origin.y, origin.y + size.height); }
double Rect::midY() const { return origin.y + size.height / 2; }

bool Rect::isNull() const
{
    return std::isinf(origin.x) || std::isinf(origin.y);
}

bool Rect::isEmpty() const
{
    return isNull() || size.width == 0 || size.height == 0;
}

Rect Rect::standardized() const
{
    if (isNull())
        return *this;
    return Rect(minX(), minY(), std::fabs(size.width), std::fabs(size.height));
}

bool Rect::contains(Point p) const
{
    if (isEmpty())
        return false;
    return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
}

bool Rect::contains(const Rect& r) const
{
    if (isNull() || r.isNull())
        return false;
    return r.minX() >= minX() && r.maxX() <= maxX() && r.minY() >= minY() && r.maxY() <= maxY();
}

bool Rect::intersects(const Rect& r) const
{
    return !intersection(r).isNull();
}

Rect Rect::intersection(const Rect& r) const
{
    if (isNull() || r.isNull())
        return null();
    double x0 = std::max(minX(), r.minX());
    double y0 = std::max(minY(), r.minY());
    double x1 = std::min(maxX(), r.maxX());
    double y1 = std::min(maxY(), r.maxY());
    // Touching edges do not intersect: a shared edge has no area to draw into.
    if (x0 >= x1 || y0 >= y1)
        return null();
    return Rect(x0, y0, x1 - x0, y1 - y0);
}

Rect Rect::united(const Rect& r) const
{
    if (isNull())
        return r.standardized();
    if (r.isNull())
        return standardized();
    double x0 = std::min(minX(), r.minX());
    double y0 = std::min(minY(), r.minY());
    double x1 = std::max(maxX(), r.maxX());
    double y1 = std::max(maxY(), r.maxY());
    return Rect(x0, y0, x1 - x0, y1 - y0);
}

Rect Rect::insetBy(double dx, double dy) const
{
    if (isNull())
        return *this;
    Rect s = standardized();
    Rect r(s.origin.x + dx, s.origin.y + dy, s.size.width - 2 * dx, s.size.height - 2 * dy);
    if (r.size.width < 0 || r.size.height < 0)
        return null();
    return r;
}

Rect Rect::insetBy(const EdgeInsets& in) const
{
    if (isNull())
        return *this;
    Rect s = standardized();
    Rect r(s.origin.x + in.left, s.origin.y + in.top, s.size.width - in.left - in.right,
           s.size.height - in.top - in.bottom);
    if (r.size.width < 0 || r.size.height < 0)
        return null();
    return r;
}

Rect Rect::offsetBy(double dx, double dy) const
{
    if (isNull())
        return *this;
    return Rect(origin.x + dx, origin.y + dy, size.width, size.height);
}

Rect Rect::integral() const
{
    if (isNull())
        return *this;
    double x0 = std::floor(minX());
    double y0 = std::floor(minY());
    double x1 = std::ceil(maxX());
    double y1 = std::ceil(maxY());
    return Rect(x0, y0, x1 - x0, y1 - y0);
}

std::string Rect::toString() const
{
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, "{{%g, %g}, {%g, %g}}", origin.x, origin.y, size.width,
                  size.height);
    return buffer;
}

} // namespace gfx
