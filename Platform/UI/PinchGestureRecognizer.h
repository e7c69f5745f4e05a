#pragma once
#include "Platform/UI/GestureRecognizer.h"

namespace ui {

// Two fingers moving apart or together: the scale is their distance over the distance when
// the second finger came down.
class PinchGestureRecognizer : public GestureRecognizer {
public:
    static constexpr double kSlop = 8;

    const char* className() const override { return "PinchGestureRecognizer"; }

    double scale() const { return m_scale; }
    // Rebases the scale so the current finger distance gives `scale`.
    void setScale(double scale);
    // Scale per second, over the last movement.
    double velocity() const { return m_velocity; }

    void touchesBegan(const std::vector<Touch*>& touches, Event& event) override;
    void touchesMoved(const std::vector<Touch*>& touches, Event& event) override;
    void touchesEnded(const std::vector<Touch*>& touches, Event& event) override;
    void reset() override;

private:
    double fingerDistance() const;

    double m_startDistance = 0;
    double m_scale = 1;
    double m_velocity = 0;
    double m_lastTime = 0;
    double m_previousScale = 1;
    double m_previousTime = 0;
};

} // namespace ui
