#include "Platform/UI/NavigationBar.h"

#include "Platform/Graphics/Context.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"

#include <algorithm>

namespace ui {

namespace {
constexpr double kItemHeight = 30;
constexpr double kItemMargin = 7;
}

NavigationBarButton NavigationBarButton::systemItem(BarButtonSystemItem item, std::function<void()> action)
{
    if (item == BarButtonSystemItem::Done)
        return {"Done", Style::Done, std::move(action)};
    return {"Cancel", Style::Bordered, std::move(action)};
}

NavigationBar::NavigationBar(const gfx::Rect& frame) : View(frame)
{
    setBackgroundColor(gfx::Color::fromRgb(247, 247, 247));
}

void NavigationBar::pushNavigationItem(std::shared_ptr<NavigationItem> item, bool)
{
    m_item = std::move(item);
    m_leftButton = makeButton(m_item ? m_item->leftBarButtonItem() : std::nullopt, m_leftButton);
    m_rightButton = makeButton(m_item ? m_item->rightBarButtonItem() : std::nullopt, m_rightButton);
    setNeedsLayout();
    setNeedsDisplay();
}

std::shared_ptr<Button> NavigationBar::makeButton(const std::optional<NavigationBarButton>& item,
                                                  std::shared_ptr<Button> button)
{
    if (button)
        button->removeFromSuperview();
    if (!item)
        return nullptr;
    button = View::make<Button>(ButtonType::Custom);
    button->setCornerRadius(5);
    button->addTarget([action = item->action](Control&) {
        if (action)
            action();
    }, ControlEventTouchUpInside);
    bool done = item->style == NavigationBarButton::Style::Done;
    gfx::Font font = done ? gfx::Font::boldSystemFont(15) : gfx::Font::systemFont(15);
    button->setTitle(item->title);
    button->titleLabel().setFont(font);
    button->setTitleColor(done ? gfx::Color::white() : gfx::Color::fromRgb(0, 122, 255));
    button->setBackgroundColor(done ? std::optional(gfx::Color::fromRgb(0, 108, 230)) : std::nullopt);
    button->setFrame({0, 0, std::max(56.0, gfx::sizeOfText(item->title, font).width + 20), kItemHeight});
    addSubview(button);
    return button;
}

double NavigationBar::barTop() const { return m_item && !m_item->prompt().empty() ? kPromptHeight : 0; }

void NavigationBar::sizeToFit()
{
    gfx::Rect f = frame();
    setFrame({f.x(), f.y(), f.width(), kHeight + barTop()});
}

void NavigationBar::layoutSubviews()
{
    setNeedsDisplay();
    double y = barTop() + (kHeight - kItemHeight) / 2;
    if (m_leftButton)
        m_leftButton->setFrame({kItemMargin, y, m_leftButton->frame().width(), kItemHeight});
    if (m_rightButton) {
        double width = m_rightButton->frame().width();
        m_rightButton->setFrame({bounds().width() - kItemMargin - width, y, width, kItemHeight});
    }
}

void NavigationBar::drawRect(gfx::Context& ctx, const gfx::Rect&)
{
    gfx::Rect b = bounds();
    if (m_item) {
        if (!m_item->prompt().empty()) {
            gfx::Font font = gfx::Font::systemFont(13);
            ctx.drawText(m_item->prompt(), {b.x() + 10, b.y() + (kPromptHeight - font.lineHeight()) / 2, b.width() - 20,
                                            font.lineHeight()},
                         font, gfx::Color::fromWhite(0.35), gfx::TextAlignment::Center, gfx::LineBreakMode::TruncateTail, 1);
        }
        gfx::Font font = gfx::Font::boldSystemFont(17);
        double side = 20;
        for (auto* button : {m_leftButton.get(), m_rightButton.get()})
            if (button)
                side = std::max(side, button->frame().width() + 2 * kItemMargin);
        ctx.drawText(m_item->title(), {b.x() + side, b.y() + barTop() + (kHeight - font.lineHeight()) / 2,
                                       b.width() - 2 * side, font.lineHeight()},
                     font, m_titleColor, gfx::TextAlignment::Center, gfx::LineBreakMode::TruncateTail, 1);
    }
    ctx.setFillColor(gfx::Color::fromWhite(0.7));
    ctx.fillRect({b.x(), b.maxY() - 1, b.width(), 1});
}

void NavigationBar::setTitleTextColor(gfx::Color color)
{
    m_titleColor = color;
    setNeedsDisplay();
}

} // namespace ui
