#pragma once
#include "Platform/Graphics/Image.h"

#include <string>

namespace ui {

// A picture that ships in the bundle, by file name ("logo.png") or by name alone (".png" is
// tried). On a double-resolution window the "@2x" file is preferred. Pictures are cached by
// name, as bundled pictures never change while the program runs.
gfx::Image imageNamed(const std::string& name);
void clearNamedImageCache();

} // namespace ui
