#include "Platform/UI/ProgressView.h"

#include "Platform/Graphics/Context.h"

#include <algorithm>

namespace ui {

namespace {
const gfx::Color kFillColor = gfx::Color::fromRgb(44, 116, 220);
}

ProgressView::ProgressView(ProgressViewStyle style) : ProgressView(style, {})
{
}

ProgressView::ProgressView(ProgressViewStyle style, const gfx::Rect& frame) : View(frame), m_style(style)
{
    setOpaque(false);
    setUserInteractionEnabled(false);
}

void ProgressView::setProgress(double progress)
{
    setNeedsDisplay();
    m_progress = std::clamp(progress, 0.0, 1.0);
}

void ProgressView::drawRect(gfx::Context& ctx, const gfx::Rect&)
{
    gfx::Rect b = bounds();
    gfx::Rect filled(b.x(), b.y(), b.width() * m_progress, b.height());
    if (m_style == ProgressViewStyle::Bar) {
        ctx.setFillColor(gfx::Color::fromWhite(0.85));
        ctx.fillRect(b);
        ctx.setFillColor(kFillColor);
        ctx.fillRect(filled);
        return;
    }
    gfx::Rect track = b.insetBy(0.5, 0.5);
    double radius = track.height() / 2;
    ctx.setFillColor(gfx::Color::white());
    ctx.fillRoundedRect(track, radius);
    if (m_progress > 0) {
        ctx.save();
        ctx.clipToRoundedRect(track, radius);
        ctx.fillLinearGradient(filled, {b.x(), b.y()}, {b.x(), b.maxY()},
                               {{0, gfx::Color::fromRgb(110, 165, 240)}, {1, kFillColor}});
        ctx.restore();
    }
    ctx.setStrokeColor(gfx::Color::fromWhite(0.55));
    ctx.setLineWidth(1);
    ctx.strokeRoundedRect(track, radius);
}

} // namespace ui
