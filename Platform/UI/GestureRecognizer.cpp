#include "Platform/UI/GestureRecognizer.h"

#include "Platform/UI/Touch.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

#include <algorithm>

namespace ui {

void GestureRecognizer::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (!enabled && isActive())
        setState(State::Cancelled);
}

gfx::Point GestureRecognizer::locationInView(const View* view) const
{
    gfx::Point windowPoint = m_lastLocation;
    if (!m_touches.empty()) {
        double x = 0, y = 0;
        for (Touch* t : m_touches) {
            x += t->locationInWindow().x;
            y += t->locationInWindow().y;
        }
        windowPoint = {x / static_cast<double>(m_touches.size()), y / static_cast<double>(m_touches.size())};
    }
    return view ? view->convertPointFromView(windowPoint, nullptr) : windowPoint;
}

void GestureRecognizer::track(const std::vector<Touch*>& touches)
{
    for (Touch* t : touches)
        if (std::find(m_touches.begin(), m_touches.end(), t) == m_touches.end())
            m_touches.push_back(t);
    m_lastLocation = locationInView(nullptr);
}

void GestureRecognizer::untrack(const std::vector<Touch*>& touches)
{
    m_lastLocation = locationInView(nullptr);
    for (Touch* t : touches)
        m_touches.erase(std::remove(m_touches.begin(), m_touches.end(), t), m_touches.end());
}

void GestureRecognizer::touchesBegan(const std::vector<Touch*>& touches, Event&)
{
    track(touches);
}

void GestureRecognizer::touchesMoved(const std::vector<Touch*>&, Event&)
{
    m_lastLocation = locationInView(nullptr);
}

void GestureRecognizer::touchesEnded(const std::vector<Touch*>& touches, Event&)
{
    untrack(touches);
}

void GestureRecognizer::touchesCancelled(const std::vector<Touch*>& touches, Event&)
{
    untrack(touches);
    if (isActive())
        setState(State::Cancelled);
    else if (m_state == State::Possible)
        setState(State::Failed);
}

void GestureRecognizer::reset()
{
    m_state = State::Possible;
    m_touches.clear();
}

void GestureRecognizer::setState(State state)
{
    if (state == m_state && state != State::Changed)
        return;
    bool starting = m_state == State::Possible && (state == State::Began || state == State::Ended);
    if (starting && m_delegate && !m_delegate->gestureRecognizerShouldBegin(*this)) {
        m_state = State::Failed;
        return;
    }
    m_state = state;
    if (state == State::Failed || state == State::Possible)
        return;
    if (starting && m_view && m_view->window())
        m_view->window()->gestureRecognizerDidBegin(*this);
    auto keep = shared_from_this();
    auto actions = m_actions; // an action may add targets
    for (auto& action : actions)
        action(*this);
}

} // namespace ui
