#pragma once
#include "Platform/UI/GestureRecognizer.h"

namespace ui {

// Recognizes a quick stroke of one finger, mostly along one of the allowed directions.
class SwipeGestureRecognizer : public GestureRecognizer {
public:
    enum Direction : unsigned { Right = 1 << 0, Left = 1 << 1, Up = 1 << 2, Down = 1 << 3 };
    static constexpr double kMinimumDistance = 50;
    static constexpr double kMaximumDuration = 0.5;

    const char* className() const override { return "SwipeGestureRecognizer"; }

    unsigned direction() const { return m_direction; }
    void setDirection(unsigned directions) { m_direction = directions; }
    // The direction of the last recognized swipe.
    Direction recognizedDirection() const { return m_recognized; }

    void touchesBegan(const std::vector<Touch*>& touches, Event& event) override;
    void touchesMoved(const std::vector<Touch*>& touches, Event& event) override;
    void touchesEnded(const std::vector<Touch*>& touches, Event& event) override;

private:
    bool check(double time);

    unsigned m_direction = Right;
    Direction m_recognized = Right;
    gfx::Point m_start;
    double m_startTime = 0;
};

} // namespace ui
