#include "Classes/Catalog/CatalogViewController.h"

#include "App/UITabBarControllerExt.h"
#include "Common/Language.h"
#include "Common/TitleBarView.h"

void CatalogViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::white());
    m_titleBar = std::make_shared<TitleBarView>(view()->bounds().width());
    view()->addSubview(m_titleBar);
    m_masterView = ui::View::make(gfx::Rect(0, 0, 244, 702));
    m_masterView->setBackgroundColor(gfx::Color::fromRgb(236, 240, 245));
    m_detailView = ui::View::make(gfx::Rect(244, TitleBarView::kHeight, 780, 702 - TitleBarView::kHeight));
    m_detailView->setBackgroundColor(gfx::Color::white());
    view()->addSubview(m_masterView);
    view()->addSubview(m_detailView);
    updateLanguage(nullptr);
    if (auto* tabs = dynamic_cast<UITabBarControllerExt*>(tabBarController()))
        tabs->setCatalogDelegate(std::dynamic_pointer_cast<CatalogViewDelegate>(sharedController()));
}

void CatalogViewController::updateLanguage(ui::Responder*)
{
    if (m_titleBar)
        m_titleBar->setTitle(Language::stringWithName("CATALOG"));
}

void CatalogViewController::loadByConfig()
{
    ++m_loadByConfigCount;
}

void CatalogViewController::addCatologView()
{
    auto* tabs = tabBarController();
    if (!tabs || tabs->selectedIndex() != 1 || !m_masterView)
        return;
    m_masterView->removeFromSuperview();
    m_detailView->removeFromSuperview();
    m_masterView->setTag(kMasterViewTag);
    m_detailView->setTag(kDetailViewTag);
    tabs->view()->addSubview(m_masterView);
    tabs->view()->addSubview(m_detailView);
}

void CatalogViewController::removeCalogView()
{
    auto* tabs = tabBarController();
    if (!tabs || !tabs->isViewLoaded())
        return;
    auto panels = tabs->view()->subviews();
    for (auto& panel : panels)
        if (panel->tag() == kMasterViewTag || panel->tag() == kDetailViewTag)
            panel->removeFromSuperview();
}
