#include "Platform/Graphics/AffineTransform.h"

#include <algorithm>
#include <cmath>

namespace gfx {

AffineTransform AffineTransform::translation(double tx, double ty)
{
    return {1, 0, 0, 1, tx, ty};
}

AffineTransform AffineTransform::scaling(double sx, double sy)
{
    return {sx, 0, 0, sy, 0, 0};
}

AffineTransform AffineTransform::rotation(double angle)
{
    double s = std::sin(angle);
    double co = std::cos(angle);
    return {co, s, -s, co, 0, 0};
}

AffineTransform AffineTransform::translated(double x, double y) const
{
    return translation(x, y).concatenated(*this);
}

AffineTransform AffineTransform::scaled(double sx, double sy) const
{
    return scaling(sx, sy).concatenated(*this);
}

AffineTransform AffineTransform::rotated(double angle) const
{
    return rotation(angle).concatenated(*this);
}

AffineTransform AffineTransform::concatenated(const AffineTransform& o) const
{
    return {a * o.a + b * o.c,
            a * o.b + b * o.d,
            c * o.a + d * o.c,
            c * o.b + d * o.d,
            tx * o.a + ty * o.c + o.tx,
            tx * o.b + ty * o.d + o.ty};
}

std::optional<AffineTransform> AffineTransform::inverted() const
{
    double det = a * d - b * c;
    if (det == 0 || !std::isfinite(det))
        return std::nullopt;
    AffineTransform r{d / det, -b / det, -c / det, a / det, 0, 0};
    r.tx = -(tx * r.a + ty * r.c);
    r.ty = -(tx * r.b + ty * r.d);
    return r;
}

Point AffineTransform::apply(Point p) const
{
    return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty};
}

Size AffineTransform::apply(Size s) const
{
    return {a * s.width + c * s.height, b * s.width + d * s.height};
}

Rect AffineTransform::apply(const Rect& r) const
{
    if (r.isNull())
        return r;
    Point corners[4] = {apply(Point{r.minX(), r.minY()}), apply(Point{r.maxX(), r.minY()}),
                        apply(Point{r.minX(), r.maxY()}), apply(Point{r.maxX(), r.maxY()})};
    double x0 = corners[0].x, x1 = corners[0].x, y0 = corners[0].y, y1 = corners[0].y;
    for (const Point& p : corners) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    return Rect(x0, y0, x1 - x0, y1 - y0);
}

} // namespace gfx
