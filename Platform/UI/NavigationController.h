#pragma once
#include "Platform/UI/ViewController.h"

namespace ui {

// A stack of controllers, the top one on screen under an optional bar.
class NavigationController : public ViewController {
public:
    explicit NavigationController(std::shared_ptr<ViewController> root = nullptr);
    const char* className() const override { return "NavigationController"; }

    const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return childViewControllers(); }
    std::shared_ptr<ViewController> topViewController() const;
    void pushViewController(const std::shared_ptr<ViewController>& controller, bool animated);
    // Popping the root does nothing.
    std::shared_ptr<ViewController> popViewController(bool animated);
    void popToRootViewController(bool animated);
    bool isNavigationBarHidden() const { return m_barHidden; }
    void setNavigationBarHidden(bool hidden, bool animated = false);

    // The bar itself, so an owner can dress it (a background inserted at index 0 lies under
    // the title and items). Null until the view is loaded.
    const std::shared_ptr<View>& navigationBar() const { return m_bar; }

    // A screen on the stack changed its title or bar items.
    void navigationItemDidChange() { updateBar(); }

    void loadView() override;
    std::shared_ptr<ViewController> childForAppearance() const override { return topViewController(); }
    // The top screen decides whether the window turns.
    bool shouldAutorotate() const override;
    unsigned supportedInterfaceOrientations() const override;

    static constexpr double kBarHeight = 44;

private:
    void layoutContent();
    void showTop(const std::shared_ptr<ViewController>& incoming, const std::shared_ptr<ViewController>& outgoing,
                 bool animated, bool forward);
    void updateBar();

    bool m_barHidden = false;
    std::shared_ptr<View> m_bar;
    std::shared_ptr<View> m_content;
};

} // namespace ui
