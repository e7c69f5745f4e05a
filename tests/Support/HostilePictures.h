#pragma once
// Pictures whose header declares far more pixels than their bytes hold: a few kilobytes that
// would decode to gigabytes.
#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Image.h"

#include <cstdint>

namespace hostilefix {

// A real JPEG of noise (about 64 KB) whose frame header is rewritten to width x height.
inline base::Bytes jpegDeclaring(int width, int height)
{
    auto context = gfx::Context::createBitmap({160, 160});
    uint32_t seed = 12345;
    for (int y = 0; y < 160; y += 2)
        for (int x = 0; x < 160; x += 2) {
            seed = seed * 1103515245u + 12345u;
            context->setFillColor(gfx::Color::fromRgb(int(seed >> 8 & 255), int(seed >> 16 & 255), int(seed >> 24)));
            context->fillRect({double(x), double(y), 2, 2});
        }
    base::Bytes jpeg = context->makeImage().jpegData(1.0);
    for (size_t i = 2; i + 8 < jpeg.size(); ++i) {
        // Start of frame (baseline or progressive): length, precision, height, width.
        if (jpeg[i] == 0xff && (jpeg[i + 1] == 0xc0 || jpeg[i + 1] == 0xc2)) {
            jpeg[i + 5] = uint8_t(height >> 8), jpeg[i + 6] = uint8_t(height);
            jpeg[i + 7] = uint8_t(width >> 8), jpeg[i + 8] = uint8_t(width);
            return jpeg;
        }
    }
    return {};
}

} // namespace hostilefix
