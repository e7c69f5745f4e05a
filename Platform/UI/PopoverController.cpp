#include "Platform/UI/PopoverController.h"

#include "Platform/Graphics/Context.h"
#include "Platform/UI/OverlayView.h"
#include "Platform/UI/ViewController.h"
#include "Platform/UI/Window.h"

#include <algorithm>

namespace ui {

namespace {
constexpr double kArrow = 13;
constexpr double kBorder = 6;
constexpr double kMargin = 10; // from the screen's edges

// The dark frame with its arrow; the content sits inside the border.
class PopoverBoxView : public View {
public:
    PopoverBoxView(const gfx::Rect& frame, PopoverArrowDirection arrow, double arrowAt)
        : View(frame), m_arrow(arrow), m_arrowAt(arrowAt)
    {
    }
    const char* className() const override { return "Popover"; }
    void drawRect(gfx::Context& ctx, const gfx::Rect&) override
    {
        gfx::Rect b = bounds();
        gfx::Rect body = b;
        switch (m_arrow) {
        case PopoverArrowDirectionUp: body = {b.x(), b.y() + kArrow, b.width(), b.height() - kArrow}; break;
        case PopoverArrowDirectionDown: body = {b.x(), b.y(), b.width(), b.height() - kArrow}; break;
        case PopoverArrowDirectionLeft: body = {b.x() + kArrow, b.y(), b.width() - kArrow, b.height()}; break;
        default: body = {b.x(), b.y(), b.width() - kArrow, b.height()}; break;
        }
        gfx::Color frameColor = gfx::Color::fromRgb(30, 38, 52).withAlpha(0.95);
        ctx.setFillColor(frameColor);
        ctx.fillRoundedRect(body, 8);
        ctx.beginPath();
        switch (m_arrow) {
        case PopoverArrowDirectionUp:
            ctx.moveTo({m_arrowAt - kArrow, body.y()});
            ctx.lineTo({m_arrowAt, b.y()});
            ctx.lineTo({m_arrowAt + kArrow, body.y()});
            break;
        case PopoverArrowDirectionDown:
            ctx.moveTo({m_arrowAt - kArrow, body.maxY()});
            ctx.lineTo({m_arrowAt, b.maxY()});
            ctx.lineTo({m_arrowAt + kArrow, body.maxY()});
            break;
        case PopoverArrowDirectionLeft:
            ctx.moveTo({body.x(), m_arrowAt - kArrow});
            ctx.lineTo({b.x(), m_arrowAt});
            ctx.lineTo({body.x(), m_arrowAt + kArrow});
            break;
        default:
            ctx.moveTo({body.maxX(), m_arrowAt - kArrow});
            ctx.lineTo({b.maxX(), m_arrowAt});
            ctx.lineTo({body.maxX(), m_arrowAt + kArrow});
            break;
        }
        ctx.closePath();
        ctx.fillPath();
    }

private:
    PopoverArrowDirection m_arrow;
    double m_arrowAt;
};
}

PopoverController::PopoverController(std::shared_ptr<ViewController> content)
    : m_content(std::move(content)), m_size(m_content ? m_content->contentSizeForViewInPopover() : gfx::Size{320, 480})
{
}

PopoverController::~PopoverController()
{
    if (m_overlay)
        m_overlay->removeFromSuperview();
}

gfx::Size PopoverController::popoverContentSize() const
{
    return m_size;
}

void PopoverController::setPassthroughViews(const std::vector<std::shared_ptr<View>>& views)
{
    m_passthrough.assign(views.begin(), views.end());
    if (m_overlay)
        m_overlay->passthroughViews = m_passthrough;
}

gfx::Rect PopoverController::popoverFrame() const
{
    return m_box ? m_box->frame() : gfx::Rect::null();
}

void PopoverController::presentPopoverFromRect(const gfx::Rect& rect, View* view, unsigned arrows, bool animated)
{
    Window* window = view ? view->window() : Window::keyWindow();
    if (!window || !m_content)
        return;
    if (m_visible)
        dismissPopoverAnimated(false);
    gfx::Rect anchor = view ? view->convertRectToView(rect, nullptr) : rect;
    gfx::Rect screen = window->bounds().insetBy(kMargin, kMargin);
    gfx::Size content = m_size;
    double w = content.width + 2 * kBorder, h = content.height + 2 * kBorder;
    if (arrows == 0)
        arrows = PopoverArrowDirectionAny;

    // The first direction, in the usual order of preference, with room for the box.
    struct Choice {
        PopoverArrowDirection dir;
        double room;
    };
    std::vector<Choice> choices = {
        {PopoverArrowDirectionUp, screen.maxY() - anchor.maxY()},
        {PopoverArrowDirectionDown, anchor.minY() - screen.minY()},
        {PopoverArrowDirectionLeft, screen.maxX() - anchor.maxX()},
        {PopoverArrowDirectionRight, anchor.minX() - screen.minX()},
    };
    PopoverArrowDirection dir = PopoverArrowDirectionUp;
    double best = -1;
    bool found = false;
    for (auto& c : choices) {
        if (!(arrows & c.dir))
            continue;
        double need = (c.dir == PopoverArrowDirectionUp || c.dir == PopoverArrowDirectionDown) ? h + kArrow : w + kArrow;
        if (c.room >= need) {
            dir = c.dir;
            found = true;
            break;
        }
        if (c.room > best) {
            best = c.room;
            dir = c.dir;
        }
    }
    (void)found;
    m_arrow = dir;
    gfx::Rect frame;
    double arrowAt = 0;
    bool vertical = dir == PopoverArrowDirectionUp || dir == PopoverArrowDirectionDown;
    if (vertical) {
        double x = std::clamp(anchor.midX() - w / 2, screen.minX(), std::max(screen.minX(), screen.maxX() - w));
        double y = dir == PopoverArrowDirectionUp ? anchor.maxY() : anchor.minY() - h - kArrow;
        frame = {x, y, w, h + kArrow};
        arrowAt = std::clamp(anchor.midX() - x, kArrow + 8, w - kArrow - 8);
    } else {
        double y = std::clamp(anchor.midY() - h / 2, screen.minY(), std::max(screen.minY(), screen.maxY() - h));
        double x = dir == PopoverArrowDirectionLeft ? anchor.maxX() : anchor.minX() - w - kArrow;
        frame = {x, y, w + kArrow, h};
        arrowAt = std::clamp(anchor.midY() - y, kArrow + 8, h - kArrow - 8);
    }

    m_overlay = std::make_shared<OverlayView>(window->bounds());
    m_overlay->passthroughViews = m_passthrough;
    std::weak_ptr<PopoverController> weak = shared_from_this();
    m_overlay->onTapOutside = [weak] {
        if (auto self = weak.lock())
            self->tappedOutside();
    };
    m_box = std::make_shared<PopoverBoxView>(frame, dir, arrowAt);
    auto contentView = m_content->view();
    double cx = kBorder + (dir == PopoverArrowDirectionLeft ? kArrow : 0);
    double cy = kBorder + (dir == PopoverArrowDirectionUp ? kArrow : 0);
    contentView->setFrame({cx, cy, content.width, content.height});
    contentView->setClipsToBounds(true);
    contentView->setCornerRadius(4);
    m_content->beginAppearanceTransition(true, animated);
    m_box->addSubview(contentView);
    m_overlay->addSubview(m_box);
    window->addSubview(m_overlay);
    m_visible = true;
    // Laid out as it shows, so that a field of its own is there to take the keys at once.
    m_box->layoutIfNeeded();
    auto finish = [content = m_content](bool) { content->endAppearanceTransition(); };
    if (animated) {
        m_box->setAlpha(0);
        View::animate(0.2, [&] { m_box->setAlpha(1); }, finish);
    } else {
        finish(true);
    }
}

void PopoverController::dismissPopoverAnimated(bool animated)
{
    if (!m_visible)
        return;
    m_visible = false;
    auto overlay = m_overlay;
    auto box = m_box;
    auto content = m_content;
    m_overlay.reset();
    // Going, it is no longer a layer: keys and clicks reach what it leaves uncovered.
    overlay->onTapOutside = nullptr;
    overlay->setUserInteractionEnabled(false);
    content->beginAppearanceTransition(false, animated);
    auto finish = [overlay, box, content](bool) {
        if (content->isViewLoaded())
            content->view()->removeFromSuperview();
        overlay->removeFromSuperview();
        content->endAppearanceTransition();
    };
    if (animated)
        View::animate(0.2, [&] { box->setAlpha(0); }, finish);
    else
        finish(true);
}

void PopoverController::tappedOutside()
{
    auto keep = shared_from_this();
    if (m_delegate && !m_delegate->popoverControllerShouldDismissPopover(*this))
        return;
    dismissPopoverAnimated(true);
    if (m_delegate)
        m_delegate->popoverControllerDidDismissPopover(*this);
}

} // namespace ui
