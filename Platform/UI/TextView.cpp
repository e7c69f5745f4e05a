#include "Platform/UI/TextView.h"

#include "Platform/Graphics/Context.h"
#include "Platform/UI/Touch.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {
// Movement below this is still a tap.
constexpr double kDragSlop = 6;
constexpr double kUnlimited = 1e7;
}

TextView::TextView()
{
    setClipsToBounds(true);
    setBackgroundColor(gfx::Color::white());
}

TextView::TextView(const gfx::Rect& frame) : View(frame)
{
    setClipsToBounds(true);
    setBackgroundColor(gfx::Color::white());
}

void TextView::setText(const std::string& text)
{
    setNeedsDisplay();
    m_text = text;
    setContentOffset(contentOffset());
}

void TextView::setFont(const gfx::Font& font)
{
    setNeedsDisplay();
    m_font = font;
    setContentOffset(contentOffset());
}

void TextView::setEditable(bool editable)
{
    setNeedsDisplay();
    m_editable = editable;
    if (!editable && isFirstResponder())
        resignFirstResponder();
}

void TextView::setContentInset(gfx::EdgeInsets inset)
{
    m_contentInset = inset;
    setNeedsDisplay();
    setContentOffset(contentOffset());
}

gfx::Size TextView::contentSize() const
{
    double width = bounds().width();
    double textWidth = std::max(1.0, width - m_contentInset.left - m_contentInset.right);
    if (m_measured.width != textWidth || !(m_measured.font == m_font) || m_measured.text != m_text) {
        m_measured = {m_text, m_font, textWidth,
                      m_text.empty() ? 0
                                     : gfx::sizeOfText(m_text, m_font, {textWidth, kUnlimited}, gfx::LineBreakMode::WordWrap, 0)
                                           .height};
    }
    return {width, m_measured.height + m_contentInset.top + m_contentInset.bottom};
}

double TextView::maximumOffset() const
{
    return std::max(0.0, contentSize().height - bounds().height());
}

void TextView::setContentOffset(gfx::Point offset)
{
    setNeedsDisplay();
    gfx::Rect b = bounds();
    b.origin = {0, std::clamp(offset.y, 0.0, maximumOffset())};
    setBounds(b);
}

void TextView::boundsDidChange(const gfx::Rect& oldBounds)
{
    setNeedsDisplay();
    // A narrower view wraps into more lines; keep the offset inside the new range.
    if (oldBounds.size != bounds().size && bounds().y() > maximumOffset())
        setContentOffset(contentOffset());
}

void TextView::textDidChange()
{
    setNeedsDisplay();
    // Typing happens at the end, so keep the end in view.
    setContentOffset({0, maximumOffset()});
}

void TextView::insertText(const std::string& text)
{
    if (!m_editable || !isFirstResponder())
        return;
    m_text += text;
    textDidChange();
}

void TextView::deleteBackward()
{
    if (!m_editable || !isFirstResponder() || m_text.empty())
        return;
    size_t start = m_text.size() - 1;
    while (start > 0 && (static_cast<unsigned char>(m_text[start]) & 0xC0) == 0x80)
        --start;
    m_text.erase(start);
    textDidChange();
}

void TextView::keyPressed(const std::string& key)
{
    if (key == "\n")
        insertText("\n");
}

void TextView::touchesBegan(const std::vector<Touch*>& touches, Event&)
{
    if (m_touch >= 0 || touches.empty())
        return;
    m_touch = touches.front()->identifier();
    m_touchStart = touches.front()->locationInWindow();
    m_offsetAtStart = contentOffset().y;
    m_dragging = false;
}

void TextView::touchesMoved(const std::vector<Touch*>& touches, Event&)
{
    for (Touch* touch : touches) {
        if (touch->identifier() != m_touch)
            continue;
        // Window coordinates: the view's own move as it scrolls under the finger.
        double dy = touch->locationInWindow().y - m_touchStart.y;
        if (!m_dragging && std::fabs(dy) < kDragSlop)
            return;
        m_dragging = true;
        setContentOffset({0, m_offsetAtStart - dy});
    }
}

void TextView::touchesEnded(const std::vector<Touch*>& touches, Event&)
{
    for (Touch* touch : touches) {
        if (touch->identifier() != m_touch)
            continue;
        m_touch = -1;
        if (!m_dragging && m_editable)
            becomeFirstResponder();
    }
}

void TextView::touchesCancelled(const std::vector<Touch*>& touches, Event&)
{
    for (Touch* touch : touches)
        if (touch->identifier() == m_touch)
            m_touch = -1;
}

void TextView::drawRect(gfx::Context& ctx, const gfx::Rect&)
{
    if (m_text.empty())
        return;
    double width = std::max(1.0, bounds().width() - m_contentInset.left - m_contentInset.right);
    ctx.drawText(m_text, {m_contentInset.left, m_contentInset.top, width, kUnlimited}, m_font, m_textColor, m_alignment,
                 gfx::LineBreakMode::WordWrap, 0);
}

} // namespace ui
