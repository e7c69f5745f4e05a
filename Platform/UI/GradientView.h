#pragma once
#include "Platform/Graphics/Context.h"
#include "Platform/UI/View.h"

#include <vector>

namespace ui {

// A view filled with a vertical gradient of colours (with their alphas), top to bottom,
// evenly spaced; no colours draws nothing.
class GradientView : public View {
public:
    using View::View;
    const char* className() const override { return "GradientView"; }
    void setGradientColors(std::vector<gfx::Color> colors)
    {
        m_colors = std::move(colors);
        setNeedsDisplay();
    }
    const std::vector<gfx::Color>& gradientColors() const { return m_colors; }
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;

private:
    std::vector<gfx::Color> m_colors;
};

} // namespace ui
