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

// Under the sanitizers: fontconfig leaks a few bytes of its own configuration on Pango's
// thread; full unwinding lets the shared suppression name it.
extern "C" const char* __lsan_default_options()
{
    return "suppressions=" BRIVANTA_SOURCE_DIR "/tests/lsan.supp:fast_unwind_on_malloc=0";
}
