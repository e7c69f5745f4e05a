#include "Platform/UI/BarViews.h"

#include "Platform/Graphics/Context.h"
#include "Platform/UI/Touch.h"

namespace ui {

NavigationBarView::NavigationBarView(const gfx::Rect& frame) : View(frame)
{
    setBackgroundColor(gfx::Color::fromRgb(247, 247, 247));
    setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleBottomMargin);
}

gfx::Rect NavigationBarView::backRect() const
{
    return {0, 0, m_backTitle.empty() ? 0.0 : 120.0, bounds().height()};
}

void NavigationBarView::drawRect(gfx::Context& ctx, const gfx::Rect&)
{
    gfx::Rect b = bounds();
    gfx::Font titleFont = gfx::Font::boldSystemFont(17);
    double lh = titleFont.lineHeight();
    ctx.drawText(m_title, {b.x() + 130, b.y() + (b.height() - lh) / 2, b.width() - 260, lh}, titleFont,
                 gfx::Color::black(), gfx::TextAlignment::Center, gfx::LineBreakMode::TruncateTail, 1);
    if (!m_backTitle.empty()) {
        gfx::Font font = gfx::Font::systemFont(16);
        ctx.drawText("‹ " + m_backTitle, {b.x() + 10, b.y() + (b.height() - font.lineHeight()) / 2, 110, font.lineHeight()},
                     font, gfx::Color::fromRgb(0, 122, 255), gfx::TextAlignment::Left, gfx::LineBreakMode::TruncateTail, 1);
    }
    ctx.setFillColor(gfx::Color::fromWhite(0.7));
    ctx.fillRect({b.x(), b.maxY() - 1, b.width(), 1});
}

void NavigationBarView::touchesEnded(const std::vector<Touch*>& touches, Event&)
{
    if (touches.empty() || !onBack)
        return;
    if (backRect().contains(touches.front()->locationInView(this)))
        onBack();
}

TabBarItemView::TabBarItemView(const std::string& title, std::function<void()> onTap)
    : m_title(title), m_onTap(std::move(onTap))
{
}

void TabBarItemView::drawRect(gfx::Context& ctx, const gfx::Rect&)
{
    gfx::Rect b = bounds();
    gfx::Font font = gfx::Font::systemFont(12);
    gfx::Color color = m_selected ? gfx::Color::fromRgb(0, 122, 255) : gfx::Color::fromWhite(0.45);
    ctx.drawText(m_title, {b.x(), b.y() + (b.height() - font.lineHeight()) / 2, b.width(), font.lineHeight()}, font, color,
                 gfx::TextAlignment::Center, gfx::LineBreakMode::TruncateTail, 1);
}

void TabBarItemView::touchesEnded(const std::vector<Touch*>& touches, Event&)
{
    if (!touches.empty() && bounds().contains(touches.front()->locationInView(this)) && m_onTap)
        m_onTap();
}

} // namespace ui
