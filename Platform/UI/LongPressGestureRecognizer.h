#pragma once
#include "Platform/UI/GestureRecognizer.h"

namespace base {
class Timer;
}

namespace ui {

// Begins once a finger has stayed down, within a small movement, for the minimum duration;
// changes as it moves and ends when it lifts.
class LongPressGestureRecognizer : public GestureRecognizer {
public:
    ~LongPressGestureRecognizer() override;
    const char* className() const override { return "LongPressGestureRecognizer"; }

    double minimumPressDuration() const { return m_minimumDuration; }
    void setMinimumPressDuration(double seconds) { m_minimumDuration = seconds; }
    double allowableMovement() const { return m_allowableMovement; }
    void setAllowableMovement(double points) { m_allowableMovement = points; }

    void touchesBegan(const std::vector<Touch*>& touches, Event& event) override;
    void touchesMoved(const std::vector<Touch*>& touches, Event& event) override;
    void touchesEnded(const std::vector<Touch*>& touches, Event& event) override;
    void reset() override;

private:
    void fail();

    double m_minimumDuration = 0.5;
    double m_allowableMovement = 10;
    gfx::Point m_start;
    std::shared_ptr<base::Timer> m_timer;
};

} // namespace ui
