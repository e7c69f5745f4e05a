#include "Platform/UI/PinchGestureRecognizer.h"

#include "Platform/UI/Touch.h"

#include <cmath>

namespace ui {

double PinchGestureRecognizer::fingerDistance() const
{
    auto& touches = trackedTouches();
    if (touches.size() < 2)
        return 0;
    gfx::Point d = touches[0]->locationInWindow() - touches[1]->locationInWindow();
    return std::hypot(d.x, d.y);
}

void PinchGestureRecognizer::setScale(double scale)
{
    double d = fingerDistance();
    if (scale > 0 && d > 0)
        m_startDistance = d / scale;
    m_previousScale = scale * (m_previousScale / (m_scale > 0 ? m_scale : 1));
    m_scale = scale;
}

void PinchGestureRecognizer::touchesBegan(const std::vector<Touch*>& touches, Event& event)
{
    if (numberOfTouches() >= 2)
        return; // a third finger is ignored
    GestureRecognizer::touchesBegan(touches, event);
    if (numberOfTouches() == 2) {
        m_startDistance = fingerDistance();
        m_scale = 1;
        m_velocity = 0;
        m_lastTime = event.timestamp();
        m_previousTime = m_lastTime;
        m_previousScale = 1;
    }
}

void PinchGestureRecognizer::touchesMoved(const std::vector<Touch*>& touches, Event& event)
{
    GestureRecognizer::touchesMoved(touches, event);
    if (numberOfTouches() < 2 || m_startDistance <= 0)
        return;
    double d = fingerDistance();
    double scale = d / m_startDistance;
    // Moves of one moment (each finger reports on its own) share one velocity sample.
    double t = event.timestamp();
    if (t > m_lastTime) {
        m_previousScale = m_scale;
        m_previousTime = m_lastTime;
        m_lastTime = t;
    }
    if (m_lastTime > m_previousTime)
        m_velocity = (scale - m_previousScale) / (m_lastTime - m_previousTime);
    m_scale = scale;
    if (isActive())
        setState(State::Changed);
    else if (state() == State::Possible && std::fabs(d - m_startDistance) > kSlop)
        setState(State::Began);
}

void PinchGestureRecognizer::touchesEnded(const std::vector<Touch*>& touches, Event& event)
{
    bool wasTracked = false;
    for (Touch* t : touches)
        for (Touch* mine : trackedTouches())
            wasTracked = wasTracked || mine == t;
    if (!wasTracked)
        return;
    GestureRecognizer::touchesEnded(touches, event);
    if (isActive())
        setState(State::Ended);
    else if (state() == State::Possible && numberOfTouches() == 0)
        setState(State::Failed);
}

void PinchGestureRecognizer::reset()
{
    GestureRecognizer::reset();
    m_startDistance = 0;
    m_scale = 1;
    m_velocity = 0;
}

} // namespace ui
