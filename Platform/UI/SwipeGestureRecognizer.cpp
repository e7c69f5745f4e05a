#include "Platform/UI/SwipeGestureRecognizer.h"

#include "Platform/UI/Touch.h"

#include <cmath>

namespace ui {

void SwipeGestureRecognizer::touchesBegan(const std::vector<Touch*>& touches, Event& event)
{
    GestureRecognizer::touchesBegan(touches, event);
    if (numberOfTouches() > 1) {
        setState(State::Failed);
        return;
    }
    m_start = locationInView(nullptr);
    m_startTime = event.timestamp();
}

// Recognizes when the stroke is long enough; answers whether the gesture is settled.
bool SwipeGestureRecognizer::check(double time)
{
    gfx::Point d = locationInView(nullptr) - m_start;
    const std::pair<Direction, double> along[] = {{Right, d.x}, {Left, -d.x}, {Down, d.y}, {Up, -d.y}};
    for (auto [dir, distance] : along) {
        if (!(m_direction & dir) || distance < kMinimumDistance)
            continue;
        bool horizontal = dir == Right || dir == Left;
        double across = std::fabs(horizontal ? d.y : d.x);
        // Mostly along the direction: within about 27 degrees of it.
        if (across <= distance / 2) {
            m_recognized = dir;
            setState(State::Ended);
            return true;
        }
    }
    if (time - m_startTime > kMaximumDuration) {
        setState(State::Failed); // too slow to be a swipe
        return true;
    }
    return false;
}

void SwipeGestureRecognizer::touchesMoved(const std::vector<Touch*>& touches, Event& event)
{
    GestureRecognizer::touchesMoved(touches, event);
    if (state() == State::Possible)
        check(event.timestamp());
}

void SwipeGestureRecognizer::touchesEnded(const std::vector<Touch*>& touches, Event& event)
{
    if (state() == State::Possible && !check(event.timestamp()))
        setState(State::Failed);
    GestureRecognizer::touchesEnded(touches, event);
}

} // namespace ui
