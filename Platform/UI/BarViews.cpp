#include "Platform/UI/BarViews.h"

#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/BarButtonItem.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/Touch.h"

#include <algorithm>

namespace ui {

namespace {
constexpr double kItemHeight = 30;
constexpr double kItemMargin = 7;
}

NavigationBarView::NavigationBarView(const gfx::Rect& frame) : View(frame)
{
    setBackgroundColor(gfx::Color::fromRgb(247, 247, 247));
    setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleBottomMargin);
}

NavigationBarView::~NavigationBarView()
{
    if (m_rightItem)
        m_rightItem->onChange = nullptr;
}

void NavigationBarView::setRightItem(std::shared_ptr<BarButtonItem> item)
{
    setNeedsDisplay();
    if (item == m_rightItem)
        return;
    if (m_rightItem)
        m_rightItem->onChange = nullptr;
    m_rightItem = std::move(item);
    if (m_rightItem)
        m_rightItem->onChange = [this] { updateRightButton(); };
    updateRightButton();
}

void NavigationBarView::updateRightButton()
{
    setNeedsDisplay();
    if (!m_rightItem) {
        if (m_rightButton)
            m_rightButton->removeFromSuperview();
        m_rightButton.reset();
        return;
    }
    if (!m_rightButton) {
        m_rightButton = View::make<Button>(ButtonType::Custom);
        m_rightButton->setAutoresizingMask(AutoresizingFlexibleLeftMargin);
        m_rightButton->setCornerRadius(5);
        // The item is looked up at tap time: the bar may show another one by then.
        m_rightButton->addTarget([this](Control&) {
            if (auto item = m_rightItem)
                item->trigger();
        }, ControlEventTouchUpInside);
        addSubview(m_rightButton);
    }
    bool done = m_rightItem->style() == BarButtonItem::Style::Done;
    gfx::Font font = done ? gfx::Font::boldSystemFont(15) : gfx::Font::systemFont(15);
    m_rightButton->setTitle(m_rightItem->title());
    m_rightButton->titleLabel().setFont(font);
    m_rightButton->setTitleColor(done ? gfx::Color::white() : gfx::Color::fromRgb(0, 122, 255));
    m_rightButton->setTitleColor(gfx::Color::fromWhite(0.6), ControlStateDisabled);
    m_rightButton->setBackgroundColor(done ? std::optional(gfx::Color::fromRgb(0, 108, 230)) : std::nullopt);
    m_rightButton->setEnabled(m_rightItem->isEnabled());
    double width = std::max(56.0, gfx::sizeOfText(m_rightItem->title(), font).width + 20);
    m_rightButton->setFrame({bounds().width() - kItemMargin - width, (bounds().height() - kItemHeight) / 2, width, kItemHeight});
}

gfx::Rect NavigationBarView::backRect() const
{
    return {0, 0, m_backTitle.empty() ? 0.0 : 120.0, bounds().height()};
}

void NavigationBarView::setTitleView(std::shared_ptr<View> view)
{
    if (view == m_titleView)
        return;
    if (m_titleView && m_titleView->superview() == this)
        m_titleView->removeFromSuperview();
    m_titleView = std::move(view);
    if (m_titleView)
        addSubview(m_titleView);
    setNeedsDisplay();
}

void NavigationBarView::drawRect(gfx::Context& ctx, const gfx::Rect&)
{
    gfx::Rect b = bounds();
    gfx::Font titleFont = gfx::Font::boldSystemFont(17);
    double lh = titleFont.lineHeight();
    if (!m_titleView)
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
