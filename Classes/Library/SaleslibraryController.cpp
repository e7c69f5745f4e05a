#include "Classes/Library/SaleslibraryController.h"

#include "App/UITabBarControllerExt.h"
#include "Classes/Library/LibraryDetailController.h"
#include "Common/Language.h"
#include "Common/TitleBarView.h"

void SaleslibraryController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::white());
    m_titleBar = std::make_shared<TitleBarView>(view()->bounds().width());
    view()->addSubview(m_titleBar);
    m_masterView = ui::View::make(gfx::Rect(0, 0, kMasterWidth, 768));
    m_masterView->setBackgroundColor(gfx::Color::fromRgb(236, 240, 245));
    m_detailView = ui::View::make(gfx::Rect(0, 64, 1024, 638));
    m_detailView->setBackgroundColor(gfx::Color::white());
    view()->addSubview(m_detailView);
    view()->addSubview(m_masterView);
    m_libraryGrid = std::make_shared<LibraryDetailController>();
    m_libraryGrid->setLibraryTab(0);
    m_libraryGrid->setMasterHide(false);
    addChildViewController(m_libraryGrid);
    m_libraryGrid->view()->setFrame(m_detailView->bounds());
    m_detailView->addSubview(m_libraryGrid->view());
    updateLanguage(nullptr);
    if (auto* tabs = dynamic_cast<UITabBarControllerExt*>(tabBarController()))
        tabs->setLibraryDelegate(std::dynamic_pointer_cast<LibraryViewDelegate>(sharedController()));
}

void SaleslibraryController::viewWillAppear(bool animated)
{
    if (m_libraryGrid)
        m_libraryGrid->viewWillAppear(animated);
}

void SaleslibraryController::updateLanguage(ui::Responder*)
{
    if (m_titleBar)
        m_titleBar->setTitle(Language::stringWithName("SALESLIBRARY"));
}

void SaleslibraryController::loadByConfig()
{
    ++m_loadByConfigCount;
}

void SaleslibraryController::addLibraryView()
{
    auto* tabs = tabBarController();
    if (!tabs || tabs->selectedIndex() != 4 || !m_masterView)
        return;
    m_masterView->removeFromSuperview();
    m_detailView->removeFromSuperview();
    m_masterView->setTag(kMasterViewTag);
    m_detailView->setTag(kDetailViewTag);
    m_masterView->setFrame({m_masterHidden ? -kMasterWidth : 0, 0, kMasterWidth, 768});
    m_detailView->setFrame({0, 64, 1024, 638});
    tabs->view()->addSubview(m_detailView);
    tabs->view()->addSubview(m_masterView);
}

void SaleslibraryController::removeLibraryView()
{
    auto* tabs = tabBarController();
    if (!tabs || !tabs->isViewLoaded())
        return;
    auto panels = tabs->view()->subviews();
    for (auto& panel : panels)
        if (panel->tag() == kMasterViewTag || panel->tag() == kDetailViewTag)
            panel->removeFromSuperview();
}
