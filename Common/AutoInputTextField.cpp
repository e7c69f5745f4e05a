#include "Common/AutoInputTextField.h"

#include "Platform/Graphics/Context.h"

void AutoInputTextField::showAutoTextWithPointX(const std::optional<std::string>& text, double x)
{
    m_autoTextStr = text;
    m_x = x;
    setNeedsDisplay();
}

void AutoInputTextField::drawRect(gfx::Context& context, const gfx::Rect& rect)
{
    ui::TextField::drawRect(context, rect);
    if (m_autoTextStr && !m_autoTextStr->empty())
        context.drawText(*m_autoTextStr, {m_x, 9}, font(), gfx::Color{0.5, 0.5, 0.5, 1});
}
