#pragma once
#include "Platform/UI/ViewController.h"

namespace ui {

// Shows one of several controllers, chosen by a bar of buttons at the bottom.
class TabBarController : public ViewController {
public:
    TabBarController();
    const char* className() const override { return "TabBarController"; }

    void setViewControllers(const std::vector<std::shared_ptr<ViewController>>& controllers);
    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return childViewControllers(); }
    size_t selectedIndex() const { return m_selected; }
    void setSelectedIndex(size_t index);
    std::shared_ptr<ViewController> selectedViewController() const;
    bool isTabBarHidden() const { return m_barHidden; }
    void setTabBarHidden(bool hidden);
    // Called after the user picks a tab.
    std::function<void(size_t)> onSelect;

    void loadView() override;
    std::shared_ptr<ViewController> childForAppearance() const override { return selectedViewController(); }

    static constexpr double kBarHeight = 49;

private:
    void rebuildBar();
    void layoutContent();

    size_t m_selected = 0;
    bool m_barHidden = false;
    std::shared_ptr<View> m_bar;
    std::shared_ptr<View> m_content;
    std::vector<std::shared_ptr<View>> m_items;
};

} // namespace ui
