#pragma once
#include "Platform/UI/View.h"

#include <functional>
#include <memory>
#include <string>

namespace ui {

class BarButtonItem;
class Button;

// The navigation bar: a title, below the root a back item, and the top screen's right item
// as a button.
class NavigationBarView : public View {
public:
    explicit NavigationBarView(const gfx::Rect& frame);
    ~NavigationBarView() override;
    const char* className() const override { return "NavigationBar"; }
    const std::string& title() const { return m_title; }
    void setTitle(const std::string& title) { m_title = title; setNeedsDisplay(); }
    void setBackTitle(const std::string& title) { m_backTitle = title; setNeedsDisplay(); }
    // Shown at its own frame in place of the title text; null shows the text again.
    void setTitleView(std::shared_ptr<View> view);
    const std::shared_ptr<View>& titleView() const { return m_titleView; }
    void setRightItem(std::shared_ptr<BarButtonItem> item);
    Button* rightButton() const { return m_rightButton.get(); }
    std::function<void()> onBack;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    void touchesEnded(const std::vector<Touch*>& touches, Event& event) override;
    std::string accessibilityText() const override { return m_title; }
    gfx::Rect backRect() const;

private:
    void updateRightButton();

    std::string m_title;
    std::string m_backTitle;
    std::shared_ptr<View> m_titleView;
    std::shared_ptr<BarButtonItem> m_rightItem;
    std::shared_ptr<Button> m_rightButton;
};

// One item of a tab bar: a title that can be tapped.
class TabBarItemView : public View {
public:
    TabBarItemView(const std::string& title, std::function<void()> onTap);
    const char* className() const override { return "TabBarItem"; }
    bool isControl() const override { return true; }
    void setSelected(bool selected) { m_selected = selected; setNeedsDisplay(); }
    bool isSelected() const { return m_selected; }
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    void touchesEnded(const std::vector<Touch*>& touches, Event& event) override;
    std::string accessibilityText() const override { return m_title; }

private:
    std::string m_title;
    std::function<void()> m_onTap;
    bool m_selected = false;
};

} // namespace ui
