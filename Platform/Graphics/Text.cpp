#include "Platform/Graphics/Text.h"

#include "Platform/Graphics/TextLayout.h"

namespace gfx {

Size sizeOfText(std::string_view text, const Font& font)
{
    if (text.empty())
        return {};
    return TextLayout(nullptr, text, font, TextLayout::Options{}).roundedSize();
}

std::pair<double, double> inkSpanOfText(std::string_view text, const Font& font)
{
    if (text.empty())
        return {0, 0};
    return TextLayout(nullptr, text, font, TextLayout::Options{}).inkSpan();
}

double baselineOfText(std::string_view text, const Font& font)
{
    return TextLayout(nullptr, text, font, TextLayout::Options{}).baseline();
}

Size sizeOfText(std::string_view text, const Font& font, Size constraint, LineBreakMode mode,
                int numberOfLines)
{
    if (text.empty())
        return {};
    TextLayout::Options options;
    options.width = constraint.width;
    options.mode = mode;
    options.maxLines = numberOfLines;
    options.maxHeight = constraint.height;
    return TextLayout(nullptr, text, font, options).roundedSize();
}

} // namespace gfx
