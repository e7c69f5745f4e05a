#pragma once
#include "Platform/Graphics/CairoRef.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

// A GIF's first frame drawn over a clear canvas: what the frame does not reach stays
// transparent, whatever background colour the file names. The work is the frame's, not the
// canvas's: a small frame on a huge canvas decodes as a small picture.
namespace gfx::gifdecode {

// Where the first frame lies on its canvas, cut to the canvas.
struct Layout {
    int canvasWidth = 0;
    int canvasHeight = 0;
    int left = 0;
    int top = 0;
    int width = 0;  // the frame as stored, before the cut
    int height = 0;
};

// The first frame's place; nothing for bytes that hold no GIF frame descriptor.
std::optional<Layout> layout(std::span<const uint8_t> bytes);

// What a decode into width x height holds besides the encoded bytes.
size_t cost(const Layout& layout, int width, int height);

// The canvas (canvasWidth x canvasHeight, as the caller read it from the header) averaged into
// width x height premultiplied ARGB32 pixels; at the canvas's own size, its pixels as they are.
// Null for picture data that cannot be read or gives the frame not one row; rows it breaks off
// before stay clear.
SurfaceRef decode(std::span<const uint8_t> bytes, int canvasWidth, int canvasHeight, int width, int height);

} // namespace gfx::gifdecode
