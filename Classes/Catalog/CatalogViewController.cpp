#include "Classes/Catalog/CatalogViewController.h"

#include "App/UITabBarControllerExt.h"
#include "Classes/Catalog/CatalogLayOut.h"
#include "Classes/Catalog/MasterViewController.h"
#include "Classes/Catalog/ProductPageRoad.h"
#include "Common/ConfigManager.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Common/UIToast.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Value.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/NavigationController.h"

#include <algorithm>

namespace {

const gfx::Rect kStackFrame{0, 64, 1024, 638};
// The window has no status bar above it: the panel starts at its top, level with the bar.
constexpr double kPanelTop = 0;
const gfx::Rect kGridBesidePanel{250, 0, 774, 638};
const gfx::Rect kGridFull{0, 0, 1024, 638};
const gfx::Rect kBackFrame{8, 5, 60, 34};
const gfx::Rect kSortFrame{816, 5, 100, 34};
const gfx::Rect kTitleWithPanel{524, 7, 220, 30};
const gfx::Rect kTitleWithPanelSettled{527, 7, 220, 30};
const gfx::Rect kTitleWithoutPanel{282, 7, 460, 30};
const gfx::Rect kTitleOnPage{112, 7, 800, 30};
constexpr double kToggleDuration = 0.3;
constexpr double kRowHeight = 212;
constexpr double kPanelWidth = 244;

bool panelIsNormal()
{
    auto type = ConfigManager::sharedInstance()->leftPanelType();
    return type && *type == "normal";
}

std::string trimmed(const std::string& text)
{
    const char* blanks = " \t\n\r\f\v";
    size_t start = text.find_first_not_of(blanks);
    if (start == std::string::npos)
        return {};
    size_t end = text.find_last_not_of(blanks);
    return text.substr(start, end - start + 1);
}

} // namespace

CatalogViewController::~CatalogViewController()
{
    if (m_serchController)
        m_serchController->setDelegate(nullptr);
    if (m_searchContent)
        m_searchContent->setDelegate(nullptr);
    if (m_searchBar)
        m_searchBar->setDelegate(nullptr);
    if (m_detailViewController)
        m_detailViewController->setDetailViewDelegate(nullptr);
    if (m_orderingController)
        m_orderingController->setDelegate(nullptr);
}

std::shared_ptr<ui::View> CatalogViewController::masterView() const
{
    return m_masterController ? m_masterController->view() : nullptr;
}

std::shared_ptr<ui::View> CatalogViewController::detailView() const
{
    return m_detailController ? m_detailController->view() : nullptr;
}

double CatalogViewController::panelWidth() const
{
    return kPanelWidth;
}

// MARK: Building

void CatalogViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    view()->setBackgroundColor(gfx::Color::white());
    buildBar();
    if (!bViewHasLoad())
        viewAfterFirstDidLoad();
    placeForState();
    addCatologView();
}

void CatalogViewController::buildBar()
{
    auto button = [](const gfx::Rect& frame, const std::string& skin, std::function<void()> action) {
        auto b = std::make_shared<ui::Button>(ui::ButtonType::Custom, frame);
        if (!skin.empty())
            b->setImage(SkinManager::skinFromImageName(skin));
        b->addTarget([action = std::move(action)](ui::Control&) { action(); }, ui::ControlEventTouchUpInside);
        return b;
    };
    std::weak_ptr<ui::Responder> weak = weak_from_this();
    auto self = [weak] { return std::static_pointer_cast<CatalogViewController>(weak.lock()); };
    m_compareBtn = button({931, 5, 34, 34}, "btn-compare.png", [self] { if (auto s = self()) s->btnCompareClicked(); });
    m_favBtn = button({975, 5, 34, 34}, "btn-fav.png", [self] { if (auto s = self()) s->btnFavoritesClicked(); });
    m_btnMenu = button({260, 5, 34, 34}, "icon-menu.png", [self] { if (auto s = self()) s->ControlMasterClicked(); });
    m_btnBack = button(kBackFrame, "", [self] { if (auto s = self()) s->backButtonClicked(); });
    m_btnBack->setTitle(Language::stringWithName("BACK"));
    PublicFunction::initializeToBackButtonHeight34(m_btnBack.get());
    m_btnBack->setFrame(kBackFrame);
    m_btnBack->setHidden(true);

    m_searchBar = ui::View::make<ui::SearchBar>(gfx::Rect(300, 3, 220, 34));
    m_searchBar->setPlaceholder(Language::stringWithName("CATALOGSEARCHHOLD"));
    m_searchBar->setShowsCancelButton(false);
    m_searchBar->setBackgroundColor(gfx::Color::clear());
    m_searchBar->setBackgroundImage(ui::imageNamed("bg_searchbar.png"));
    m_searchBar->setDelegate(this);

    m_catalogNavBgImageView = ui::View::make<ui::ImageView>(gfx::Rect(244, 0, 1024, 44));
    m_catalogNavBgImageView->setImage(SkinManager::skinFromImageName("topbar-bg.png"));
    m_lblTitle = ui::View::make<ui::Label>(kTitleWithPanel);
    m_lblTitle->setFont(gfx::Font("Helvetica-Bold", 20));
    m_lblTitle->setTextAlignment(gfx::TextAlignment::Center);
    m_lblTitle->setAdjustsFontSizeToFitWidth(true);
    m_lblTitle->setMinimumFontSize(15);
    m_lblTitle->setBackgroundColor(gfx::Color::clear());
    m_lblTitle->setTextColor(gfx::Color::white());
    m_lblTitle->setText(Language::stringWithName("CATALOG_"));

    for (auto& v : std::initializer_list<std::shared_ptr<ui::View>>{m_catalogNavBgImageView, m_lblTitle, m_compareBtn, m_favBtn,
                                                                    m_btnMenu, m_btnBack, m_searchBar})
        view()->addSubview(v);

    m_orderingController = std::make_shared<OrderingController>(
        kSortFrame, std::vector<std::string>{"BYNAME", "BYSKU", "BYPRICE"}, this, view().get());
    auto sort = m_orderingController->orderingButton();
    sort->setImage(ui::imageNamed("icon-sort_arrow.png"));
    // The arrow at the right end and the title left of it. This button's insets make room
    // for themselves, so the moves are written as shifts (an inset on one side, the opposite
    // on the other).
    sort->setImageEdgeInsets({0, 70, 0, -70});
    sort->setTitleEdgeInsets({0, -25, 0, 25});
    view()->addSubview(sort);

    // The grid and the panel write the same title label; a rebuilt bar hands them the new one.
    if (m_detailViewController) {
        m_detailViewController->setLblTitle(m_lblTitle);
        m_detailViewController->setBtnBack(m_btnBack);
        m_detailViewController->setSearchBar(m_searchBar);
    }
    if (m_masterViewController)
        m_masterViewController->setLblTitle(m_lblTitle);
}

void CatalogViewController::viewAfterFirstDidLoad()
{
    BaseViewController::viewAfterFirstDidLoad();
    m_isMasterViewHiddened = false;
    if (auto* tabs = dynamic_cast<UITabBarControllerExt*>(tabBarController()))
        tabs->setCatalogDelegate(std::dynamic_pointer_cast<CatalogViewDelegate>(sharedController()));
    m_searchProductArray.clear();

    m_detailViewController = std::make_shared<DetailViewController>();
    m_detailViewController->setDetailViewDelegate(this);
    m_detailViewController->setBtnBack(m_btnBack);
    m_detailViewController->setLblTitle(m_lblTitle);
    m_detailViewController->setSearchBar(m_searchBar);
    m_masterViewController = std::make_shared<MasterViewController>();
    m_masterViewController->setLblTitle(m_lblTitle);
    m_masterController = std::make_shared<ui::NavigationController>(m_masterViewController);
    m_masterController->setNavigationBarHidden(true);
    m_detailController = std::make_shared<ui::NavigationController>(m_detailViewController);
    m_detailController->setNavigationBarHidden(true);

    std::weak_ptr<ui::Responder> weak = weak_from_this();
    auto self = [weak] { return std::static_pointer_cast<CatalogViewController>(weak.lock()); };
    auto& center = base::NotificationCenter::defaultCenter();
    m_observers.push_back(center.addObserver(CatalogLayOut::kNotification, nullptr, [self](const base::Notification& n) {
        auto s = self();
        auto payload = std::static_pointer_cast<CatalogLayOut>(n.object);
        if (s && payload)
            s->setCatalogLayOut(static_cast<int>(payload->index), payload->products);
    }));
    m_observers.push_back(center.addObserver("AppearOrHiddenMasterView", nullptr, [self](const base::Notification&) {
        if (auto s = self())
            s->ControlMasterClicked();
    }));
    m_observers.push_back(center.addObserver("btnBackClick", nullptr, [self](const base::Notification&) {
        if (auto s = self())
            s->backButtonClicked();
    }));
    m_observers.push_back(center.addObserver("detailOnClickTagListener", nullptr, [self](const base::Notification& n) {
        auto s = self();
        auto tag = std::static_pointer_cast<std::string>(n.object);
        if (s && tag)
            s->detailOnClickTagListener(*tag);
    }));
}

void CatalogViewController::placeForState()
{
    if (pageOpen()) {
        applyHiddenLayout();
        m_btnMenu->setHidden(true);
        m_searchBar->setHidden(true);
        m_orderingController->orderingButton()->setHidden(true);
        m_btnBack->setHidden(false);
        m_lblTitle->setFrame(kTitleOnPage);
        return;
    }
    if (m_isMasterViewHiddened)
        applyHiddenLayout();
    else
        applyShownLayout();
}

void CatalogViewController::updateLanguage(ui::Responder*)
{
    if (m_orderingController)
        m_orderingController->updateLanguage();
    if (m_searchBar)
        m_searchBar->setPlaceholder(Language::stringWithName("CATALOGSEARCHHOLD"));
    if (m_lblTitle)
        m_lblTitle->setText(Language::stringWithName("CATALOG_"));
    if (m_btnBack)
        m_btnBack->setTitle(Language::stringWithName("BACK"));
}

void CatalogViewController::viewDidUnload()
{
    BaseViewController::viewDidUnload();
    if (m_searchBar)
        m_searchBar->setDelegate(nullptr);
    if (m_orderingController)
        m_orderingController->setDelegate(nullptr);
    m_btnMenu.reset();
    m_btnBack.reset();
    m_searchBar.reset();
    m_lblTitle.reset();
    m_orderingController.reset();
    m_compareBtn.reset();
    m_favBtn.reset();
    m_catalogNavBgImageView.reset();
}

void CatalogViewController::loadByConfig()
{
    ++m_loadByConfigCount;
}

// MARK: Appearance and the tab bar

void CatalogViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    // The stacks' views lie outside this screen's view: they hear of it from here.
    if (m_masterController)
        m_masterController->beginAppearanceTransition(true, animated);
    if (m_detailController)
        m_detailController->beginAppearanceTransition(true, animated);
    if (!pageOpen())
        tabItemsMove(m_isMasterViewHiddened);
}

void CatalogViewController::viewDidAppear(bool animated)
{
    BaseViewController::viewDidAppear(animated);
    if (m_masterController)
        m_masterController->endAppearanceTransition();
    if (m_detailController)
        m_detailController->endAppearanceTransition();
}

void CatalogViewController::viewWillDisappear(bool animated)
{
    BaseViewController::viewWillDisappear(animated);
    if (m_masterController)
        m_masterController->beginAppearanceTransition(false, animated);
    if (m_detailController)
        m_detailController->beginAppearanceTransition(false, animated);
}

void CatalogViewController::viewDidDisappear(bool animated)
{
    BaseViewController::viewDidDisappear(animated);
    if (m_masterController)
        m_masterController->endAppearanceTransition();
    if (m_detailController)
        m_detailController->endAppearanceTransition();
}

void CatalogViewController::tabItemsMove(bool hidden)
{
    if (auto* tabs = dynamic_cast<UITabBarControllerExt*>(tabBarController()))
        tabs->itemsMove(hidden);
}

bool CatalogViewController::pageOpen() const
{
    return m_detailController && m_detailController->viewControllers().size() >= 2;
}

void CatalogViewController::addCatologView()
{
    auto* tabs = tabBarController();
    if (!tabs || tabs->selectedIndex() != 1 || !m_masterController)
        return;
    removeCalogView();
    auto panel = masterView();
    auto stack = detailView();
    panel->setTag(kMasterViewTag);
    stack->setTag(kDetailViewTag);
    if (pageOpen())
        panel->setFrame({-panelWidth(), kPanelTop, panelWidth(), 768});
    stack->setFrame(kStackFrame);
    tabs->view()->addSubview(stack);
    tabs->view()->addSubview(panel);
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

// MARK: The panel

void CatalogViewController::applyShownLayout()
{
    double w = panelWidth();
    if (auto panel = masterView())
        panel->setFrame({0, kPanelTop, w, 768});
    m_catalogNavBgImageView->setFrame({w, 0, 1024, 44});
    m_btnMenu->setFrame({260, 5, 34, 34});
    m_btnMenu->setImage(SkinManager::skinFromImageName("icon-menu.png"));
    m_searchBar->setFrame({300, 3, 220, 34});
    m_lblTitle->setFrame(kTitleWithPanel);
    if (auto* grid = m_detailViewController->productShowView())
        grid->setFrame(panelIsNormal() ? kGridBesidePanel : kGridFull);
}

void CatalogViewController::applyHiddenLayout()
{
    double w = panelWidth();
    if (auto panel = masterView())
        panel->setFrame({-w, kPanelTop, w, 768});
    m_catalogNavBgImageView->setFrame({0, 0, 1024, 44});
    m_btnMenu->setFrame({15, 5, 34, 34});
    m_btnMenu->setImage(SkinManager::skinFromImageName("icon-menu-split.png"));
    m_searchBar->setFrame({55, 3, 220, 34});
    m_lblTitle->setFrame(kTitleWithoutPanel);
    if (auto* grid = m_detailViewController->productShowView())
        grid->setFrame(kGridFull);
}

void CatalogViewController::ControlMasterClicked()
{
    setMasterViewHiddedBeginPoint(!m_isMasterViewHiddened, {0, 0});
}

void CatalogViewController::setMasterViewHiddedBeginPoint(bool hidden, gfx::Point point)
{
    if (hidden == m_isMasterViewHiddened || !m_detailController || !m_detailViewController)
        return;
    if (m_detailController->viewControllers().empty() || m_detailController->viewControllers().front() != m_detailViewController)
        return;
    BRGridView* grid = m_detailViewController->productShowView();
    if (!grid || !m_lblTitle)
        return;
    bool fromPoint = point != gfx::Point{0, 0};
    // A point below the last tile names no item: no correction then.
    uint32_t index = fromPoint ? grid->indexForItemAtPoint(point) : NSNotFound;
    uint32_t columnsBefore = grid->numberOfColumns();
    double keptOffset = grid->contentOffset().y;

    // The title keeps its text where it is while it changes width.
    auto textWidth = [this](double limit) {
        return std::min(gfx::sizeOfText(m_lblTitle->text(), m_lblTitle->font()).width, limit);
    };
    m_lblTitle->setTextAlignment(gfx::TextAlignment::Left);
    gfx::Rect title = m_lblTitle->frame();
    title.origin.x = hidden ? (774 - textWidth(220)) / 2 + 250 : (1024 - textWidth(460)) / 2;
    m_lblTitle->setFrame(title);

    double w = panelWidth();
    ui::View::AnimationOptions options;
    options.duration = kToggleDuration;
    std::weak_ptr<ui::Responder> weak = weak_from_this();
    ui::View::animate(
        options,
        [&] {
            if (auto panel = masterView())
                panel->setCenter({hidden ? -w / 2 : w / 2, panel->bounds().height() / 2 + kPanelTop});
            gfx::Rect bg = m_catalogNavBgImageView->frame();
            bg.origin.x += hidden ? -w : w;
            m_catalogNavBgImageView->setFrame(bg);
            m_btnMenu->setFrame(hidden ? gfx::Rect(15, 5, 34, 34) : gfx::Rect(260, 5, 34, 34));
            m_btnMenu->setImage(SkinManager::skinFromImageName(hidden ? "icon-menu-split.png" : "icon-menu.png"));
            m_searchBar->setFrame(hidden ? gfx::Rect(55, 3, 220, 34) : gfx::Rect(300, 3, 220, 34));
            gfx::Rect t = m_lblTitle->frame();
            if (hidden)
                t = {(1024 - textWidth(460)) / 2, t.y(), 460, t.height()};
            else
                t = {(774 - textWidth(220)) / 2 + 250, t.y(), 220, t.height()};
            m_lblTitle->setFrame(t);
            grid->setFrame(hidden || !panelIsNormal() ? kGridFull : kGridBesidePanel);
            tabItemsMove(hidden);
        },
        [weak, hidden, index, columnsBefore, keptOffset](bool) {
            auto self = std::static_pointer_cast<CatalogViewController>(weak.lock());
            if (!self || !self->m_lblTitle)
                return;
            self->m_lblTitle->setFrame(hidden ? kTitleWithoutPanel : kTitleWithPanelSettled);
            self->m_lblTitle->setTextAlignment(gfx::TextAlignment::Center);
            BRGridView* grid = self->m_detailViewController ? self->m_detailViewController->productShowView() : nullptr;
            if (!grid || index == NSNotFound)
                return;
            // The rows of the item before and after the reflow, from the grid's own columns.
            uint32_t columnsAfter = grid->numberOfColumns();
            if (columnsAfter == columnsBefore || columnsBefore == 0 || columnsAfter == 0)
                return;
            double oldRow = index / columnsBefore, newRow = index / columnsAfter;
            double maxOffset = std::max(0.0, grid->contentSize().height - grid->bounds().height());
            double target = std::clamp(keptOffset - (oldRow - newRow) * kRowHeight, 0.0, maxOffset);
            grid->setContentOffset({grid->contentOffset().x, target}, false);
        });
    base::NotificationCenter::defaultCenter().post("switchProductStyle");
    m_isMasterViewHiddened = hidden;
}

// MARK: Product pages

void CatalogViewController::productCellClicked()
{
    if (!m_isMasterViewHiddened) {
        ui::View::AnimationOptions options;
        options.duration = kToggleDuration;
        options.curve = ui::View::AnimationOptions::Curve::EaseOut;
        ui::View::animate(options, [this] { applyHiddenLayout(); });
    }
    m_btnMenu->setHidden(true);
    m_orderingController->orderingButton()->setHidden(true);
    m_searchBar->setHidden(true);
    m_btnBack->setHidden(false);
    m_lblTitle->setFrame(kTitleOnPage);
    tabItemsMove(true);
}

void CatalogViewController::openPage(const ProductPageRequest& request)
{
    auto page = ProductPageRoad::makePage(request);
    if (!page)
        return;
    productCellClicked();
    m_lblTitle->setText(request.product.product_name.value_or(""));
    m_detailController->pushViewController(page, true);
}

void CatalogViewController::setCatalogLayOut(int index, const std::vector<brivanta_product_Entity>& products)
{
    if (index < 0 || static_cast<size_t>(index) >= products.size() || !m_detailController)
        return;
    ProductPageRequest request;
    request.product = products[static_cast<size_t>(index)];
    request.products = products;
    request.index = index;
    request.count = static_cast<int>(products.size());
    request.lblTitle = m_lblTitle;
    // Before the push, as the search road does: the grid's answer restores its own title and,
    // beside a panel that is not "normal", pops to itself, which would take the new page away.
    if (!m_isMasterViewHiddened)
        base::NotificationCenter::defaultCenter().post("switchProductStyle");
    openPage(request);
}

void CatalogViewController::didselectSearchResultIndex(const brivanta_product_Entity& product, int index)
{
    if (m_searchBar)
        m_searchBar->resignFirstResponder();
    if (m_serchController && m_serchController->isPopoverVisible())
        m_serchController->dismissPopoverAnimated(true);
    ProductPageRequest request;
    request.product = product;
    request.products = m_searchProductArray;
    request.index = index;
    request.count = static_cast<int>(m_searchProductArray.size());
    request.lblTitle = m_lblTitle;
    if (MasterViewController::getCurrentState() == 1) {
        if (auto data = DataAccessManager::sharedDataModel())
            request.tags = data->getAllTagsByProductID(product.product_id);
        request.currentTag = Language::stringWithName("TAG");
    }
    auto page = ProductPageRoad::makePage(request);
    if (!page)
        return;
    applyHiddenLayout();
    base::NotificationCenter::defaultCenter().post("switchProductStyle");
    m_btnMenu->setHidden(true);
    m_orderingController->orderingButton()->setHidden(true);
    m_searchBar->setHidden(true);
    m_btnBack->setHidden(false);
    m_lblTitle->setFrame(kTitleOnPage);
    m_lblTitle->setText(product.product_name.value_or(""));
    tabItemsMove(true);
    m_detailController->pushViewController(page, true);
}

void CatalogViewController::returnToGrid(const std::function<void()>& afterPop, bool postSwitch)
{
    if (!m_btnBack)
        return;
    m_btnBack->setHidden(true);
    m_btnMenu->setHidden(false);
    m_searchBar->setHidden(false);
    auto sort = m_orderingController->orderingButton();
    sort->setHidden(false);
    sort->setAlpha(0);
    ui::View::animate(kToggleDuration, [sort] { sort->setAlpha(1); });
    m_detailController->popToRootViewController(true);
    if (afterPop)
        afterPop();
    ui::View::AnimationOptions options;
    options.duration = kToggleDuration;
    options.curve = ui::View::AnimationOptions::Curve::EaseOut;
    ui::View::animate(options, [this] {
        if (m_isMasterViewHiddened) {
            applyHiddenLayout();
        } else {
            applyShownLayout();
            if (auto* grid = m_detailViewController->productShowView())
                grid->setNeedsLayout();
        }
    });
    tabItemsMove(m_isMasterViewHiddened);
    if (postSwitch)
        base::NotificationCenter::defaultCenter().post("switchProductStyle");
}

void CatalogViewController::backButtonClicked()
{
    returnToGrid({}, true);
}

void CatalogViewController::detailOnClickTagListener(const std::string& tagName)
{
    returnToGrid([this, tagName] { m_lblTitle->setText(tagName); }, false);
    base::NotificationCenter::defaultCenter().post("didSelectToFromNotification", std::make_shared<std::string>(tagName));
}

// MARK: Search

void CatalogViewController::searchBarTextDidChange(ui::SearchBar& bar, const std::string&)
{
    if (m_serchController) {
        m_serchController->setDelegate(nullptr);
        m_serchController->dismissPopoverAnimated(false);
    }
    if (m_searchContent)
        m_searchContent->setDelegate(nullptr);
    m_searchContent = std::make_shared<UISearchController>();
    m_searchContent->setDelegate(this);
    m_serchController = std::make_shared<ui::PopoverController>(m_searchContent);
    m_serchController->setDelegate(this);
    m_serchController->setPopoverContentSize({320, 480});
    m_searchProductArray.clear();
    if (auto data = DataAccessManager::sharedDataModel())
        m_searchProductArray = data->getProductsBySearchString(trimmed(bar.text()));
    m_searchContent->setSearchProductArray(m_searchProductArray);
    if (m_searchProductArray.empty())
        return;
    gfx::Rect from = m_isMasterViewHiddened ? gfx::Rect(185, 25, 10, 10) : gfx::Rect(420, 25, 10, 10);
    m_serchController->presentPopoverFromRect(from, view().get(), ui::PopoverArrowDirectionAny, true);
}

void CatalogViewController::searchBarSearchButtonClicked(ui::SearchBar& bar)
{
    searchBarTextDidChange(bar, bar.text());
}

void CatalogViewController::orderingDidSelected(unsigned index)
{
    base::NotificationCenter::defaultCenter().post("SORT_PRODUCT", std::make_shared<base::Value>(static_cast<int64_t>(index)));
}

// MARK: Compare and favourites

void CatalogViewController::btnCompareClicked()
{
    auto data = DataAccessManager::sharedDataModel();
    auto compares = data ? data->getCompares() : std::vector<brivanta_compare_Entity>{};
    if (compares.empty()) {
        std::make_shared<UIToast>()->show(Language::stringWithName("HAVENOTCREATECOMPARISONS"));
        return;
    }
    auto screen = std::make_shared<ProductCompareController>();
    screen->setCompareProductsArray(std::move(compares));
    screen->setCompareDelegate(std::dynamic_pointer_cast<ProductCompareDelegate>(sharedController()));
    screen->setDelegate(std::dynamic_pointer_cast<PopControllerDelegate>(sharedController()));
    presentViewController(screen, true);
}

void CatalogViewController::btnFavoritesClicked()
{
    auto data = DataAccessManager::sharedDataModel();
    auto favorites = data ? data->getFavorites() : std::vector<brivanta_favorite_Entity>{};
    if (favorites.empty()) {
        std::make_shared<UIToast>()->show(Language::stringWithName("HAVENOTCREATEFAVORITES"));
        return;
    }
    auto screen = std::make_shared<ProductFavoriteController>();
    screen->setFavArray(std::move(favorites));
    screen->setFavDelegate(std::dynamic_pointer_cast<ProductFavoriteDelegate>(sharedController()));
    screen->setDelegate(std::dynamic_pointer_cast<PopControllerDelegate>(sharedController()));
    presentViewController(screen, true);
}

void CatalogViewController::dismissPopController(bool animated)
{
    dismissViewController(animated);
}

void CatalogViewController::comparePoverDismiss()
{
    dismissViewController(true);
}

void CatalogViewController::dismissProductComparePopver(bool animated)
{
    dismissViewController(animated);
}

void CatalogViewController::changeAddCompareButtonState()
{
    if (!m_detailController)
        return;
    for (auto& screen : m_detailController->viewControllers())
        if (auto* page = dynamic_cast<CatalogProductPage*>(screen.get()))
            page->deselectCompareButton();
}

void CatalogViewController::changeAddFavoriteButtonState()
{
    if (!m_detailController)
        return;
    for (auto& screen : m_detailController->viewControllers())
        if (auto* page = dynamic_cast<CatalogProductPage*>(screen.get()))
            page->deselectFavoriteButton();
}
