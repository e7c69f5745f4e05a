#pragma once
#include "Platform/UI/Control.h"

namespace ui {

// A value between a minimum and a maximum, set by dragging the thumb along a track.
class Slider : public Control {
public:
    static constexpr double kThumbSize = 23;

    Slider() : Slider(gfx::Rect{}) {}
    explicit Slider(const gfx::Rect& frame);
    const char* className() const override { return "Slider"; }

    double value() const { return m_value; }
    // Clamped to the range; no events.
    void setValue(double value, bool animated = false);
    double minimumValue() const { return m_minimum; }
    void setMinimumValue(double value);
    double maximumValue() const { return m_maximum; }
    void setMaximumValue(double value);
    // Continuous sliders report every move; others report once, when the finger lifts.
    bool isContinuous() const { return m_continuous; }
    void setContinuous(bool continuous) { m_continuous = continuous; }

    gfx::Rect trackRect() const;
    gfx::Rect thumbRect() const;

    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

protected:
    // The knob's shadow hangs below a slider as tall as the knob.
    double drawingOutset() const override { return 2; }
    bool beginTracking(gfx::Point point, const Touch& touch) override;
    void continueTracking(gfx::Point point, const Touch& touch) override;
    void endTracking(gfx::Point point, bool inside) override;

private:
    double valueForThumbCenter(double x) const;

    double m_value = 0;
    double m_minimum = 0;
    double m_maximum = 1;
    bool m_continuous = true;
    double m_grabOffset = 0;
    double m_valueAtStart = 0;
};

} // namespace ui
