#include "Platform/UI/LongPressGestureRecognizer.h"

#include "Platform/Base/Timer.h"
#include "Platform/UI/Touch.h"

#include <cmath>

namespace ui {

LongPressGestureRecognizer::~LongPressGestureRecognizer()
{
    if (m_timer)
        m_timer->invalidate();
}

void LongPressGestureRecognizer::fail()
{
    if (m_timer)
        m_timer->invalidate();
    setState(State::Failed);
}

void LongPressGestureRecognizer::touchesBegan(const std::vector<Touch*>& touches, Event& event)
{
    GestureRecognizer::touchesBegan(touches, event);
    if (state() != State::Possible)
        return;
    if (numberOfTouches() > 1)
        return fail();
    m_start = locationInView(nullptr);
    std::weak_ptr<GestureRecognizer> weak = shared_from_this();
    m_timer = base::Timer::scheduled(m_minimumDuration, false, [weak](base::Timer&) {
        auto self = weak.lock();
        if (self && self->state() == State::Possible && self->numberOfTouches() > 0)
            static_cast<LongPressGestureRecognizer*>(self.get())->setState(State::Began);
    });
}

void LongPressGestureRecognizer::touchesMoved(const std::vector<Touch*>& touches, Event& event)
{
    GestureRecognizer::touchesMoved(touches, event);
    if (isActive()) {
        setState(State::Changed);
        return;
    }
    gfx::Point p = locationInView(nullptr);
    if (std::hypot(p.x - m_start.x, p.y - m_start.y) > m_allowableMovement)
        fail();
}

void LongPressGestureRecognizer::touchesEnded(const std::vector<Touch*>& touches, Event& event)
{
    GestureRecognizer::touchesEnded(touches, event);
    if (numberOfTouches() > 0)
        return;
    if (isActive())
        setState(State::Ended);
    else
        fail(); // lifted too soon
}

void LongPressGestureRecognizer::reset()
{
    GestureRecognizer::reset();
    if (m_timer)
        m_timer->invalidate();
    m_timer.reset();
}

} // namespace ui
