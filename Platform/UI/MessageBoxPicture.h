#pragma once
#include "Platform/Graphics/Geometry.h"
#include "Platform/Graphics/Image.h"

#include <string>

namespace ui {

// A message box shown before any window of the program exists, drawn with the program's own
// text stack and fonts, so that it reads in every language as the screens do whatever fonts
// the display itself has.
struct MessageBoxPicture {
    static constexpr double kWidth = 460;
    static constexpr double kMargin = 24;
    static constexpr double kFontSize = 15;
    static constexpr gfx::Size kButtonSize{104, 34};

    gfx::Image image;      // at the scale asked for
    gfx::Size size;        // points
    gfx::Rect textRect;    // where the message is laid out, points
    gfx::Rect buttonRect;  // points

    // The message wrapped to the box's width (a line break starts a line), and one button.
    static MessageBoxPicture render(const std::string& message, const std::string& button, double scale = 1);

    static gfx::Color background() { return gfx::Color::fromRgb(242, 242, 242); }
    static gfx::Color ink() { return gfx::Color::fromRgb(28, 28, 28); }
    static gfx::Color buttonColor() { return gfx::Color::fromRgb(30, 90, 160); }
};

} // namespace ui
