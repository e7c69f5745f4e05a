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
    m_text = text;
    // A container that sizes itself around the label (a button) lays out again.
    if (superview())
        superview()->setNeedsLayout();
}

void Label::setFont(const gfx::Font& font)
{
    m_font = font;
    if (superview())
        superview()->setNeedsLayout();
}

gfx::Font Label::fontForDrawing() const
{
    if (!m_adjustsFontSize || m_numberOfLines != 1 || m_text.empty())
        return m_font;
    double width = bounds().width();
    double floor = std::max(m_minimumFontSize, kSmallestFontSize);
    double size = m_font.pointSize();
    gfx::Font font = m_font;
    while (size > floor && gfx::sizeOfText(m_text, font).width > width) {
        size = std::max(floor, size - kShrinkStep);
        font = m_font.withSize(size);
    }
    return font;
}

gfx::Size Label::sizeThatFits(gfx::Size size) const
{
    if (m_text.empty())
        return {0, 0};
    if (m_numberOfLines == 1)
        return gfx::sizeOfText(m_text, m_font);
    double width = size.width > 0 ? size.width : kUnlimited;
    return gfx::sizeOfText(m_text, m_font, {width, kUnlimited}, m_lineBreakMode, m_numberOfLines);
}

void Label::drawRect(gfx::Context& ctx, const gfx::Rect&)
{
    if (m_text.empty())
        return;
    gfx::Rect b = bounds();
    gfx::Font font = fontForDrawing();
    gfx::Size used = gfx::sizeOfText(m_text, font, b.size, m_lineBreakMode, m_numberOfLines);
    gfx::Rect box(b.x(), b.y() + (b.height() - used.height) / 2, b.width(), used.height);
    gfx::Color color = m_highlighted && m_highlightedTextColor ? *m_highlightedTextColor : m_textColor;
    if (m_shadowColor && !m_shadowColor->isClear())
        ctx.drawText(m_text, box.offsetBy(m_shadowOffset.width, m_shadowOffset.height), font, *m_shadowColor,
                     m_alignment, m_lineBreakMode, m_numberOfLines);
    ctx.drawText(m_text, box, font, color, m_alignment, m_lineBreakMode, m_numberOfLines);
}

} // namespace ui
