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

namespace {
// Draws the bar's title and back text above whatever background lies beneath.
class BarTextsView : public View {
public:
    explicit BarTextsView(NavigationBarView& bar) : View(bar.bounds()), m_bar(bar)
    {
        setUserInteractionEnabled(false);
        setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
    }
    const char* className() const override { return "NavigationBarTexts"; }
    void drawRect(gfx::Context& context, const gfx::Rect&) override { m_bar.drawTexts(context); }

private:
    NavigationBarView& m_bar;
};
}

NavigationBarView::NavigationBarView(const gfx::Rect& frame) : View(frame)
{
    setBackgroundColor(gfx::Color::fromRgb(247, 247, 247));
    setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleBottomMargin);
    m_texts = View::make<BarTextsView>(*this);
    addSubview(m_texts);
}

NavigationBarView::~NavigationBarView()
{
    for (Side* side : {&m_left, &m_right})
        if (side->item)
            side->item->onChange = nullptr;
}

void NavigationBarView::setTitle(const std::string& title)
{
    m_title = title;
    m_texts->setNeedsDisplay();
}

void NavigationBarView::setBackTitle(const std::string& title)
{
    m_backTitle = title;
    m_texts->setNeedsDisplay();
}

void NavigationBarView::setRightItem(std::shared_ptr<BarButtonItem> item)
{
    setItem(m_right, std::move(item), false);
}

Button* NavigationBarView::rightButton() const
{
    return m_right.custom ? nullptr : static_cast<Button*>(m_right.view.get());
}

void NavigationBarView::setLeftItem(std::shared_ptr<BarButtonItem> item)
{
    setItem(m_left, std::move(item), true);
    m_texts->setNeedsDisplay();
}

void NavigationBarView::setItem(Side& side, std::shared_ptr<BarButtonItem> item, bool left)
{
    setNeedsDisplay();
    if (item == side.item)
        return;
    if (side.item)
        side.item->onChange = nullptr;
    side.item = std::move(item);
    if (side.item)
        side.item->onChange = [this, &side, left] { updateItemView(side, left); };
    updateItemView(side, left);
}

void NavigationBarView::updateItemView(Side& side, bool left)
{
    setNeedsDisplay();
    auto custom = side.item ? side.item->customView() : nullptr;
    bool keep = side.item && side.view && (custom ? side.view == custom : !side.custom);
    if (!keep) {
        if (side.view && side.view->superview() == this)
            side.view->removeFromSuperview();
        side.view.reset();
    }
    side.custom = custom != nullptr;
    if (!side.item)
        return;
    if (custom) {
        if (!side.view) {
            side.view = custom;
            custom->setAutoresizingMask(left ? AutoresizingFlexibleRightMargin : AutoresizingFlexibleLeftMargin);
            addSubview(custom);
        }
        gfx::Size size = custom->frame().size;
        double x = left ? kItemMargin : bounds().width() - kItemMargin - size.width;
        custom->setFrame({x, (bounds().height() - size.height) / 2, size.width, size.height});
        return;
    }
    if (!side.view) {
        auto button = View::make<Button>(ButtonType::Custom);
        button->setAutoresizingMask(left ? AutoresizingFlexibleRightMargin : AutoresizingFlexibleLeftMargin);
        button->setCornerRadius(5);
        // The item is looked up at tap time: the bar may show another one by then.
        button->addTarget([&side](Control&) {
            if (auto item = side.item)
                item->trigger();
        }, ControlEventTouchUpInside);
        side.view = button;
        addSubview(button);
    }
    auto* button = static_cast<Button*>(side.view.get());
    bool done = side.item->style() == BarButtonItem::Style::Done;
    gfx::Font font = done ? gfx::Font::boldSystemFont(15) : gfx::Font::systemFont(15);
    button->setTitle(side.item->title());
    button->titleLabel().setFont(font);
    button->setTitleColor(done ? gfx::Color::white() : gfx::Color::fromRgb(0, 122, 255));
    button->setTitleColor(gfx::Color::fromWhite(0.6), ControlStateDisabled);
    button->setBackgroundColor(done ? std::optional(gfx::Color::fromRgb(0, 108, 230)) : std::nullopt);
    button->setEnabled(side.item->isEnabled());
    double width = std::max(56.0, gfx::sizeOfText(side.item->title(), font).width + 20);
    double x = left ? kItemMargin : bounds().width() - kItemMargin - width;
    button->setFrame({x, (bounds().height() - kItemHeight) / 2, width, kItemHeight});
}

gfx::Rect NavigationBarView::backRect() const
{
    return {0, 0, m_backTitle.empty() || m_left.item ? 0.0 : 120.0, bounds().height()};
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
    m_texts->setNeedsDisplay();
}

void NavigationBarView::drawRect(gfx::Context& ctx, const gfx::Rect&)
{
    gfx::Rect b = bounds();
    ctx.setFillColor(gfx::Color::fromWhite(0.7));
    ctx.fillRect({b.x(), b.maxY() - 1, b.width(), 1});
}

void NavigationBarView::drawTexts(gfx::Context& ctx)
{
    gfx::Rect b = bounds();
    gfx::Font titleFont = gfx::Font::boldSystemFont(17);
    double lh = titleFont.lineHeight();
    if (!m_titleView)
        ctx.drawText(m_title, {b.x() + 130, b.y() + (b.height() - lh) / 2, b.width() - 260, lh}, titleFont,
                     gfx::Color::black(), gfx::TextAlignment::Center, gfx::LineBreakMode::TruncateTail, 1);
    if (!backRect().isEmpty()) {
        gfx::Font font = gfx::Font::systemFont(16);
        ctx.drawText("‹ " + m_backTitle, {b.x() + 10, b.y() + (b.height() - font.lineHeight()) / 2, 110, font.lineHeight()},
                     font, gfx::Color::fromRgb(0, 122, 255), gfx::TextAlignment::Left, gfx::LineBreakMode::TruncateTail, 1);
    }
}

void NavigationBarView::touchesEnded(const std::vector<Touch*>& touches, Event&)
{
    if (touches.empty() || !onBack)
        return;
    gfx::Rect back = backRect();
    if (!back.isEmpty() && back.contains(touches.front()->locationInView(this)))
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
