#include "Platform/UI/BarButtonItem.h"

#include "Platform/UI/View.h"

namespace ui {

BarButtonItem::BarButtonItem(std::string title, Style style, std::function<void()> action)
    : m_title(std::move(title)), m_style(style), m_action(std::move(action))
{
}

BarButtonItem::BarButtonItem(std::shared_ptr<View> customView)
    : m_style(Style::Plain), m_customView(std::move(customView))
{
}

void BarButtonItem::setTitle(const std::string& title)
{
    m_title = title;
    if (onChange)
        onChange();
}

void BarButtonItem::setEnabled(bool enabled)
{
    m_enabled = enabled;
    if (onChange)
        onChange();
}

void BarButtonItem::trigger() const
{
    if (m_enabled && m_action)
        m_action();
}

} // namespace ui
