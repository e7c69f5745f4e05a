#include "Classes/Library/SaleslibraryController.h"

#include "App/UITabBarControllerExt.h"
#include "Classes/Library/LibraryCatalogController.h"
#include "Classes/Library/LibraryDetailController.h"
#include "Common/Language.h"
#include "Common/SkinManager.h"
#include "Platform/Pdf/Document.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/NavigationController.h"

namespace {
const gfx::Color kTabText = gfx::Color::fromRgb(40, 60, 100);
const gfx::Color kTabTextSelected = gfx::Color::white();
} // namespace

SaleslibraryController::~SaleslibraryController() = default;

std::shared_ptr<ui::View> SaleslibraryController::masterView() const
{
    return m_masterController ? m_masterController->view() : nullptr;
}

std::shared_ptr<ui::View> SaleslibraryController::detailView() const
{
    return m_detailController ? m_detailController->view() : nullptr;
}

ui::Button* SaleslibraryController::tabButton(unsigned index) const
{
    return index < m_tabButtons.size() ? m_tabButtons[index].get() : nullptr;
}

void SaleslibraryController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::fromRgb(236, 240, 245));
    m_catalogNavBgImageView = std::make_shared<ui::ImageView>(gfx::Rect(0, 0, 1024, 44));
    m_catalogNavBgImageView->setImage(SkinManager::skinFromImageName("topbar-bg.png"));
    m_catalogNavBgImageView->setUserInteractionEnabled(true);
    view()->addSubview(m_catalogNavBgImageView);

    m_ControlMasterBtn = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(15, 5, 34, 34));
    m_ControlMasterBtn->setImage(SkinManager::skinFromImageName("icon-menu.png"));
    m_ControlMasterBtn->addTarget([this](ui::Control&) { ControlMasterClicked(); }, ui::ControlEventTouchUpInside);
    view()->addSubview(m_ControlMasterBtn);

    // The strip's two tabs.
    m_tabButtons.clear();
    for (unsigned i = 0; i < 2; ++i) {
        auto tab = std::make_shared<ui::Button>(ui::ButtonType::Custom, gfx::Rect(0, 5, 160, 34));
        tab->titleLabel().setFont(gfx::Font::boldSystemFont(15));
        tab->setTitleColor(kTabText);
        tab->setTitleColor(kTabTextSelected, ui::ControlStateSelected);
        tab->setSelected(static_cast<int>(i) == m_tabIndex);
        tab->addTarget([this, i](ui::Control&) { didSelectTabAtIndex(i); }, ui::ControlEventTouchUpInside);
        m_catalogNavBgImageView->addSubview(tab);
        m_tabButtons.push_back(tab);
    }

    if (auto* tabs = dynamic_cast<UITabBarControllerExt*>(tabBarController()))
        tabs->setLibraryDelegate(std::dynamic_pointer_cast<LibraryViewDelegate>(sharedController()));
    if (auto* navigation = navigationController())
        navigation->setNavigationBarHidden(true);
    if (!bViewHasLoad())
        viewAfterFirstDidLoad();
    bool hidden = m_isMasterViewHidden;
    m_catalogNavBgImageView->setFrame({hidden ? 0 : kMasterWidth, 0, 1024, 44});
    m_ControlMasterBtn->setFrame({hidden ? 15.0 : 260.0, 5, 34, 34});
    m_ControlMasterBtn->setSelected(hidden);
    m_ControlMasterBtn->setImage(SkinManager::skinFromImageName(hidden ? "icon-menu-split.png" : "icon-menu.png"));
    updateLanguage(nullptr);
    addLibraryView();
}

void SaleslibraryController::viewAfterFirstDidLoad()
{
    BaseViewController::viewAfterFirstDidLoad();
    m_catalog = std::make_shared<LibraryCatalogController>();
    m_masterController = std::make_shared<ui::NavigationController>(m_catalog);
    m_masterController->setNavigationBarHidden(true);
    m_masterController->view()->setFrame({0, 0, kMasterWidth, 768});
    auto grid = std::make_shared<LibraryDetailController>();
    grid->setLibraryTab(0);
    grid->setMasterHide(m_isMasterViewHidden);
    m_detailController = std::make_shared<ui::NavigationController>(grid);
    m_detailController->setNavigationBarHidden(true);
    m_detailController->view()->setFrame({0, 64, 1024, 638});
    m_detailViewsArray = {grid};
    auto& center = base::NotificationCenter::defaultCenter();
    std::weak_ptr<ui::ViewController> weak = sharedController();
    m_observers.push_back(center.addObserver("ShowLibraryMasterView", nullptr, [this, weak](const base::Notification&) {
        if (weak.lock())
            ShowMasterView();
    }));
    m_observers.push_back(center.addObserver("HideLibraryMasterView", nullptr, [this, weak](const base::Notification&) {
        if (weak.lock())
            HideMasterView();
    }));
}

void SaleslibraryController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto* tabs = dynamic_cast<UITabBarControllerExt*>(tabBarController()))
        tabs->itemsMove(m_isMasterViewHidden);
    // A page worker starts while the library shows, so the first document opened need not wait
    // for one.
    pdf::warmUp();
}

void SaleslibraryController::updateLanguage(ui::Responder*)
{
    if (m_tabButtons.size() != 2)
        return;
    m_tabButtons[0]->setTitle(Language::stringWithName("MYLIBRARY"));
    m_tabButtons[1]->setTitle(Language::stringWithName("MYCOLLECTION"));
    layoutTabs();
}

void SaleslibraryController::layoutTabs()
{
    // After the slide button, each as wide as its title needs.
    double left = 60;
    for (auto& tab : m_tabButtons) {
        double width = std::max(110.0, tab->sizeThatFits({400, 34}).width + 28);
        tab->setFrame({left, 5, width, 34});
        left += width + 6;
        bool selected = tab->isSelected();
        tab->setBackgroundImage(ui::imageNamed(selected ? "Button-default_H34.png" : ""));
        tab->setBackgroundColor(selected ? gfx::Color::clear() : gfx::Color::white().withAlpha(0.6));
    }
}

void SaleslibraryController::didReceiveMemoryWarning()
{
    BaseViewController::didReceiveMemoryWarning();
    if (!isViewLoaded() || view()->window())
        return;
    m_ControlMasterBtn.reset();
    m_tabButtons.clear();
    m_catalogNavBgImageView.reset();
    unloadViewForTesting();
}

void SaleslibraryController::loadByConfig()
{
    ++m_loadByConfigCount;
}

void SaleslibraryController::addLibraryView()
{
    auto* tabs = tabBarController();
    if (!tabs || tabs->selectedIndex() != 4 || !m_masterController)
        return;
    removeLibraryView();
    auto master = m_masterController->view();
    auto detail = m_detailController->view();
    master->setTag(kMasterViewTag);
    detail->setTag(kDetailViewTag);
    master->setFrame({m_isMasterViewHidden ? -kMasterWidth : 0, 0, kMasterWidth, 768});
    detail->setFrame({0, 64, 1024, 638});
    tabs->view()->addSubview(detail);
    tabs->view()->addSubview(master);
    // The panes live outside this screen's view, so their screens hear the tab come and go here.
    m_catalog->beginAppearanceTransition(true);
    m_catalog->endAppearanceTransition();
    if (!m_detailViewsArray.empty()) {
        auto shown = m_tabIndex == 1 && m_detailViewsArray.size() > 1 ? m_detailViewsArray[1] : m_detailViewsArray[0];
        shown->beginAppearanceTransition(true);
        shown->endAppearanceTransition();
    }
}

void SaleslibraryController::removeLibraryView()
{
    auto* tabs = tabBarController();
    if (!tabs || !tabs->isViewLoaded())
        return;
    auto panels = tabs->view()->subviews();
    for (auto& panel : panels) {
        if (panel->tag() == kMasterViewTag || panel->tag() == kDetailViewTag)
            panel->removeFromSuperview();
    }
    if (m_catalog) {
        m_catalog->beginAppearanceTransition(false);
        m_catalog->endAppearanceTransition();
    }
    for (auto& grid : m_detailViewsArray) {
        grid->beginAppearanceTransition(false);
        grid->endAppearanceTransition();
    }
}

void SaleslibraryController::didSelectTabAtIndex(unsigned index)
{
    if (static_cast<int>(index) == m_tabIndex || !m_detailController)
        return;
    if (index == 1) {
        if (m_detailViewsArray.size() < 2) {
            auto grid = std::make_shared<LibraryDetailController>();
            grid->setLibraryTab(1);
            grid->setMasterHide(m_isMasterViewHidden);
            m_detailViewsArray.push_back(grid);
        }
        m_detailController->pushViewController(m_detailViewsArray[1], false);
    } else {
        m_detailController->popToRootViewController(false);
    }
    m_tabIndex = static_cast<int>(index);
    // The grid pane is not this screen's child: its grids hear the switch from here.
    if (detailView() && detailView()->window()) {
        auto shown = m_detailViewsArray[m_tabIndex == 1 ? 1 : 0];
        for (auto& grid : m_detailViewsArray) {
            if (grid == shown)
                continue;
            grid->beginAppearanceTransition(false);
            grid->endAppearanceTransition();
        }
        shown->beginAppearanceTransition(true);
        shown->endAppearanceTransition();
    }
    for (size_t i = 0; i < m_tabButtons.size(); ++i)
        m_tabButtons[i]->setSelected(static_cast<int>(i) == m_tabIndex);
    layoutTabs();
}

void SaleslibraryController::ControlMasterClicked()
{
    slidePanel(!m_isMasterViewHidden);
}

void SaleslibraryController::ShowMasterView()
{
    if (m_isMasterViewHidden)
        slidePanel(false);
}

void SaleslibraryController::HideMasterView()
{
    if (!m_isMasterViewHidden)
        slidePanel(true);
}

void SaleslibraryController::slidePanel(bool hide)
{
    if (!isViewLoaded() || !m_masterController)
        return;
    m_ControlMasterBtn->setSelected(hide);
    m_ControlMasterBtn->setImage(SkinManager::skinFromImageName(hide ? "icon-menu-split.png" : "icon-menu.png"));
    ui::View::AnimationOptions options;
    options.duration = kSlideSeconds;
    options.curve = ui::View::AnimationOptions::Curve::EaseOut;
    ui::View::animate(options, [this, hide] {
        m_ControlMasterBtn->setFrame({hide ? 15.0 : 260.0, 5, 34, 34});
        m_masterController->view()->setFrame({hide ? -kMasterWidth : 0, 0, kMasterWidth, 768});
        m_catalogNavBgImageView->setFrame({hide ? 0 : kMasterWidth, 0, 1024, 44});
        for (auto& grid : m_detailViewsArray)
            grid->layoutForMasterHidden(hide);
    });
    m_isMasterViewHidden = hide;
    layoutTabs();
    if (auto* tabs = dynamic_cast<UITabBarControllerExt*>(tabBarController()))
        tabs->itemsMove(hide);
}
