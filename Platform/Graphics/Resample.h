#pragma once
#include "Platform/Graphics/CairoRef.h"

namespace gfx {

// The surface resampled to width x height pixels with the filter, its edges padded so that
// they sample the picture itself, not transparent surroundings; null when Cairo fails.
SurfaceRef resampledSurface(cairo_surface_t* source, int width, int height, cairo_filter_t filter = CAIRO_FILTER_GOOD);

// The top-left width x height source pixels (fractional: a last partial column or row counts by
// its share) made smaller to toWidth x toHeight, each pixel the average of the area it covers,
// rounded to the nearest level, at any ratio. Null unless the source is ARGB32 holding that
// area and the result is no larger in either direction. Much cheaper than Cairo's filtered
// resample for a large reduction.
SurfaceRef areaAveragedSurface(cairo_surface_t* source, double width, double height, int toWidth, int toHeight);

// Tests: the average made with the plain steps even where the processor has wide registers.
void averageWithPlainStepsForTesting(bool plain);

} // namespace gfx
