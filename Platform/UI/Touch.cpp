#include "Platform/UI/Touch.h"

#include "Platform/UI/View.h"

namespace ui {

Touch::Touch(int id, gfx::Point windowPoint, double timestamp)
    : m_id(id), m_timestamp(timestamp), m_location(windowPoint), m_previous(windowPoint)
{
}

void Touch::moveTo(gfx::Point windowPoint, double timestamp)
{
    m_previous = m_location;
    m_location = windowPoint;
    m_timestamp = timestamp;
}

gfx::Point Touch::locationInView(const View* view) const
{
    return view ? view->convertPointFromView(m_location, nullptr) : m_location;
}

gfx::Point Touch::previousLocationInView(const View* view) const
{
    return view ? view->convertPointFromView(m_previous, nullptr) : m_previous;
}

std::vector<Touch*> Event::touchesForView(const View* view) const
{
    std::vector<Touch*> out;
    for (Touch* t : m_all)
        if (t->view() && t->view()->isDescendantOfView(view))
            out.push_back(t);
    return out;
}

} // namespace ui
