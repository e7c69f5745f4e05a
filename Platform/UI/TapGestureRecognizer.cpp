#include "Platform/UI/TapGestureRecognizer.h"

#include "Platform/Base/Timer.h"
#include "Platform/UI/Touch.h"

#include <cmath>

namespace ui {

namespace {
constexpr double kAllowableMovement = 10;
constexpr double kNextTapInterval = 0.35;
// Later taps of a multiple tap must land near the first.
constexpr double kNextTapDistance = 40;

double distance(gfx::Point a, gfx::Point b)
{
    return std::hypot(a.x - b.x, a.y - b.y);
}
}

TapGestureRecognizer::~TapGestureRecognizer()
{
    if (m_nextTapTimer)
        m_nextTapTimer->invalidate();
}

void TapGestureRecognizer::fail()
{
    if (m_nextTapTimer)
        m_nextTapTimer->invalidate();
    setState(State::Failed);
}

void TapGestureRecognizer::touchesBegan(const std::vector<Touch*>& touches, Event& event)
{
    GestureRecognizer::touchesBegan(touches, event);
    if (m_nextTapTimer)
        m_nextTapTimer->invalidate();
    for (Touch* t : touches) {
        m_starts[t] = t->locationInWindow();
        if (m_tapsDone > 0 && distance(t->locationInWindow(), m_firstTapPoint) > kNextTapDistance)
            return fail();
    }
    if (m_tapsDone == 0 && m_mostTouches == 0)
        m_firstTapPoint = locationInView(nullptr);
    m_mostTouches = std::max(m_mostTouches, numberOfTouches());
    if (numberOfTouches() > static_cast<size_t>(m_touchesRequired))
        fail();
}

void TapGestureRecognizer::touchesMoved(const std::vector<Touch*>& touches, Event& event)
{
    GestureRecognizer::touchesMoved(touches, event);
    for (Touch* t : touches) {
        auto it = m_starts.find(t);
        if (it != m_starts.end() && distance(t->locationInWindow(), it->second) > kAllowableMovement)
            return fail();
    }
}

void TapGestureRecognizer::touchesEnded(const std::vector<Touch*>& touches, Event& event)
{
    for (Touch* t : touches) {
        auto it = m_starts.find(t);
        if (it != m_starts.end() && distance(t->locationInWindow(), it->second) > kAllowableMovement)
            return fail();
    }
    GestureRecognizer::touchesEnded(touches, event);
    for (Touch* t : touches)
        m_starts.erase(t);
    if (numberOfTouches() > 0)
        return;
    // All fingers of this tap are up.
    if (m_mostTouches != static_cast<size_t>(m_touchesRequired))
        return fail();
    m_mostTouches = 0;
    if (++m_tapsDone >= m_tapsRequired) {
        setState(State::Ended);
        return;
    }
    std::weak_ptr<GestureRecognizer> weak = shared_from_this();
    m_nextTapTimer = base::Timer::scheduled(kNextTapInterval, false, [weak](base::Timer&) {
        auto self = std::static_pointer_cast<TapGestureRecognizer>(weak.lock());
        if (!self || self->state() != State::Possible)
            return;
        self->fail();
        // No finger is down to bring a reset later.
        if (self->numberOfTouches() == 0)
            self->reset();
    });
}

void TapGestureRecognizer::reset()
{
    GestureRecognizer::reset();
    if (m_nextTapTimer)
        m_nextTapTimer->invalidate();
    m_nextTapTimer.reset();
    m_tapsDone = 0;
    m_mostTouches = 0;
    m_starts.clear();
}

} // namespace ui
