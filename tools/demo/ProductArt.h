#pragma once
#include "Platform/Graphics/Color.h"
#include "Platform/Graphics/Image.h"

#include <string>

namespace demo {

// Draws the demo catalogue's pictures: a product of the given kind ("chair", "teapot", ...) in
// its colour, on a soft studio background.
gfx::Image drawProduct(const std::string& shape, gfx::Color color, double size);
// A library cover: a coloured page with a title, a subtitle and a small product drawing.
gfx::Image drawCover(const std::string& title, const std::string& subtitle, const std::string& shape, gfx::Color color);
// A client logo and a top-bar background for a skin.
gfx::Image drawLogo(const std::string& text, gfx::Color color);
gfx::Image drawTopBar(gfx::Color color);

} // namespace demo
