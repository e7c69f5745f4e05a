#include "Platform/UI/Switch.h"

#include "Platform/Graphics/Context.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {
constexpr double kKnobInset = 1;
constexpr double kDragSlop = 3;
constexpr double kAnimationDuration = 0.2;
const gfx::Color kOnColor = gfx::Color::fromRgb(0, 127, 234);
}

Switch::Switch() : Switch(gfx::Rect({0, 0}, kSize))
{
}

Switch::Switch(const gfx::Rect& frame) : Control(gfx::Rect(frame.origin, kSize)), m_knob(View::make<View>())
{
    setOpaque(false);
    m_knob->setUserInteractionEnabled(false);
    m_knob->setBackgroundColor(gfx::Color::fromWhite(0.97));
    m_knob->setBorderColor(gfx::Color::fromWhite(0.6));
    m_knob->setBorderWidth(1);
    double side = kSize.height - 2 * kKnobInset;
    m_knob->setCornerRadius(side / 2);
    addSubview(m_knob);
    placeKnob(false);
}

gfx::Rect Switch::knobFrame(bool on) const
{
    gfx::Rect b = bounds();
    double side = b.height() - 2 * kKnobInset;
    double x = on ? b.maxX() - kKnobInset - side : b.x() + kKnobInset;
    return {x, b.y() + kKnobInset, side, side};
}

void Switch::placeKnob(bool animated)
{
    gfx::Rect target = knobFrame(m_on);
    if (animated)
        View::animate(kAnimationDuration, [&] { m_knob->setFrame(target); });
    else
        m_knob->setFrame(target);
}

void Switch::boundsDidChange(const gfx::Rect&)
{
    if (m_knob)
        placeKnob(false);
}

void Switch::setOn(bool on, bool animated)
{
    setNeedsDisplay();
    m_on = on;
    placeKnob(animated);
}

void Switch::changeByUser(bool on)
{
    setNeedsDisplay();
    bool changed = on != m_on;
    setOn(on, true);
    if (changed)
        sendActionsForControlEvents(ControlEventValueChanged);
}

bool Switch::beginTracking(gfx::Point point, const Touch&)
{
    setNeedsDisplay();
    m_trackStart = point;
    m_knobStartX = m_knob->frame().x();
    m_dragged = false;
    return true;
}

void Switch::continueTracking(gfx::Point point, const Touch&)
{
    setNeedsDisplay();
    double dx = point.x - m_trackStart.x;
    if (!m_dragged && std::fabs(dx) < kDragSlop)
        return;
    m_dragged = true;
    gfx::Rect off = knobFrame(false), on = knobFrame(true);
    gfx::Rect f = off;
    f.origin.x = std::clamp(m_knobStartX + dx, off.x(), on.x());
    m_knob->setFrame(f);
}

void Switch::endTracking(gfx::Point, bool inside)
{
    setNeedsDisplay();
    if (m_dragged)
        changeByUser(m_knob->frame().midX() > bounds().midX());
    else if (inside)
        changeByUser(!m_on);
    else
        placeKnob(true);
}

void Switch::cancelTracking()
{
    setNeedsDisplay();
    placeKnob(true);
}

void Switch::setTitles(const std::string& on, const std::string& off)
{
    if (on == m_onTitle && off == m_offTitle)
        return;
    m_onTitle = on;
    m_offTitle = off;
    setNeedsDisplay();
}

void Switch::drawRect(gfx::Context& ctx, const gfx::Rect&)
{
    gfx::Rect b = bounds();
    double radius = b.height() / 2;
    // The split follows the knob as it is shown, so the colours slide with it.
    double split = m_knob->presentation().center.x;
    gfx::Rect track = b.insetBy(0.5, 0.5);
    ctx.save();
    ctx.clipToRoundedRect(track, radius);
    ctx.setFillColor(kOnColor);
    ctx.fillRect({b.x(), b.y(), split - b.x(), b.height()});
    ctx.setFillColor(gfx::Color::fromWhite(0.93));
    ctx.fillRect({split, b.y(), b.maxX() - split, b.height()});
    gfx::Font font = gfx::Font::boldSystemFont(13);
    double side = b.height();
    double textY = b.midY() - font.lineHeight() / 2;
    double textWidth = b.width() - side;
    ctx.drawText(m_onTitle, {split - side / 2 - textWidth, textY, textWidth, font.lineHeight()}, font, gfx::Color::white(),
                 gfx::TextAlignment::Center, gfx::LineBreakMode::Clip, 1);
    ctx.drawText(m_offTitle, {split + side / 2, textY, textWidth, font.lineHeight()}, font, gfx::Color::fromWhite(0.45),
                 gfx::TextAlignment::Center, gfx::LineBreakMode::Clip, 1);
    ctx.restore();
    ctx.setStrokeColor(gfx::Color::fromWhite(0.6));
    ctx.setLineWidth(1);
    ctx.strokeRoundedRect(track, radius);
}

} // namespace ui
