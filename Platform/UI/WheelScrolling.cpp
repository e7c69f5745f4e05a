#include "Platform/UI/ScrollView.h"
#include "Platform/UI/Window.h"

namespace ui {

bool Window::scrollWheel(gfx::Point point, double dx, double dy)
{
    layoutIfNeeded();
    m_pointer = point;
    for (View* v = hitTest(point); v; v = v->superview())
        if (auto* scroll = dynamic_cast<ScrollView*>(v); scroll && scroll->scrollByWheel({dx, dy}))
            return true;
    return false;
}

} // namespace ui
