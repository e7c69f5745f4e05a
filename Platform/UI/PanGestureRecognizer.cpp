#include "Platform/UI/PanGestureRecognizer.h"

#include "Platform/UI/Touch.h"
#include "Platform/UI/View.h"

#include <cmath>

namespace ui {

namespace {
// Velocity looks this far back, so a finger that stops before lifting has none.
constexpr double kVelocityWindow = 0.1;
}

gfx::Point PanGestureRecognizer::vectorInView(gfx::Point from, gfx::Point to, const View* v) const
{
    if (!v)
        return to - from;
    return v->convertPointFromView(to, nullptr) - v->convertPointFromView(from, nullptr);
}

gfx::Point PanGestureRecognizer::translationInView(const View* v) const
{
    return vectorInView(m_origin, m_centroid, v);
}

void PanGestureRecognizer::setTranslation(gfx::Point translation, const View* v)
{
    if (!v) {
        m_origin = m_centroid - translation;
        return;
    }
    gfx::Point current = v->convertPointFromView(m_centroid, nullptr);
    m_origin = v->convertPointToView(current - translation, nullptr);
}

gfx::Point PanGestureRecognizer::velocityInView(const View* v) const
{
    if (m_samples.size() < 2)
        return {};
    auto& [t0, p0] = m_samples.front();
    auto& [t1, p1] = m_samples.back();
    double dt = t1 - t0;
    if (dt <= 0)
        return {};
    gfx::Point d = vectorInView(p0, p1, v);
    return {d.x / dt, d.y / dt};
}

void PanGestureRecognizer::sample(double time)
{
    m_samples.emplace_back(time, m_centroid);
    while (m_samples.size() > 1 && time - m_samples.front().first > kVelocityWindow)
        m_samples.pop_front();
}

void PanGestureRecognizer::touchesBegan(const std::vector<Touch*>& touches, Event& event)
{
    if (isActive() && numberOfTouches() >= m_maximumTouches)
        return; // extra fingers do not join a running pan
    gfx::Point before = m_centroid;
    bool first = numberOfTouches() == 0;
    GestureRecognizer::touchesBegan(touches, event);
    m_centroid = locationInView(nullptr);
    if (first) {
        m_origin = m_centroid;
        m_samples.clear();
    } else {
        // A finger joining moves the centroid, not the content.
        m_origin = m_origin + (m_centroid - before);
        m_samples.clear();
    }
    sample(event.timestamp());
    if (state() == State::Possible && numberOfTouches() > m_maximumTouches)
        setState(State::Failed);
}

void PanGestureRecognizer::touchesMoved(const std::vector<Touch*>& touches, Event& event)
{
    GestureRecognizer::touchesMoved(touches, event);
    m_centroid = locationInView(nullptr);
    sample(event.timestamp());
    if (isActive()) {
        setState(State::Changed);
        return;
    }
    if (state() != State::Possible || numberOfTouches() < m_minimumTouches)
        return;
    gfx::Point t = m_centroid - m_origin;
    if (std::hypot(t.x, t.y) > kSlop)
        setState(State::Began);
}

void PanGestureRecognizer::touchesEnded(const std::vector<Touch*>& touches, Event& event)
{
    size_t before = numberOfTouches();
    if (before > 0) {
        // Where the lifting fingers ended counts as movement.
        m_centroid = locationInView(nullptr);
        sample(event.timestamp());
    }
    GestureRecognizer::touchesEnded(touches, event);
    if (numberOfTouches() > 0 && numberOfTouches() != before) {
        gfx::Point old = m_centroid;
        m_centroid = locationInView(nullptr);
        m_origin = m_origin + (m_centroid - old);
        m_samples.clear();
        sample(event.timestamp());
    }
    if (isActive()) {
        if (numberOfTouches() < m_minimumTouches)
            setState(State::Ended);
    } else if (numberOfTouches() == 0 && state() == State::Possible) {
        setState(State::Failed);
    }
}

void PanGestureRecognizer::reset()
{
    GestureRecognizer::reset();
    m_samples.clear();
}

} // namespace ui
