#pragma once
#include "Platform/Graphics/Geometry.h"

#include <memory>
#include <vector>

namespace ui {

class View;
class ViewController;
class OverlayView;
class PopoverController;

enum PopoverArrowDirection : unsigned {
    PopoverArrowDirectionUp = 1 << 0,
    PopoverArrowDirectionDown = 1 << 1,
    PopoverArrowDirectionLeft = 1 << 2,
    PopoverArrowDirectionRight = 1 << 3,
    PopoverArrowDirectionAny = 0xf,
};

class PopoverControllerDelegate {
public:
    virtual ~PopoverControllerDelegate() = default;
    virtual bool popoverControllerShouldDismissPopover(PopoverController&) { return true; }
    // Only when the user dismissed it by tapping outside.
    virtual void popoverControllerDidDismissPopover(PopoverController&) {}
};

// Shows a controller's view in a floating box with an arrow pointing at a rectangle.
class PopoverController : public std::enable_shared_from_this<PopoverController> {
public:
    explicit PopoverController(std::shared_ptr<ViewController> content);
    ~PopoverController();

    std::shared_ptr<ViewController> contentViewController() const { return m_content; }
    gfx::Size popoverContentSize() const;
    void setPopoverContentSize(gfx::Size size) { m_size = size; }
    void setDelegate(PopoverControllerDelegate* delegate) { m_delegate = delegate; }
    void setPassthroughViews(const std::vector<std::shared_ptr<View>>& views);
    // Callers may ask for a background style by number; the box always draws the same.
    int popoverBackgroundStyle() const { return m_backgroundStyle; }
    void setPopoverBackgroundStyle(int style) { m_backgroundStyle = style; }

    // rect is in view's coordinates.
    void presentPopoverFromRect(const gfx::Rect& rect, View* view, unsigned arrowDirections, bool animated);
    void dismissPopoverAnimated(bool animated);
    bool isPopoverVisible() const { return m_visible; }
    PopoverArrowDirection popoverArrowDirection() const { return m_arrow; }
    // The box on screen, in window coordinates.
    gfx::Rect popoverFrame() const;

private:
    void tappedOutside();

    std::shared_ptr<ViewController> m_content;
    gfx::Size m_size;
    PopoverControllerDelegate* m_delegate = nullptr;
    std::vector<std::weak_ptr<View>> m_passthrough;
    std::shared_ptr<OverlayView> m_overlay;
    std::shared_ptr<View> m_box;
    PopoverArrowDirection m_arrow = PopoverArrowDirectionUp;
    bool m_visible = false;
    int m_backgroundStyle = 0;
};

} // namespace ui
