#pragma once
#include "Platform/UI/GestureRecognizer.h"

#include <deque>
#include <utility>

namespace ui {

// Begins once the touches have moved beyond a small slop; reports the translation of their
// centroid and its recent velocity.
class PanGestureRecognizer : public GestureRecognizer {
public:
    static constexpr double kSlop = 10;

    const char* className() const override { return "PanGestureRecognizer"; }

    size_t minimumNumberOfTouches() const { return m_minimumTouches; }
    void setMinimumNumberOfTouches(size_t n) { m_minimumTouches = n < 1 ? 1 : n; }
    size_t maximumNumberOfTouches() const { return m_maximumTouches; }
    void setMaximumNumberOfTouches(size_t n) { m_maximumTouches = n; }

    // Movement since the touches began (or since setTranslation), in `view`'s coordinates.
    gfx::Point translationInView(const View* view) const;
    void setTranslation(gfx::Point translation, const View* view);
    // Points per second over the last moments of movement.
    gfx::Point velocityInView(const View* view) const;

    void touchesBegan(const std::vector<Touch*>& touches, Event& event) override;
    void touchesMoved(const std::vector<Touch*>& touches, Event& event) override;
    void touchesEnded(const std::vector<Touch*>& touches, Event& event) override;
    void reset() override;

private:
    void sample(double time);
    gfx::Point vectorInView(gfx::Point fromWindow, gfx::Point toWindow, const View* view) const;

    size_t m_minimumTouches = 1;
    size_t m_maximumTouches = 1000;
    gfx::Point m_origin;   // window point where the translation is zero
    gfx::Point m_centroid; // last centroid, window points
    std::deque<std::pair<double, gfx::Point>> m_samples;
};

} // namespace ui
