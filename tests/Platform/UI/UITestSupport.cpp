#include "UITestSupport.h"

#include "Platform/UI/Touch.h"

namespace uitest {

void RecordingView::record(const char* what, const std::vector<ui::Touch*>& t)
{
    log.push_back(what);
    if (!t.empty()) {
        points.push_back(t.front()->locationInView(this));
        lastTapCount = t.front()->tapCount();
    }
}

} // namespace uitest
