#pragma once
#include "Platform/Graphics/Geometry.h"

#include <optional>

namespace gfx {

// x' = a*x + c*y + tx, y' = b*x + d*y + ty.
struct AffineTransform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    static AffineTransform identity() { return {}; }
    static AffineTransform translation(double tx, double ty);
    static AffineTransform scaling(double sx, double sy);
    // Radians; positive turns x towards y (clockwise on a y-down screen).
    static AffineTransform rotation(double angle);

    bool operator==(const AffineTransform&) const = default;
    bool isIdentity() const { return *this == AffineTransform{}; }

    // The step is applied to points before this transform, as a drawing context's
    // translate/scale/rotate act on its current matrix.
    AffineTransform translated(double tx, double ty) const;
    AffineTransform scaled(double sx, double sy) const;
    AffineTransform rotated(double angle) const;
    // This transform first, then other.
    AffineTransform concatenated(const AffineTransform& other) const;
    // Nothing for a singular matrix.
    std::optional<AffineTransform> inverted() const;

    Point apply(Point p) const;
    // Sizes are vectors: the translation does not apply.
    Size apply(Size s) const;
    // The bounding box of the transformed corners.
    Rect apply(const Rect& r) const;
};

} // namespace gfx
