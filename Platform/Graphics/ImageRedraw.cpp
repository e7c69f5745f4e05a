#include "Platform/Graphics/ImageRedraw.h"

#include "Platform/Graphics/Resample.h"

#include <algorithm>
#include <cmath>

namespace gfx {

Image redrawnImage(const Image& image, Size size)
{
    if (image.isNull())
        return {};
    int width = std::max(1, static_cast<int>(std::lround(size.width)));
    int height = std::max(1, static_cast<int>(std::lround(size.height)));
    SurfaceRef surface = resampledSurface(image.cairoSurface(), width, height);
    if (!surface)
        return {};
    return Image::fromSurface(surface.get(), 1);
}

} // namespace gfx
