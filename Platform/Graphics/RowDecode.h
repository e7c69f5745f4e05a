#pragma once
#include "Platform/Graphics/CairoRef.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// Decoders for pictures whose whole decode would hold several times their 8-bit pixels (16-bit
// PNG, high-dynamic-range RGBE): they read one row at a time, turn it into 8 bits and average
// it straight into a surface of the size shown. What they hold beyond that surface is a few
// rows, whatever the picture's size.
namespace gfx::rowdecode {

struct Shape {
    int width = 0;
    int height = 0;
};

// The picture's size when this decoder takes it (a 16-bit, non-interlaced PNG; an RGBE picture
// stored top to bottom); nothing for one it leaves to the whole decoders.
std::optional<Shape> accepts(std::span<const uint8_t> bytes);

// What such a decode into width x height holds besides the encoded bytes.
size_t cost(std::span<const uint8_t> bytes, int width, int height);

// Decodes into a width x height premultiplied ARGB32 surface; null for data that ends early or
// is broken.
SurfaceRef decode(std::span<const uint8_t> bytes, int width, int height);

} // namespace gfx::rowdecode
