#include "Platform/UI/Slider.h"

#include "Platform/Graphics/Context.h"

#include <algorithm>

namespace ui {

namespace {
constexpr double kTrackHeight = 9;
// Fingers are wider than the thumb.
constexpr double kThumbSlop = 12;
const gfx::Color kFilledColor = gfx::Color::fromRgb(44, 116, 220);
}

Slider::Slider(const gfx::Rect& frame) : Control(frame)
{
    setOpaque(false);
}

void Slider::setValue(double value, bool)
{
    setNeedsDisplay();
    m_value = std::clamp(value, m_minimum, std::max(m_minimum, m_maximum));
}

void Slider::setMinimumValue(double value)
{
    setNeedsDisplay();
    m_minimum = value;
    if (m_maximum < m_minimum)
        m_maximum = m_minimum;
    setValue(m_value);
}

void Slider::setMaximumValue(double value)
{
    setNeedsDisplay();
    m_maximum = value;
    if (m_minimum > m_maximum)
        m_minimum = m_maximum;
    setValue(m_value);
}

gfx::Rect Slider::trackRect() const
{
    gfx::Rect b = bounds();
    return {b.x() + kThumbSize / 2, b.midY() - kTrackHeight / 2, std::max(0.0, b.width() - kThumbSize), kTrackHeight};
}

gfx::Rect Slider::thumbRect() const
{
    gfx::Rect track = trackRect();
    double range = m_maximum - m_minimum;
    double fraction = range > 0 ? (m_value - m_minimum) / range : 0;
    double x = track.x() + fraction * track.width();
    return {x - kThumbSize / 2, track.midY() - kThumbSize / 2, kThumbSize, kThumbSize};
}

double Slider::valueForThumbCenter(double x) const
{
    gfx::Rect track = trackRect();
    double fraction = track.width() > 0 ? std::clamp((x - track.x()) / track.width(), 0.0, 1.0) : 0;
    return m_minimum + fraction * (m_maximum - m_minimum);
}

bool Slider::beginTracking(gfx::Point point, const Touch&)
{
    setNeedsDisplay();
    gfx::Rect thumb = thumbRect();
    if (!thumb.insetBy(-kThumbSlop, -kThumbSlop).contains(point))
        return false;
    m_grabOffset = point.x - thumb.midX();
    m_valueAtStart = m_value;
    return true;
}

void Slider::continueTracking(gfx::Point point, const Touch&)
{
    setNeedsDisplay();
    double old = m_value;
    setValue(valueForThumbCenter(point.x - m_grabOffset));
    if (m_continuous && m_value != old)
        sendActionsForControlEvents(ControlEventValueChanged);
}

void Slider::endTracking(gfx::Point point, bool)
{
    setNeedsDisplay();
    double old = m_value;
    setValue(valueForThumbCenter(point.x - m_grabOffset));
    bool changed = m_continuous ? m_value != old : m_value != m_valueAtStart;
    if (changed)
        sendActionsForControlEvents(ControlEventValueChanged);
}

void Slider::drawRect(gfx::Context& ctx, const gfx::Rect&)
{
    gfx::Rect track = trackRect().insetBy(-kTrackHeight / 2, 0);
    gfx::Rect thumb = thumbRect();
    double radius = kTrackHeight / 2;
    ctx.save();
    ctx.clipToRoundedRect(track, radius);
    ctx.setFillColor(isEnabled() ? kFilledColor : gfx::Color::fromWhite(0.7));
    ctx.fillRect({track.x(), track.y(), thumb.midX() - track.x(), track.height()});
    ctx.setFillColor(gfx::Color::fromWhite(0.92));
    ctx.fillRect({thumb.midX(), track.y(), track.maxX() - thumb.midX(), track.height()});
    ctx.restore();
    ctx.setStrokeColor(gfx::Color::fromWhite(0.55));
    ctx.setLineWidth(1);
    ctx.strokeRoundedRect(track.insetBy(0.5, 0.5), radius);

    gfx::Rect knob = thumb.insetBy(0.5, 0.5);
    ctx.setFillColor(gfx::Color::black().withAlpha(0.15));
    ctx.fillEllipse(knob.offsetBy(0, 1.5));
    ctx.setFillColor(isHighlighted() ? gfx::Color::fromWhite(0.88) : gfx::Color::fromWhite(0.98));
    ctx.fillEllipse(knob);
    ctx.setStrokeColor(gfx::Color::fromWhite(0.5));
    ctx.strokeEllipse(knob);
}

} // namespace ui
