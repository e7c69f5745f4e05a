#include "Platform/UI/OverlayView.h"

#include "Platform/UI/Touch.h"

namespace ui {

OverlayView::OverlayView(const gfx::Rect& frame) : View(frame)
{
    setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
}

void OverlayView::touchesEnded(const std::vector<Touch*>& touches, Event&)
{
    if (touches.empty() || touches.front()->view() != this)
        return;
    if (onTapOutside) {
        auto keep = sharedView();
        auto callback = onTapOutside;
        callback();
    }
}

View* OverlayView::hitTest(gfx::Point point)
{
    View* hit = View::hitTest(point);
    if (hit != this)
        return hit;
    for (auto& weak : passthroughViews) {
        auto target = weak.lock();
        if (!target || !superview())
            continue;
        gfx::Point p = target->convertPointFromView(convertPointToView(point, nullptr), nullptr);
        if (View* through = target->hitTest(p))
            return through;
    }
    return this;
}

} // namespace ui
