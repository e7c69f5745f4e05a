#include "Common/AutoInputTextField.h"

#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Text.h"

void AutoInputTextField::showAutoTextWithPointX(const std::optional<std::string>& text, double x)
{
    m_autoTextStr = text;
    m_x = x;
    setNeedsDisplay();
}

void AutoInputTextField::drawRect(gfx::Context& context, const gfx::Rect& rect)
{
    ui::TextField::drawRect(context, rect);
    if (!m_autoTextStr || m_autoTextStr->empty())
        return;
    // On the typed text's baseline for any height and font, even when one of the two texts
    // falls back to a family that sits lower (Chinese beside Latin letters).
    double baseline = textTop() + gfx::baselineOfText(text(), font());
    double top = baseline - gfx::baselineOfText(*m_autoTextStr, font());
    context.drawText(*m_autoTextStr, {m_x, top}, font(), gfx::Color{0.5, 0.5, 0.5, 1});
}
