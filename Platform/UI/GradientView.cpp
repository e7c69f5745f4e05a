#include "Platform/UI/GradientView.h"

namespace ui {

void GradientView::drawRect(gfx::Context& context, const gfx::Rect&)
{
    if (m_colors.empty())
        return;
    if (m_colors.size() == 1) {
        context.setFillColor(m_colors.front());
        context.fillRect(gfx::Rect(gfx::Point{}, bounds().size));
        return;
    }
    std::vector<gfx::GradientStop> stops;
    for (size_t i = 0; i < m_colors.size(); ++i)
        stops.push_back({double(i) / double(m_colors.size() - 1), m_colors[i]});
    gfx::Rect box(gfx::Point{}, bounds().size);
    context.fillLinearGradient(box, {0, 0}, {0, box.height()}, stops);
}

} // namespace ui
