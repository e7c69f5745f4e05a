#pragma once
#include "Platform/UI/View.h"

namespace ui {

enum class ProgressViewStyle { Default, Bar };

// A horizontal bar filled to a fraction.
class ProgressView : public View {
public:
    explicit ProgressView(ProgressViewStyle style = ProgressViewStyle::Default);
    ProgressView(ProgressViewStyle style, const gfx::Rect& frame);
    const char* className() const override { return "ProgressView"; }

    ProgressViewStyle style() const { return m_style; }
    void setStyle(ProgressViewStyle style) { m_style = style; setNeedsDisplay(); }
    double progress() const { return m_progress; }
    // Clamped to 0..1.
    void setProgress(double progress);

    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

private:
    ProgressViewStyle m_style;
    double m_progress = 0;
};

} // namespace ui
