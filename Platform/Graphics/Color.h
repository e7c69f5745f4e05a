#pragma once
#include <cstdint>
#include <optional>
#include <string_view>

namespace gfx {

// Straight (not premultiplied) RGBA, each component 0..1.
struct Color {
    double r = 0, g = 0, b = 0, a = 1;

    static Color fromRgb(int red, int green, int blue, double alpha = 1);
    static Color fromWhite(double white, double alpha = 1);
    // "#RGB", "#RRGGBB" or "#RRGGBBAA", the '#' optional; nothing when malformed.
    static std::optional<Color> fromHex(std::string_view hex);
    // A premultiplied 0xAARRGGBB pixel as the image surfaces store it.
    static Color fromPremultipliedArgb(uint32_t pixel);

    static Color black() { return {0, 0, 0, 1}; }
    static Color white() { return {1, 1, 1, 1}; }
    static Color clear() { return {0, 0, 0, 0}; }
    static Color gray() { return {0.5, 0.5, 0.5, 1}; }
    static Color lightGray() { return {2.0 / 3, 2.0 / 3, 2.0 / 3, 1}; }
    static Color darkGray() { return {1.0 / 3, 1.0 / 3, 1.0 / 3, 1}; }
    static Color red() { return {1, 0, 0, 1}; }
    static Color green() { return {0, 1, 0, 1}; }
    static Color blue() { return {0, 0, 1, 1}; }
    static Color yellow() { return {1, 1, 0, 1}; }
    static Color orange() { return {1, 0.5, 0, 1}; }

    bool operator==(const Color&) const = default;
    Color withAlpha(double alpha) const { return {r, g, b, alpha}; }
    bool isClear() const { return a <= 0; }
    uint32_t toPremultipliedArgb() const;
    // Relative luminance of the sRGB colour, 0 black to 1 white; alpha is not counted.
    double luminance() const;
    // (lighter + 0.05) / (darker + 0.05): 1 for equal colours, 21 for black on white.
    static double contrastRatio(const Color& a, const Color& b);
};

} // namespace gfx
