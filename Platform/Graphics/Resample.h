#pragma once
#include "Platform/Graphics/CairoRef.h"

namespace gfx {

// The surface resampled to width x height pixels with the filter, its edges padded so that
// they sample the picture itself, not transparent surroundings; null when Cairo fails.
SurfaceRef resampledSurface(cairo_surface_t* source, int width, int height, cairo_filter_t filter = CAIRO_FILTER_GOOD);

} // namespace gfx
