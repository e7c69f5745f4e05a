#pragma once
#include "Platform/UI/View.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ui {

class Button;

enum class BarButtonSystemItem { Cancel, Done };

// A button of a standalone bar: a title, a look, and what a tap does.
struct NavigationBarButton {
    enum class Style { Plain, Bordered, Done };
    std::string title;
    Style style = Style::Bordered;
    std::function<void()> action;

    // The platform's own items: their standard title and look.
    static NavigationBarButton systemItem(BarButtonSystemItem item, std::function<void()> action);
};

// What a standalone bar shows: a title, an optional prompt above it, and an item on each side.
class NavigationItem {
public:
    explicit NavigationItem(std::string title = {}) : m_title(std::move(title)) {}
    const std::string& title() const { return m_title; }
    void setTitle(std::string title) { m_title = std::move(title); }
    // Empty: no prompt line.
    const std::string& prompt() const { return m_prompt; }
    void setPrompt(std::string prompt) { m_prompt = std::move(prompt); }
    const std::optional<NavigationBarButton>& leftBarButtonItem() const { return m_left; }
    void setLeftBarButtonItem(std::optional<NavigationBarButton> item) { m_left = std::move(item); }
    const std::optional<NavigationBarButton>& rightBarButtonItem() const { return m_right; }
    void setRightBarButtonItem(std::optional<NavigationBarButton> item) { m_right = std::move(item); }

private:
    std::string m_title;
    std::string m_prompt;
    std::optional<NavigationBarButton> m_left, m_right;
};

// A navigation bar placed by its owner (not a navigation controller's): it shows one item,
// whose buttons run the items' actions. sizeToFit makes room for the prompt.
class NavigationBar : public View {
public:
    static constexpr double kHeight = 44;
    static constexpr double kPromptHeight = 30;

    explicit NavigationBar(const gfx::Rect& frame = {});
    const char* className() const override { return "NavigationBar"; }

    std::shared_ptr<NavigationItem> topItem() const { return m_item; }
    // Shows the item; call again after changing it.
    void pushNavigationItem(std::shared_ptr<NavigationItem> item, bool animated = false);
    void sizeToFit();

    // Black unless the owner's bar is dark.
    gfx::Color titleTextColor() const { return m_titleColor; }
    void setTitleTextColor(gfx::Color color);

    Button* leftButton() const { return m_leftButton.get(); }
    Button* rightButton() const { return m_rightButton.get(); }

    void layoutSubviews() override;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    std::string accessibilityText() const override { return m_item ? m_item->title() : std::string(); }

private:
    std::shared_ptr<Button> makeButton(const std::optional<NavigationBarButton>& item, std::shared_ptr<Button> button);
    double barTop() const;

    std::shared_ptr<NavigationItem> m_item;
    std::shared_ptr<Button> m_leftButton, m_rightButton;
    gfx::Color m_titleColor = gfx::Color::black();
};

} // namespace ui
