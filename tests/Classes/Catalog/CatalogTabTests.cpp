// The catalogue tab in the application's main screen, logged in to the demo tenant over a
// catalogue of our own: the bar and the two stacks, the panel toggle with its offset
// correction, the grid's lists and sorts, the search popover typed through the driver, the
// roads to a product page and back, and the tab's texts in both languages.
#include "tests/App/MainScreenTestSupport.h"

#include "Classes/Catalog/CatalogLayOut.h"
#include "Classes/Catalog/CatalogViewController.h"
#include "Classes/Catalog/CompareCell.h"
#include "Classes/Catalog/DetailCell.h"
#include "Classes/Catalog/DetailViewController.h"
#include "Widgets/IconButton.h"
#include "Classes/Catalog/MasterViewController.h"
#include "Classes/Catalog/ProductDetailController.h"
#include "Classes/Catalog/ProductPageRoad.h"
#include "Classes/Catalog/SearchProductCell.h"
#include "Classes/Catalog/UISearchController.h"
#include "Classes/Catalog/ProductBigCatalog.h"
#include "Common/BadgeButton.h"
#include "Platform/UI/TableView.h"
#include "Common/UIToast.h"
#include "Database/brivanta_image_Entity.h"
#include "Database/brivanta_product_price_Entity.h"
#include "Database/productAndcategoryXrefModel.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/TextField.h"
#include "Widgets/BRGridViewCell.h"
#include "Widgets/SwitchButton.h"

#include <gtest/gtest.h>

namespace {

using Names = std::vector<std::string>;

// The page the catalogue opens, as a product page would show it: its product's name.
class PageStandIn : public ui::ViewController {
public:
    explicit PageStandIn(ProductPageRequest request) : request(std::move(request)) {}
    void viewDidLoad() override { view()->setBackgroundColor(gfx::Color::fromRgb(250, 240, 220)); }
    ProductPageRequest request;
};

brivanta_product_Entity product(int id, const std::string& name, const std::string& sku, const std::string& tags = {})
{
    brivanta_product_Entity p;
    p.product_id = id;
    p.product_name = name;
    p.product_sku = sku;
    p.product_publish = 1;
    if (!tags.empty())
        p.product_tags = tags;
    return p;
}

brivanta_product_price_Entity price(int id, double list, std::optional<double> discount = std::nullopt, bool open = true)
{
    brivanta_product_price_Entity p;
    p.price_id = id;
    p.product_id = id;
    p.price = list;
    p.currency = "USD";
    if (discount) {
        p.discount_price = *discount;
        p.discount_publish = 1;
        double now = base::Date::now().timeIntervalSince1970();
        p.discount_start_date = base::Date(open ? now - 86400 : now - 3 * 86400);
        p.discount_end_date = base::Date(open ? now + 86400 : now - 2 * 86400);
    }
    return p;
}

brivanta_category_Entity category(int id, const std::string& name, int parent)
{
    brivanta_category_Entity c;
    c.category_id = id;
    c.category_name = name;
    c.category_parent_id = parent;
    c.category_publish = 1;
    c.category_type = "category";
    return c;
}

class CatalogTabTest : public apptest::MainScreenTest {
protected:
    CatalogTabTest()
    {
        DetailViewController::resetSharedState();
        MasterViewController::resetCurrentState();
        ProductPageRoad::setMaker([this](const ProductPageRequest& request) {
            auto page = std::make_shared<PageStandIn>(request);
            pages.push_back(page);
            return page;
        });
    }
    ~CatalogTabTest() override
    {
        ProductPageRoad::setMaker({});
        DetailViewController::resetSharedState();
        MasterViewController::resetCurrentState();
    }

    // Forty products named "Item 01" to "Item 40" (SKUs counting down), with "Chair" and
    // "Chaise" products found by "ch", one only by its tag, and a category tree:
    // B (20) with B1 (21: 1, 2), B2 (22: 2, 3) and 4 filed under B itself.
    void openCatalog(const std::string& leftPanel = "normal", int items = 40)
    {
        loginAsDemo();
        ConfigEntity panel;
        panel.clientid = kDemoClient;
        panel.configType = "left_panel";
        panel.desc = leftPanel;
        ConfigEntity modules;
        modules.clientid = kDemoClient;
        modules.configType = "configuration";
        modules.desc = "1,1,1,1,1,1,1";
        ConfigManager::sharedInstance()->syncConfigData(std::vector<ConfigEntity>{modules, panel});
        auto data = DataAccessManager::sharedDataModel();
        std::vector<brivanta_product_Entity> products;
        std::vector<brivanta_product_price_Entity> prices;
        for (int i = 1; i <= items; ++i) {
            char name[32], sku[32];
            std::snprintf(name, sizeof name, "Item %02d", i);
            std::snprintf(sku, sizeof sku, "SKU-%02d", 100 - i);
            products.push_back(product(i, name, sku, i == 7 ? "lounge,chic" : ""));
            prices.push_back(price(i, 10.0 * i));
        }
        EXPECT_TRUE(data->saveToDatabaseProduct(products));
        EXPECT_TRUE(data->saveToDatabasePrice(prices));
        EXPECT_TRUE(data->saveToDatabaseCategory(
            std::vector{category(20, "B", 0), category(21, "B1", 20), category(22, "B2", 20)}));
        EXPECT_TRUE(data->pacmodel()->saveToDatabasePxrefC(
            std::vector<brivanta_product_category_xref_Entity>{{21, 1}, {21, 2}, {22, 2}, {22, 3}, {20, 4}}));
        tabs = showMain();
        ASSERT_TRUE(driver->tap(tabs->buttonWithTag(1).get()));
        settle();
        catalog = catalogScreen();
        ASSERT_TRUE(catalog);
        app->window()->layoutIfNeeded();
    }
    std::shared_ptr<CatalogViewController> catalogScreen() const
    {
        auto nav = std::dynamic_pointer_cast<ui::NavigationController>(tabs->viewControllers()[1]);
        return std::dynamic_pointer_cast<CatalogViewController>(nav->viewControllers().front());
    }
    DetailViewController& grid() const { return *catalog->detailViewController(); }
    BRGridView& gridView() const { return *grid().productShowView(); }
    Names shownNames() const
    {
        Names names;
        for (auto& p : grid().productArray())
            names.push_back(p.product_name.value_or(""));
        return names;
    }
    gfx::Rect frameOf(int tag) const { return tabs->view()->viewWithTag(tag)->frame(); }
    void tapGridItem(uint32_t index)
    {
        gridView().scrollToItemAtIndexAtScrollPositionAnimated(index, BRGridView::ScrollPositionTop, false);
        settle();
        auto cell = gridView().cellForItemAtIndex(index);
        ASSERT_TRUE(cell) << index;
        gfx::Rect r = cell->convertRectToView(cell->bounds(), nullptr);
        driver->tap({r.midX(), r.y() + 60});
        settle();
    }
    DetailCell* tile(uint32_t index) const { return dynamic_cast<DetailCell*>(gridView().cellForItemAtIndex(index).get()); }
    // The panel's category rows as shown: "title (count)".
    Names panelRows() const
    {
        ui::TableView& table = *catalog->masterViewController()->myTable();
        table.layoutIfNeeded();
        Names shown;
        for (auto& ip : table.indexPathsForVisibleRows())
            if (auto* cell = dynamic_cast<ProductBigCatalog*>(table.cellForRowAtIndexPath(ip)))
                shown.push_back(cell->lbTitle().text() + " " + cell->lbcount().text());
        return shown;
    }
    void type(const std::string& text)
    {
        driver->type(text);
        settle(0.1);
    }
    UISearchController* popoverList() const
    {
        auto* pop = catalog->serchController();
        return pop ? dynamic_cast<UISearchController*>(pop->contentViewController().get()) : nullptr;
    }

    std::shared_ptr<UITabBarControllerExt> tabs;
    std::shared_ptr<CatalogViewController> catalog;
    std::vector<std::shared_ptr<PageStandIn>> pages;
};

TEST_F(CatalogTabTest, GeometryOfBothPanelStatesAndTheAnimatedToggle)
{
    struct Case {
        const char* leftPanel;
        gfx::Rect gridShown;
    } cases[] = {{"normal", {250, 0, 774, 638}}, {"overlay", {0, 0, 1024, 638}}};
    for (const auto& c : cases) {
        openCatalog(c.leftPanel);
        EXPECT_EQ(frameOf(CatalogViewController::kMasterViewTag), gfx::Rect(0, 0, 244, 768)) << c.leftPanel;
        EXPECT_EQ(frameOf(CatalogViewController::kDetailViewTag), gfx::Rect(0, 64, 1024, 638));
        EXPECT_EQ(gridView().frame(), c.gridShown) << c.leftPanel;
        EXPECT_EQ(catalog->btnMenu()->frame(), gfx::Rect(260, 5, 34, 34));
        EXPECT_EQ(catalog->lblTitle()->text(), text("CATALOG_"));
        EXPECT_EQ(catalog->orderingController()->orderingButton()->frame(), gfx::Rect(816, 5, 100, 34));
        if (std::string(c.leftPanel) == "normal")
            driver->screenshot(reviewPath("catalog_panel_shown.png"));

        auto& loop = base::RunLoop::main();
        double start = loop.now();
        catalog->ControlMasterClicked();
        auto* panel = tabs->view()->viewWithTag(CatalogViewController::kMasterViewTag);
        loop.advance(start + 0.15 - loop.now());
        double x = panel->presentation().rectToSuperview(panel->bounds()).x();
        EXPECT_GT(x, -244);
        EXPECT_LT(x, 0);
        settle();
        EXPECT_TRUE(catalog->isMasterViewHiddened());
        EXPECT_EQ(frameOf(CatalogViewController::kMasterViewTag), gfx::Rect(-244, 0, 244, 768));
        EXPECT_EQ(gridView().frame(), gfx::Rect(0, 0, 1024, 638));
        EXPECT_EQ(catalog->lblTitle()->frame(), gfx::Rect(282, 7, 460, 30));
        EXPECT_EQ(catalog->btnMenu()->frame(), gfx::Rect(15, 5, 34, 34));
        EXPECT_EQ(catalog->searchBar()->frame(), gfx::Rect(55, 3, 220, 34));
        if (std::string(c.leftPanel) == "normal")
            driver->screenshot(reviewPath("catalog_panel_hidden.png"));
        // Asking for the state it is in changes nothing.
        catalog->setMasterViewHiddedBeginPoint(true, {0, 0});
        EXPECT_FALSE(catalog->lblTitle()->hasRunningAnimations());
        catalog->setMasterViewHiddedBeginPoint(false, {0, 0});
        settle();
        EXPECT_EQ(gridView().frame(), c.gridShown);
        EXPECT_EQ(catalog->lblTitle()->frame(), gfx::Rect(527, 7, 220, 30));
        tabs.reset();
        catalog.reset();
        app->showLoginPage();
        settle();
    }
}

TEST_F(CatalogTabTest, HidingThePanelFromAPointKeepsThatItemInViewAndNeverLeavesTheContent)
{
    openCatalog("normal", 58);
    BRGridView& g = gridView();
    ASSERT_EQ(g.numberOfColumns(), 4u);
    struct Case {
        const char* name;
        uint32_t item;     // the item under the point, or NSNotFound for a point below the last
        double expectedShift;
    } cases[] = {{"item 42", 42, -424}, {"item 3", 3, 0}, {"below the last tile", NSNotFound, 0}};
    for (const auto& c : cases) {
        // Scrolled so that the item's row shows, then hidden from a point on it.
        uint32_t row = c.item == NSNotFound ? 14 : c.item / 4;
        g.setContentOffset({0, std::min(row * 212.0, g.contentSize().height - g.bounds().height())});
        settle();
        gfx::Point point = c.item == NSNotFound ? gfx::Point{3.5 * g.gridCellSize().width, 14.5 * 212}
                                                : g.gridData().cellRectAtIndex(c.item).center();
        ASSERT_EQ(g.indexForItemAtPoint(point), c.item == NSNotFound ? NSNotFound : c.item) << c.name;
        double before = g.contentOffset().y;
        catalog->setMasterViewHiddedBeginPoint(true, point);
        settle();
        EXPECT_EQ(g.numberOfColumns(), 5u);
        double maxOffset = std::max(0.0, g.contentSize().height - g.bounds().height());
        EXPECT_EQ(g.contentOffset().y, std::clamp(before + c.expectedShift, 0.0, maxOffset)) << c.name;
        EXPECT_GE(g.contentOffset().y, 0) << c.name;
        EXPECT_LE(g.contentOffset().y, maxOffset) << c.name;
        catalog->setMasterViewHiddedBeginPoint(false, {0, 0});
        settle();
    }
}

TEST_F(CatalogTabTest, TheGridListsCategoriesAndTagsAndSortsByNameSkuAndOncePricedKeys)
{
    openCatalog();
    EXPECT_EQ(grid().productArray().size(), 40u);
    EXPECT_EQ(shownNames().front(), "Item 01");
    EXPECT_EQ(DetailViewController::getCurrentTitle(), text("TAG"));

    auto& center = base::NotificationCenter::defaultCenter();
    center.post("displayFourColumn", std::make_shared<base::Value>(20));
    EXPECT_EQ(shownNames(), (Names{"Item 01", "Item 02", "Item 03"})) << "B1 and B2 once each, not B's own";
    EXPECT_EQ(catalog->lblTitle()->text(), "B");

    // Prices: 3 discounted to 5 inside its window, 2 with a window that has passed, 1 hidden.
    auto data = DataAccessManager::sharedDataModel();
    EXPECT_TRUE(data->saveToDatabasePrice(std::vector{price(1, -1), price(2, 20, 1, false), price(3, 30, 5)}));
    struct Case {
        int sort;
        Names expected;
    } cases[] = {
        {2, {"Item 01", "Item 03", "Item 02"}},
        {1, {"Item 03", "Item 02", "Item 01"}},
        {0, {"Item 01", "Item 02", "Item 03"}},
        {3, {"Item 01", "Item 02", "Item 03"}},
    };
    for (const auto& c : cases) {
        center.post("SORT_PRODUCT", std::make_shared<base::Value>(c.sort));
        EXPECT_EQ(shownNames(), c.expected) << c.sort;
        EXPECT_EQ(gridView().contentOffset().y, 0);
    }

    // A tag list stays through a category choice until every tag is shown.
    auto tagged = std::make_shared<MasterViewController::TagProducts>();
    (*tagged)["lounge"] = {product(9, "Item 09", "SKU-91"), product(7, "Item 07", "SKU-93")};
    MasterViewController::resetCurrentState();
    center.post("refushRightData", tagged);
    EXPECT_EQ(shownNames(), (Names{"Item 09", "Item 07"})) << "sort 3 keeps the order given";
    EXPECT_EQ(catalog->lblTitle()->text(), "lounge");
    center.post("refushRightData");
    EXPECT_TRUE(grid().productArray().empty());
    EXPECT_EQ(catalog->lblTitle()->text(), text("TAG"));

    // A category that names itself as its parent shows, empty, without hanging.
    EXPECT_TRUE(data->saveToDatabaseCategory(std::vector{category(23, "Loop", 23)}));
    center.post("displayFourColumn", std::make_shared<base::Value>(23));
    EXPECT_TRUE(grid().productArray().empty());
    EXPECT_EQ(catalog->lblTitle()->text(), "Loop");

    // In tag mode (chosen on the panel) a category keeps the tag's list until every tag is shown.
    ASSERT_TRUE(driver->tap(catalog->masterViewController()->btnCatalogSwitch()->btnRight()));
    settle();
    ASSERT_EQ(MasterViewController::getCurrentState(), 1);
    Names tagList = shownNames();
    center.post("displayFourColumn", std::make_shared<base::Value>(20));
    EXPECT_EQ(shownNames(), tagList);
    center.post("changeisAllState");
    center.post("displayFourColumn", std::make_shared<base::Value>(20));
    EXPECT_EQ(shownNames(), (Names{"Item 01", "Item 02", "Item 03"}));
}

TEST_F(CatalogTabTest, TheRoadsToAPageAndBack)
{
    openCatalog();
    // From a tile: the third of forty.
    tapGridItem(2);
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(catalog->lblTitle()->text(), "Item 03  ( 3 / 40 )");
    EXPECT_EQ(pages[0]->request.index, 2);
    EXPECT_EQ(pages[0]->request.count, 40);
    EXPECT_EQ(catalog->detailController()->topViewController(), pages[0]);
    EXPECT_FALSE(catalog->btnBack()->isHidden());
    EXPECT_TRUE(catalog->btnMenu()->isHidden());
    EXPECT_TRUE(catalog->searchBar()->isHidden());
    EXPECT_TRUE(catalog->orderingController()->orderingButton()->isHidden());
    EXPECT_EQ(catalog->lblTitle()->frame(), gfx::Rect(112, 7, 800, 30));
    EXPECT_EQ(frameOf(CatalogViewController::kMasterViewTag).x(), -244);
    EXPECT_FALSE(catalog->isMasterViewHiddened());
    driver->screenshot(reviewPath("catalog_page_open.png"));

    // A language change while the page is open titles the tab.
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    Language::resetLanguageCache();
    catalog->updateLanguage(nullptr);
    EXPECT_EQ(catalog->lblTitle()->text(), Language::stringWithName("CATALOG_"));
    EXPECT_EQ(catalog->orderingController()->orderingButton()->currentTitle(), Language::stringWithName("BYNAME"));
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
    Language::resetLanguageCache();

    ASSERT_TRUE(driver->tap(catalog->btnBack()));
    settle();
    EXPECT_EQ(catalog->detailController()->viewControllers().size(), 1u);
    EXPECT_EQ(frameOf(CatalogViewController::kMasterViewTag).x(), 0) << "shown again, as it was";
    EXPECT_FALSE(catalog->btnMenu()->isHidden());

    // Hidden before the page: hidden after it.
    ASSERT_TRUE(driver->tap(catalog->btnMenu()));
    settle();
    tapGridItem(0);
    ASSERT_TRUE(driver->tap(catalog->btnBack()));
    settle();
    EXPECT_EQ(frameOf(CatalogViewController::kMasterViewTag).x(), -244);

    // From a popup: [index, products]; none is ignored.
    size_t opened = pages.size();
    base::NotificationCenter::defaultCenter().post("setCatalogLayOut");
    EXPECT_EQ(pages.size(), opened);
    auto payload = std::make_shared<CatalogLayOut>();
    payload->index = 1;
    payload->products = {product(5, "Item 05", "SKU-95"), product(6, "Item 06", "SKU-94")};
    base::NotificationCenter::defaultCenter().post("setCatalogLayOut", payload);
    ASSERT_EQ(pages.size(), opened + 1);
    EXPECT_EQ(pages.back()->request.product.product_id, 6);
    EXPECT_EQ(catalog->lblTitle()->text(), "Item 06");

    // A tag tapped on a page: back to the grid titled with it, and the panel told.
    std::vector<std::string> selected;
    auto token = base::NotificationCenter::defaultCenter().addObserver(
        "didSelectToFromNotification", nullptr,
        [&](const base::Notification& n) { selected.push_back(*std::static_pointer_cast<std::string>(n.object)); });
    base::NotificationCenter::defaultCenter().post("detailOnClickTagListener", std::make_shared<std::string>("lounge"));
    settle();
    EXPECT_EQ(selected, Names{"lounge"});
    EXPECT_EQ(catalog->detailController()->viewControllers().size(), 1u);

    // Compare and favourites with nothing saved: a toast each.
    ASSERT_TRUE(driver->tap(catalog->compareBtn()));
    EXPECT_NE(driver->findByText(text("HAVENOTCREATECOMPARISONS")), nullptr);
    settle(5);
    ASSERT_TRUE(driver->tap(catalog->favBtn()));
    EXPECT_NE(driver->findByText(text("HAVENOTCREATEFAVORITES")), nullptr);
}

TEST_F(CatalogTabTest, SearchAsYouTypeThroughTheDriver)
{
    openCatalog();
    ASSERT_TRUE(driver->tap(catalog->searchBar()));
    ui::TextField& field = catalog->searchBar()->textField();
    ASSERT_TRUE(field.isFirstResponder());

    // Every keystroke makes a new popover; the bar keeps the keyboard.
    type("i");
    auto* first = catalog->serchController();
    ASSERT_TRUE(first && first->isPopoverVisible());
    type("t");
    EXPECT_NE(catalog->serchController(), first);
    EXPECT_TRUE(catalog->serchController()->isPopoverVisible());
    EXPECT_TRUE(field.isFirstResponder());
    EXPECT_EQ(catalog->searchProductArray().size(), 40u);
    driver->screenshot(reviewPath("catalog_search_popover.png"));

    struct Case {
        std::vector<std::string> keys;
        const char* typed;
        const char* text;
        size_t results;
    } cases[] = {
        {{}, "x", "itx", 0},                       // nothing found: no popover
        {{"left", "backspace"}, "", "ix", 0},
        {{"ctrl+a"}, " item 0", " item 0", 9},      // replaced; trimmed; any case
        {{"ctrl+a", "backspace"}, "", "", 40},      // cleared: every published product
        {{}, "chic", "chic", 1},                   // found only by its tag
    };
    for (const auto& c : cases) {
        for (const auto& key : c.keys)
            driver->pressKey(key == "backspace" ? "\b" : key);
        if (*c.typed)
            type(c.typed);
        settle(0.1);
        EXPECT_EQ(catalog->searchBar()->text(), c.text);
        EXPECT_EQ(catalog->searchProductArray().size(), c.results) << c.text;
        EXPECT_EQ(catalog->serchController()->isPopoverVisible(), c.results > 0) << c.text;
        EXPECT_TRUE(field.isFirstResponder()) << c.text;
    }

    // Choosing a row opens that product's page.
    UISearchController* list = popoverList();
    ASSERT_TRUE(list);
    app->window()->layoutIfNeeded();
    auto* row = list->tableView()->cellForRowAtIndexPath({0, 0});
    ASSERT_TRUE(row);
    driver->tap(row);
    settle();
    ASSERT_FALSE(pages.empty());
    EXPECT_EQ(pages.back()->request.product.product_id, 7);
    EXPECT_EQ(catalog->lblTitle()->text(), "Item 07");
    EXPECT_FALSE(field.isFirstResponder());
}

TEST_F(CatalogTabTest, SearchRowsShowPictureNamePriceAndSkuOrTheNoResultRow)
{
    openCatalog("normal", 3);
    auto data = DataAccessManager::sharedDataModel();
    // 4 has no price row; 3 a hidden price; 1 a picture file that is not there.
    EXPECT_TRUE(data->saveToDatabaseProduct(std::vector{product(4, "Item 04", "SKU-96")}));
    EXPECT_TRUE(data->saveToDatabasePrice(std::vector{price(3, -1)}));
    brivanta_image_Entity image;
    image.image_id = 1;
    image.key_id = 1;
    image.key_type = "product";
    image.image_thumb_address = "missing_thumb.png";
    image.image_isdault = 1;
    image.image_publis = 1;
    EXPECT_TRUE(data->saveToDatabaseImage(std::vector{image}));

    struct Recorder : UISearchControllerDelegate {
        std::vector<int> chosen;
        void didselectSearchResultIndex(const brivanta_product_Entity&, int index) override { chosen.push_back(index); }
    } recorder;
    auto list = std::make_shared<UISearchController>();
    list->setDelegate(&recorder);
    list->view()->setFrame({0, 0, 320, 480});
    app->window()->addSubview(list->view());
    list->setSearchProductArray(data->getProductsBySearchString(""));
    app->window()->layoutIfNeeded();
    std::vector<std::string> prices;
    for (int i = 0; i < 4; ++i) {
        auto* cell = dynamic_cast<SearchProductCell*>(list->tableView()->cellForRowAtIndexPath({0, i}));
        ASSERT_TRUE(cell);
        prices.push_back(cell->productPrice().text());
        EXPECT_EQ(cell->frame().height(), 82);
        EXPECT_FALSE(cell->imageView().subviews().empty()) << "a picture or the placeholder";
    }
    EXPECT_EQ(prices, (std::vector<std::string>{"$10.00", "$20.00", "", ""}));
    driver->tap(list->tableView()->cellForRowAtIndexPath({0, 1}));
    EXPECT_EQ(recorder.chosen, std::vector<int>{1});
    EXPECT_FALSE(list->tableView()->indexPathForSelectedRow());

    list->setSearchProductArray({});
    app->window()->layoutIfNeeded();
    auto* none = list->tableView()->cellForRowAtIndexPath({0, 0});
    ASSERT_TRUE(none);
    EXPECT_EQ(none->textLabel().text(), text("NORESULT"));
    driver->tap(none);
    EXPECT_EQ(recorder.chosen.size(), 1u);
    list->view()->removeFromSuperview();
}

TEST_F(CatalogTabTest, APopupOpensItsPageBesideAnyPanelTypeTitledWithTheProduct)
{
    openCatalog("overlay");
    ASSERT_FALSE(catalog->isMasterViewHiddened());
    auto payload = std::make_shared<CatalogLayOut>();
    payload->index = 1;
    payload->products = {product(5, "Item 05", "SKU-95"), product(6, "Item 06", "SKU-94")};
    base::NotificationCenter::defaultCenter().post("setCatalogLayOut", payload);
    settle();
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(catalog->detailController()->topViewController(), pages[0]) << "the page stays";
    EXPECT_EQ(catalog->lblTitle()->text(), "Item 06");
}

TEST_F(CatalogTabTest, OnAGridShorterThanItsViewShowingThePanelFromAPointStaysInsideTheContent)
{
    openCatalog("normal", 8);
    ASSERT_TRUE(driver->tap(catalog->btnMenu()));
    settle();
    BRGridView& g = gridView();
    ASSERT_EQ(g.numberOfColumns(), 5u);
    ASSERT_LT(2 * 212.0, g.bounds().height()) << "two rows of tiles";
    // Item 4: row 0 of five columns, row 1 of four, so the correction asks for +212.
    gfx::Point point = g.gridData().cellRectAtIndex(4).center();
    ASSERT_EQ(g.indexForItemAtPoint(point), 4u);
    catalog->setMasterViewHiddedBeginPoint(false, point);
    settle();
    EXPECT_EQ(g.numberOfColumns(), 4u);
    EXPECT_EQ(g.contentOffset().y, 0);
}

TEST_F(CatalogTabTest, HorizontalDragsPastAHundredCollectedToggleThePanelAndVerticalOnesScroll)
{
    openCatalog();
    struct Recorder : DetailViewDelegate {
        std::vector<std::pair<bool, gfx::Point>> calls;
        void setMasterViewHiddedBeginPoint(bool hidden, gfx::Point point) override { calls.emplace_back(hidden, point); }
    } recorder;
    grid().setDetailViewDelegate(&recorder);
    // Drags of 12 steps from (600, 400): the pan begins past its 10-point slop, then adds the
    // whole translation at every step. 36 points collect 12, 27, ... 117 by the ninth step, so
    // the tenth calls the delegate; 16 points collect about 67 and end with nothing.
    struct Case {
        const char* name;
        double dx, dy;
        std::vector<bool> calls;
        double beganX; // where the pan began, in the window
    } cases[] = {
        {"right past 100", 36, 0, {false}, 612},
        {"left past -100", -36, 0, {true}, 588},
        {"right, 67 collected", 16, 0, {}, 0},
        {"down the grid", 30, -300, {}, 0},
    };
    for (const auto& c : cases) {
        recorder.calls.clear();
        double offset = gridView().contentOffset().y;
        driver->drag({600, 400}, {600 + c.dx, 400 + c.dy}, 0.3, 12);
        settle();
        std::vector<bool> hidden;
        for (auto& [h, point] : recorder.calls) {
            hidden.push_back(h);
            EXPECT_EQ(point, DetailViewController::panStartPoint()) << c.name;
            EXPECT_EQ(point, (gfx::Point{c.beganX - 250, 400 - 64 + offset})) << c.name;
        }
        EXPECT_EQ(hidden, c.calls) << c.name;
        EXPECT_EQ(grid().panDistance(), 0) << c.name;
        if (c.dy != 0) {
            EXPECT_GT(gridView().contentOffset().y, offset + 100) << "the grid scrolled";
        }
        gridView().setContentOffset({0, 0});
    }
    // The tab itself as the delegate: a left drag hides the panel, a right one shows it.
    grid().setDetailViewDelegate(catalog.get());
    driver->drag({600, 400}, {564, 400}, 0.3, 12);
    settle();
    EXPECT_TRUE(catalog->isMasterViewHiddened());
    EXPECT_EQ(frameOf(CatalogViewController::kMasterViewTag).x(), -244);
    driver->drag({600, 400}, {636, 400}, 0.3, 12);
    settle();
    EXPECT_FALSE(catalog->isMasterViewHiddened());
}

TEST_F(CatalogTabTest, RealPagesAddCompareAndComeBackToAnUndimmedSortedGrid)
{
    openCatalog();
    ProductDetailController::installPageMaker();
    base::NotificationCenter::defaultCenter().post("SORT_PRODUCT", std::make_shared<base::Value>(1));
    Names bySku = shownNames();
    ASSERT_EQ(bySku.front(), "Item 40");

    auto openPage = [&](uint32_t index) -> std::shared_ptr<ProductDetailController> {
        tapGridItem(index);
        return std::dynamic_pointer_cast<ProductDetailController>(catalog->detailController()->topViewController());
    };
    // Item 38 (the third by SKU): added to the order and compared on its page.
    auto page = openPage(2);
    ASSERT_TRUE(page);
    EXPECT_EQ(catalog->lblTitle()->text(), "Item 38  ( 3 / 40 )");
    ASSERT_TRUE(tile(2));
    EXPECT_LT(tile(2)->productImageView().alpha(), 1) << "dimmed while its page opens";
    ASSERT_TRUE(driver->tap(page->addToOrderBtn().get()));
    settle();
    ASSERT_TRUE(driver->tap(page->compareBtn().get()));
    EXPECT_TRUE(page->compareBtn()->isSelected());
    ASSERT_TRUE(driver->tap(catalog->btnBack()));
    settle(2);
    EXPECT_EQ(shownNames(), bySku) << "the order survives the page";
    ASSERT_TRUE(tile(2));
    // On a busy machine the tile's picture may come back after the wait; its fade then runs.
    for (int step = 0; step < 100 && tile(2) && tile(2)->productImageView().alpha() < 1; ++step)
        settle(0.1);
    ASSERT_TRUE(tile(2));
    EXPECT_EQ(tile(2)->productImageView().alpha(), 1);
    EXPECT_EQ(tile(2)->productImageView().backgroundColor(), gfx::Color::clear());
    EXPECT_FALSE(tile(2)->addOrderBtn().badgeView()->isHidden());
    EXPECT_EQ(tile(2)->addOrderBtn().badgeLabel()->text(), "1");

    // A second product compared, then the popup: two columns; REMOVEALL deselects the page's button.
    page = openPage(5);
    ASSERT_TRUE(page);
    ASSERT_TRUE(driver->tap(page->compareBtn().get()));
    ASSERT_TRUE(page->compareBtn()->isSelected());
    ASSERT_TRUE(driver->tap(catalog->compareBtn()));
    settle();
    auto columns = driver->findAllByClass("CompareCell");
    ASSERT_EQ(columns.size(), 2u);
    Names compared;
    for (auto* column : columns)
        compared.push_back(static_cast<CompareCell*>(column)->productNameLabel().text());
    std::sort(compared.begin(), compared.end());
    EXPECT_EQ(compared, (Names{"Item 35", "Item 38"}));
    driver->screenshot(reviewPath("catalog_compare_two.png"));
    ASSERT_TRUE(driver->tap(driver->findByText(text("EDIT"))));
    ASSERT_TRUE(driver->tap(driver->findByText(text("REMOVEALL"))));
    settle();
    EXPECT_EQ(driver->findByText(text("PRODUCTCOMPARISON")), nullptr) << "the popup closed";
    EXPECT_TRUE(driver->findAllByClass("CompareCell").empty());
    EXPECT_FALSE(page->compareBtn()->isSelected());
    EXPECT_TRUE(DataAccessManager::sharedDataModel()->getCompares().empty());

    // A favourite kept on the page, opened again from the favourites popup's tile.
    ASSERT_TRUE(driver->tap(page->favBtn().get()));
    ASSERT_TRUE(driver->tap(catalog->btnBack()));
    settle();
    ASSERT_TRUE(driver->tap(catalog->favBtn()));
    settle();
    ASSERT_NE(driver->findByText(text("FAVORITES")), nullptr);
    driver->screenshot(reviewPath("catalog_favourites.png"));
    auto tiles = driver->findAllByClass("DetailCell");
    auto favourite = std::find_if(tiles.begin(), tiles.end(), [](ui::View* v) { return v->tag() == 3000; });
    ASSERT_NE(favourite, tiles.end());
    ASSERT_TRUE(driver->tap(&static_cast<DetailCell*>(*favourite)->bgImageView()));
    settle();
    EXPECT_EQ(driver->findByText(text("FAVORITES")), nullptr) << "the popup closed";
    auto opened = std::dynamic_pointer_cast<ProductDetailController>(catalog->detailController()->topViewController());
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->productID(), 35);
    EXPECT_EQ(catalog->lblTitle()->text(), "Item 35");
    EXPECT_FALSE(catalog->btnBack()->isHidden());
    EXPECT_TRUE(catalog->btnMenu()->isHidden());
    EXPECT_TRUE(catalog->searchBar()->isHidden());
}

TEST_F(CatalogTabTest, AfterASyncSelectingTheTabReturnsToTheGridAndReloadsThePanel)
{
    openCatalog();
    auto& flags = ConfigManager::sharedInstance()->flagDic();
    auto data = DataAccessManager::sharedDataModel();
    auto rowOfB = [&] {
        for (auto& row : panelRows())
            if (row.rfind("B ", 0) == 0)
                return row;
        return std::string("no row B");
    };
    ASSERT_EQ(rowOfB(), "B (3)");
    struct Case {
        const char* flag;
        size_t stack;     // screens on the right-hand stack once the tab shows again
        size_t products;  // on the grid
        const char* b;    // the panel's row for B
    } cases[] = {{"NO", 2, 40, "B (3)"}, {"YES", 1, 41, "B (4)"}};
    for (const auto& c : cases) {
        tapGridItem(1);
        ASSERT_EQ(catalog->detailController()->viewControllers().size(), 2u);
        ASSERT_TRUE(driver->tap(tabs->buttonWithTag(0).get()));
        settle();
        // What a sync brings while the tab is away: a product in B1.
        ASSERT_TRUE(data->saveToDatabaseProduct(std::vector{product(41, "Item 41", "SKU-59")}));
        ASSERT_TRUE(data->pacmodel()->saveToDatabasePxrefC(std::vector<brivanta_product_category_xref_Entity>{{21, 41}}));
        flags["Needreloadcatelog"] = c.flag;
        ASSERT_TRUE(driver->tap(tabs->buttonWithTag(1).get()));
        settle();
        EXPECT_EQ(flags["Needreloadcatelog"], "NO") << c.flag;
        EXPECT_EQ(catalog->detailController()->viewControllers().size(), c.stack) << c.flag;
        EXPECT_EQ(grid().productArray().size(), c.products) << c.flag;
        EXPECT_EQ(rowOfB(), c.b) << c.flag;
        if (c.stack > 1) {
            ASSERT_TRUE(driver->tap(catalog->btnBack()));
            settle();
        }
    }
}

} // namespace
