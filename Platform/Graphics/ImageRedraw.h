#pragma once
#include "Platform/Graphics/Geometry.h"
#include "Platform/Graphics/Image.h"

namespace gfx {

// The image drawn anew at the given size in points, as a bitmap of scale 1 (sizes rounded to
// whole pixels, at least one); null for a null image. Uses no shared state, so any thread may.
Image redrawnImage(const Image& image, Size size);

} // namespace gfx
