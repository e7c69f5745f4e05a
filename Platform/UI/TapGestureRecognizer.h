#pragma once
#include "Platform/UI/GestureRecognizer.h"

#include <map>

namespace base {
class Timer;
}

namespace ui {

// Recognizes when the required fingers touch and lift, the required number of times, without
// moving; a further tap must follow within a short interval.
class TapGestureRecognizer : public GestureRecognizer {
public:
    ~TapGestureRecognizer() override;
    const char* className() const override { return "TapGestureRecognizer"; }

    int numberOfTapsRequired() const { return m_tapsRequired; }
    void setNumberOfTapsRequired(int taps) { m_tapsRequired = taps < 1 ? 1 : taps; }
    int numberOfTouchesRequired() const { return m_touchesRequired; }
    void setNumberOfTouchesRequired(int touches) { m_touchesRequired = touches < 1 ? 1 : touches; }

    void touchesBegan(const std::vector<Touch*>& touches, Event& event) override;
    void touchesMoved(const std::vector<Touch*>& touches, Event& event) override;
    void touchesEnded(const std::vector<Touch*>& touches, Event& event) override;
    void reset() override;
    bool yieldsToControls() const override { return true; }

private:
    void fail();

    int m_tapsRequired = 1;
    int m_touchesRequired = 1;
    int m_tapsDone = 0;
    size_t m_mostTouches = 0; // fingers down together during the current tap
    std::map<const Touch*, gfx::Point> m_starts;
    gfx::Point m_firstTapPoint;
    std::shared_ptr<base::Timer> m_nextTapTimer;
};

} // namespace ui
