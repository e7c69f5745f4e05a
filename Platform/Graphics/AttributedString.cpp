#include "Platform/Graphics/AttributedString.h"

#include "Platform/Graphics/TextLayout.h"

namespace gfx {

void AttributedString::append(std::string_view text, const Font& font, const Color& color)
{
    if (text.empty())
        return;
    m_runs.push_back(Run{m_text.size(), text.size(), font, color});
    m_text.append(text);
}

void AttributedString::append(const AttributedString& other)
{
    size_t base = m_text.size();
    m_text.append(other.m_text);
    for (Run run : other.m_runs) {
        run.start += base;
        m_runs.push_back(std::move(run));
    }
}

Size suggestedSizeOfAttributedText(const AttributedString& text, double width)
{
    if (text.empty())
        return {};
    TextLayout::Options options;
    options.width = width;
    return TextLayout(nullptr, text, options).roundedSize();
}

} // namespace gfx
