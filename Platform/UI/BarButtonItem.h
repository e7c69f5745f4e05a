#pragma once
#include <functional>
#include <memory>
#include <string>

namespace ui {

class View;

// A button a navigation bar shows for its top screen: a title, a look, and what a tap does.
class BarButtonItem {
public:
    enum class Style { Plain, Bordered, Done };

    BarButtonItem(std::string title, Style style, std::function<void()> action);
    // The bar shows the view itself, at its own size; the view handles its own touches.
    explicit BarButtonItem(std::shared_ptr<View> customView);

    const std::shared_ptr<View>& customView() const { return m_customView; }

    const std::string& title() const { return m_title; }
    // A bar showing the item follows the new title.
    void setTitle(const std::string& title);
    Style style() const { return m_style; }
    bool isEnabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    // What the bar's button runs when tapped.
    void trigger() const;

    // Set by the bar that shows the item.
    std::function<void()> onChange;

private:
    std::string m_title;
    Style m_style;
    std::function<void()> m_action;
    std::shared_ptr<View> m_customView;
    bool m_enabled = true;
};

} // namespace ui
