#include "Platform/UI/ActivityIndicator.h"

#include "Platform/Base/Timer.h"
#include "Platform/Graphics/Context.h"

#include <cmath>
#include <numbers>

namespace ui {

namespace {
constexpr int kSpokes = 12;
constexpr double kStepInterval = 1.0 / kSpokes; // one turn a second
}

ActivityIndicator::ActivityIndicator(ActivityIndicatorStyle style) : m_style(style)
{
    setOpaque(false);
    setUserInteractionEnabled(false);
    setStyle(style);
    setHidden(true);
}

ActivityIndicator::~ActivityIndicator()
{
    if (m_timer)
        m_timer->invalidate();
}

void ActivityIndicator::setStyle(ActivityIndicatorStyle style)
{
    setNeedsDisplay();
    m_style = style;
    gfx::Point c = center();
    gfx::Size s = sizeThatFits({});
    setBounds({bounds().origin, s});
    setCenter(c);
}

gfx::Size ActivityIndicator::sizeThatFits(gfx::Size) const
{
    return m_style == ActivityIndicatorStyle::WhiteLarge ? gfx::Size{37, 37} : gfx::Size{20, 20};
}

void ActivityIndicator::startAnimating()
{
    if (m_timer)
        return;
    // Invalidated in stopAnimating and the destructor, so `this` outlives every firing.
    m_timer = base::Timer::scheduled(kStepInterval, true, [this](base::Timer&) {
        m_step = (m_step + 1) % kSpokes;
        setNeedsDisplay();
    });
    if (m_hidesWhenStopped)
        setHidden(false);
}

void ActivityIndicator::stopAnimating()
{
    if (!m_timer)
        return;
    m_timer->invalidate();
    m_timer.reset();
    if (m_hidesWhenStopped)
        setHidden(true);
}

void ActivityIndicator::setHidesWhenStopped(bool hides)
{
    m_hidesWhenStopped = hides;
    if (!isAnimating())
        setHidden(hides);
}

void ActivityIndicator::drawRect(gfx::Context& ctx, const gfx::Rect&)
{
    gfx::Rect b = bounds();
    double radius = std::min(b.width(), b.height()) / 2;
    double thickness = radius * 0.22;
    gfx::Color color = m_style == ActivityIndicatorStyle::Gray ? gfx::Color::fromWhite(0.45) : gfx::Color::white();
    ctx.save();
    ctx.translate(b.midX(), b.midY());
    for (int i = 0; i < kSpokes; ++i) {
        // The spoke at the current step is brightest; those behind it fade.
        int age = (m_step - i + kSpokes) % kSpokes;
        double alpha = 1.0 - 0.8 * age / (kSpokes - 1);
        ctx.save();
        ctx.rotate(2 * std::numbers::pi * i / kSpokes);
        ctx.setFillColor(color.withAlpha(alpha));
        ctx.fillRoundedRect({-thickness / 2, -radius, thickness, radius * 0.5}, thickness / 2);
        ctx.restore();
    }
    ctx.restore();
}

} // namespace ui
