#pragma once
#include "Platform/UI/View.h"

#include <functional>
#include <string>

namespace ui {

// The navigation bar: a title and, below the root, a back item.
class NavigationBarView : public View {
public:
    explicit NavigationBarView(const gfx::Rect& frame);
    const char* className() const override { return "NavigationBar"; }
    void setTitle(const std::string& title) { m_title = title; }
    void setBackTitle(const std::string& title) { m_backTitle = title; }
    std::function<void()> onBack;
    void drawRect(gfx::Context& context, const gfx::Rect& rect) override;
    void touchesEnded(const std::vector<Touch*>& touches, Event& event) override;
    std::string accessibilityText() const override { return m_title; }
    gfx::Rect backRect() const;

private:
    std::string m_title;
    std::string m_backTitle;
};

// One item of a tab bar: a title that can be tapped.
class TabBarItemView : public View {
public:
    TabBarItemView(const std::string& title, std::function<void()> onTap);
    const char* className() const override { return "TabBarItem"; }
    bool isControl() const override { return true; }
    void setSelected(bool selected) { m_selected = selected; }
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
