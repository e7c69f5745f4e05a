#include "Platform/Graphics/Color.h"

#include <algorithm>
#include <cmath>

namespace gfx {

namespace {

int hexDigit(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

uint32_t toByte(double v)
{
    return static_cast<uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
}

} // namespace

Color Color::fromRgb(int red, int green, int blue, double alpha)
{
    return {red / 255.0, green / 255.0, blue / 255.0, alpha};
}

Color Color::fromWhite(double white, double alpha)
{
    return {white, white, white, alpha};
}

std::optional<Color> Color::fromHex(std::string_view hex)
{
    if (!hex.empty() && hex.front() == '#')
        hex.remove_prefix(1);
    int digits[8];
    if (hex.size() != 3 && hex.size() != 6 && hex.size() != 8)
        return std::nullopt;
    for (size_t i = 0; i < hex.size(); ++i) {
        digits[i] = hexDigit(hex[i]);
        if (digits[i] < 0)
            return std::nullopt;
    }
    if (hex.size() == 3)
        return fromRgb(digits[0] * 17, digits[1] * 17, digits[2] * 17);
    auto byte = [&](int i) { return digits[2 * i] * 16 + digits[2 * i + 1]; };
    double alpha = hex.size() == 8 ? byte(3) / 255.0 : 1.0;
    return fromRgb(byte(0), byte(1), byte(2), alpha);
}

Color Color::fromPremultipliedArgb(uint32_t pixel)
{
    double a = ((pixel >> 24) & 0xff) / 255.0;
    if (a == 0)
        return clear();
    auto channel = [&](int shift) { return std::min(1.0, ((pixel >> shift) & 0xff) / 255.0 / a); };
    return {channel(16), channel(8), channel(0), a};
}

uint32_t Color::toPremultipliedArgb() const
{
    double alpha = std::clamp(a, 0.0, 1.0);
    return toByte(alpha) << 24 | toByte(r * alpha) << 16 | toByte(g * alpha) << 8 | toByte(b * alpha);
}

double Color::luminance() const
{
    auto linear = [](double c) {
        c = std::clamp(c, 0.0, 1.0);
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(r) + 0.7152 * linear(g) + 0.0722 * linear(b);
}

double Color::contrastRatio(const Color& a, const Color& b)
{
    double la = a.luminance(), lb = b.luminance();
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace gfx
