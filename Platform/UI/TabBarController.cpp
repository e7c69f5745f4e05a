#include "Platform/UI/TabBarController.h"

#include "Platform/UI/BarViews.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

namespace ui {

TabBarController::TabBarController() = default;

void TabBarController::loadView()
{
    auto root = std::make_shared<View>(gfx::Rect({0, 0}, Window::kScreenSize));
    root->setBackgroundColor(gfx::Color::white());
    m_content = std::make_shared<View>(root->bounds());
    m_content->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
    root->addSubview(m_content);
    m_bar = std::make_shared<View>(gfx::Rect(0, root->bounds().height() - kBarHeight, root->bounds().width(), kBarHeight));
    m_bar->setBackgroundColor(gfx::Color::fromRgb(247, 247, 247));
    m_bar->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleTopMargin);
    root->addSubview(m_bar);
    setView(root);
    rebuildBar();
    layoutContent();
}

void TabBarController::setViewControllers(const std::vector<std::shared_ptr<ViewController>>& controllers)
{
    auto old = selectedViewController();
    bool onScreen = isVisible();
    if (old && onScreen)
        old->beginAppearanceTransition(false);
    if (old && old->isViewLoaded())
        old->view()->removeFromSuperview();
    if (old && onScreen)
        old->endAppearanceTransition();
    auto children = childViewControllers();
    for (auto& c : children)
        c->removeFromParentViewController();
    for (auto& c : controllers)
        addChildViewController(c);
    m_selected = 0;
    if (isViewLoaded()) {
        rebuildBar();
        layoutContent();
        if (onScreen)
            if (auto sel = selectedViewController()) {
                sel->beginAppearanceTransition(true);
                sel->endAppearanceTransition();
            }
    }
}

std::shared_ptr<ViewController> TabBarController::selectedViewController() const
{
    auto& list = childViewControllers();
    return m_selected < list.size() ? list[m_selected] : nullptr;
}

void TabBarController::setSelectedIndex(size_t index)
{
    auto& list = childViewControllers();
    if (index >= list.size() || index == m_selected)
        return;
    auto old = selectedViewController();
    bool onScreen = isVisible();
    if (old && onScreen)
        old->beginAppearanceTransition(false);
    if (old && old->isViewLoaded())
        old->view()->removeFromSuperview();
    if (old && onScreen)
        old->endAppearanceTransition();
    m_selected = index;
    auto sel = selectedViewController();
    if (onScreen)
        sel->beginAppearanceTransition(true);
    if (isViewLoaded())
        layoutContent();
    if (onScreen)
        sel->endAppearanceTransition();
    for (size_t i = 0; i < m_items.size(); ++i)
        static_cast<TabBarItemView*>(m_items[i].get())->setSelected(i == m_selected);
}

void TabBarController::setTabBarHidden(bool hidden)
{
    m_barHidden = hidden;
    if (isViewLoaded())
        layoutContent();
}

void TabBarController::rebuildBar()
{
    for (auto& item : m_items)
        item->removeFromSuperview();
    m_items.clear();
    auto& list = childViewControllers();
    if (list.empty())
        return;
    double w = m_bar->bounds().width() / static_cast<double>(list.size());
    for (size_t i = 0; i < list.size(); ++i) {
        auto item = std::make_shared<TabBarItemView>(list[i]->title(), [this, i] {
            setSelectedIndex(i);
            if (onSelect)
                onSelect(i);
        });
        item->setFrame({w * static_cast<double>(i), 0, w, kBarHeight});
        item->setSelected(i == m_selected);
        m_bar->addSubview(item);
        m_items.push_back(item);
    }
}

void TabBarController::layoutContent()
{
    gfx::Rect b = view()->bounds();
    m_bar->setHidden(m_barHidden);
    m_content->setFrame({0, 0, b.width(), b.height() - (m_barHidden ? 0 : kBarHeight)});
    if (auto sel = selectedViewController()) {
        auto v = sel->view();
        v->setFrame(m_content->bounds());
        v->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
        if (v->superview() != m_content.get())
            m_content->addSubview(v);
    }
}

} // namespace ui
