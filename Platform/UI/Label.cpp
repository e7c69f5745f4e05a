#include "Platform/UI/Label.h"

#include "Platform/Graphics/Context.h"

#include <algorithm>

namespace ui {

namespace {
// Below this, shrinking makes text unreadable whatever the minimum says.
constexpr double kSmallestFontSize = 4;
constexpr double kShrinkStep = 0.5;
constexpr double kUnlimited = 1e7;
}

Label::Label()
{
    setUserInteractionEnabled(false);
    setOpaque(false);
}

Label::Label(const gfx::Rect& frame) : View(frame)
{
    setUserInteractionEnabled(false);
    setOpaque(false);
}

void Label::setText(const std::string& text)
{
    setNeedsDisplay();
    m_text = text;
    // A container that sizes itself around the label (a button) lays out again.
    if (superview())
        superview()->setNeedsLayout();
}

void Label::setFont(const gfx::Font& font)
{
    setNeedsDisplay();
    m_font = font;
    if (superview())
        superview()->setNeedsLayout();
}

gfx::Font Label::fontForDrawing() const
{
    if (!m_adjustsFontSize || m_numberOfLines != 1 || m_text.empty())
        return m_font;
    double width = bounds().width();
    FittedFont& f = m_fitted;
    if (f.result && f.text == m_text && f.font == m_font && f.width == width && f.minimum == m_minimumFontSize)
        return *f.result;
    double floor = std::max(m_minimumFontSize, kSmallestFontSize);
    double size = m_font.pointSize();
    gfx::Font font = m_font;
    while (size > floor && gfx::sizeOfText(m_text, font).width > width) {
        size = std::max(floor, size - kShrinkStep);
        font = m_font.withSize(size);
    }
    f = {m_text, m_font, width, m_minimumFontSize, font};
    return font;
}

gfx::Size Label::singleLineSize() const
{
    if (m_text.empty())
        return {0, 0};
    return m_lineLayout.get(nullptr, m_text, m_font, gfx::TextLayout::Options{}).roundedSize();
}

gfx::Size Label::sizeThatFits(gfx::Size size) const
{
    if (m_text.empty())
        return {0, 0};
    if (m_numberOfLines == 1)
        return singleLineSize();
    gfx::TextLayout::Options options;
    options.width = size.width > 0 ? size.width : kUnlimited;
    options.maxHeight = kUnlimited;
    options.mode = m_lineBreakMode;
    options.maxLines = m_numberOfLines;
    return m_fitLayout.get(nullptr, m_text, m_font, options).roundedSize();
}

void Label::drawRect(gfx::Context& ctx, const gfx::Rect&)
{
    if (m_text.empty())
        return;
    gfx::Rect b = bounds();
    gfx::TextLayout::Options options;
    options.width = b.width();
    options.mode = m_lineBreakMode;
    options.maxLines = m_numberOfLines;
    options.maxHeight = b.height();
    options.alignment = m_alignment;
    // One layout measures the text for centring and draws it (and its shadow).
    const gfx::TextLayout& layout = m_drawLayout.get(ctx.cairo(), m_text, fontForDrawing(), options);
    gfx::Size used = layout.roundedSize();
    gfx::Point origin{b.x(), b.y() + (b.height() - used.height) / 2};
    gfx::Color color = m_highlighted && m_highlightedTextColor ? *m_highlightedTextColor : m_textColor;
    if (m_shadowColor && !m_shadowColor->isClear())
        ctx.drawText(layout, {origin.x + m_shadowOffset.width, origin.y + m_shadowOffset.height}, *m_shadowColor);
    ctx.drawText(layout, origin, color);
}

} // namespace ui
