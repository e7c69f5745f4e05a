#include "Platform/Graphics/Resample.h"

namespace gfx {

SurfaceRef resampledSurface(cairo_surface_t* source, int width, int height, cairo_filter_t filter)
{
    SurfaceRef surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS)
        return {};
    CairoContextRef cr(cairo_create(surface.get()));
    cairo_scale(cr.get(), static_cast<double>(width) / cairo_image_surface_get_width(source),
                static_cast<double>(height) / cairo_image_surface_get_height(source));
    cairo_set_source_surface(cr.get(), source, 0, 0);
    cairo_pattern_set_extend(cairo_get_source(cr.get()), CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(cairo_get_source(cr.get()), filter);
    cairo_set_operator(cr.get(), CAIRO_OPERATOR_SOURCE);
    cairo_paint(cr.get());
    if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS)
        return {};
    cairo_surface_flush(surface.get());
    return surface;
}

} // namespace gfx
