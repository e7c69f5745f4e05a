#pragma once
// One part of a picture drawn over a rectangle, the road every stretched or part-drawn picture
// of a `Context` takes.
#include "Platform/Graphics/Geometry.h"
#include "Platform/Graphics/Image.h"

#include <cairo.h>

namespace gfx {

// Draws the part `source` (the picture's points) of `image` stretched over `rect` (user space
// of `cr`, under what the caller set there), its edges padded with its own pixels so a
// stretched part never samples its neighbours. The part is cut to the picture's pixels
// whatever is asked: nothing is read from outside them.
void drawImageSlice(cairo_t* cr, const Image& image, const Rect& source, const Rect& rect, bool smooth);

} // namespace gfx
