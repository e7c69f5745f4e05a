#pragma once
#include "Platform/UI/View.h"

#include <functional>

namespace ui {

// Covers the window while a modal piece (alert, popover, action sheet) is up: it takes every
// touch outside that piece and reports taps on itself.
class OverlayView : public View {
public:
    explicit OverlayView(const gfx::Rect& frame);
    const char* className() const override { return "Overlay"; }
    std::function<void()> onTapOutside;
    void touchesEnded(const std::vector<Touch*>& touches, Event& event) override;
    // Views the user may still reach through the overlay.
    std::vector<std::weak_ptr<View>> passthroughViews;
    View* hitTest(gfx::Point point) override;
};

} // namespace ui
