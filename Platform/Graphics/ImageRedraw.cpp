#include "Platform/Graphics/ImageRedraw.h"

#include "Platform/Graphics/CairoRef.h"

#include <algorithm>
#include <cmath>

namespace gfx {

Image redrawnImage(const Image& image, Size size)
{
    if (image.isNull())
        return {};
    int width = std::max(1, static_cast<int>(std::lround(size.width)));
    int height = std::max(1, static_cast<int>(std::lround(size.height)));
    SurfaceRef surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    CairoContextRef cr(cairo_create(surface.get()));
    cairo_scale(cr.get(), static_cast<double>(width) / image.pixelWidth(),
                static_cast<double>(height) / image.pixelHeight());
    cairo_set_source_surface(cr.get(), image.cairoSurface(), 0, 0);
    // Pad so the edges sample the image, not transparent surroundings.
    cairo_pattern_set_extend(cairo_get_source(cr.get()), CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(cairo_get_source(cr.get()), CAIRO_FILTER_GOOD);
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr.get());
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS)
        return {};
    cairo_surface_flush(surface.get());
    return Image::fromSurface(surface.get(), 1);
}

} // namespace gfx
