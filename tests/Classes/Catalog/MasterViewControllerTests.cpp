#include "PanelTestSupport.h"

#include "Classes/Catalog/CategoryWalk.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"

#include <algorithm>

namespace {

using paneltest::PanelTest;
using Log = std::vector<std::string>;

class MasterViewControllerTest : public PanelTest {};

TEST_F(MasterViewControllerTest, CategoriesDrillDownAndBackWithCountsAndAnnouncements)
{
    showPanel();
    ui::TableView& table = *panel->myTable();
    // "All" counts what its list shows: every published product, 7-10 filed directly on B too.
    EXPECT_EQ(rows(table), (Log{"All (15)", "A (2)", "B (4)", "Uncategorized (5)"}));
    EXPECT_EQ(data->getAllProducts().size(), 15u);
    auto* uncategorized = dynamic_cast<ProductBigCatalog*>(table.cellForRowAtIndexPath({0, 3}));
    EXPECT_EQ(uncategorized->lbTitle().font(), gfx::Font::italicSystemFont(16));
    EXPECT_TRUE(uncategorized->imgicon().isHidden());
    EXPECT_FALSE(dynamic_cast<ProductBigCatalog*>(table.cellForRowAtIndexPath({0, 2}))->imgicon().isHidden());
    EXPECT_TRUE(dynamic_cast<ProductBigCatalog*>(table.cellForRowAtIndexPath({0, 1}))->imgicon().isHidden());
    EXPECT_EQ(panel->lbcategory()->text(), "Category");
    EXPECT_TRUE(panel->btnback()->isHidden());
    EXPECT_TRUE(recorder.log.empty()) << "the first load announces nothing";
    driver->screenshot(reviewPath("panel_categories.png"));

    // B slides its rows out and B1, B2 in; a scroll meanwhile does not snap a moving row back.
    // Pressed and released at once: no time passes, as it does with a tap.
    driver->press(driver->centerOf(table.cellForRowAtIndexPath({0, 2})));
    driver->release();
    base::RunLoop::main().advance(0);
    EXPECT_EQ(recorder.take(), Log{"displayFourColumn 20"});
    double start = now();
    advanceTo(start, 0.1);
    auto* moving = table.cellForRowAtIndexPath({0, 1});
    table.setContentOffset({0, 3});
    table.layoutIfNeeded();
    table.setContentOffset({0, 0});
    table.layoutIfNeeded();
    double x = moving->presentation().center.x - moving->bounds().width() / 2;
    EXPECT_LT(x, -1);
    EXPECT_GT(x, -242);
    EXPECT_EQ(table.cellForRowAtIndexPath({0, 0})->frame().x(), 0) << "the summary row stays";
    settle();
    EXPECT_EQ(rows(table), (Log{"All (4)", "B1 (3)", "B2 (1)"}));
    EXPECT_EQ(table.cellForRowAtIndexPath({0, 1})->frame().x(), 0);
    EXPECT_FALSE(panel->btnback()->isHidden());
    EXPECT_EQ(panel->lbcategory()->text(), "B \n");
    EXPECT_TRUE(recorder.log.empty()) << "B's summary row was announced already";

    // Choosing a leaf below announces it and keeps the back button.
    tapRow(table, 1);
    EXPECT_EQ(recorder.take(), Log{"displayFourColumn 21"});
    tapRow(table, 1);
    EXPECT_TRUE(recorder.log.empty()) << "the selected row again";
    tapRow(table, 0);
    EXPECT_EQ(recorder.take(), Log{"displayFourColumn 20"});

    ASSERT_TRUE(driver->tap(panel->btnback()));
    EXPECT_EQ(recorder.take(), Log{"displayFourColumn 0"});
    settle();
    EXPECT_EQ(rows(table), (Log{"All (15)", "A (2)", "B (4)", "Uncategorized (5)"}));
    EXPECT_TRUE(panel->btnback()->isHidden());
    EXPECT_EQ(panel->lbcategory()->text(), "Category");

    tapRow(table, 1);
    EXPECT_EQ(recorder.take(), Log{"displayFourColumn 10"});
    EXPECT_TRUE(panel->btnback()->isHidden());
    tapRow(table, 0);
    EXPECT_EQ(recorder.take(), Log{"displayFourColumn 0"}) << "the top level's summary always posts";
}

TEST_F(MasterViewControllerTest, TagModeListsDistinctNamesAndSwitchingBackReannouncesTheCategory)
{
    showPanel();
    tapRow(*panel->myTable(), 1);
    recorder.take();
    ASSERT_TRUE(driver->tap(panel->btnCatalogSwitch()->btnRight()));
    EXPECT_EQ(MasterViewController::getCurrentState(), 1);
    EXPECT_EQ(recorder.take(), (Log{"refushRightData none", "refushRightData Zebra: 4 5"}));
    TagsLeftView& tags = *panel->tagsLeftView();
    EXPECT_EQ(rows(tags.tableView()), (Log{"Zebra (2)", "apple (2)", "empty (0)"}));
    EXPECT_EQ(panel->lbcategory()->text(), "Tag");
    EXPECT_EQ(title->text(), "Tag");
    EXPECT_TRUE(panel->myTable()->isHidden());
    driver->screenshot(reviewPath("panel_tags.png"));

    tapRow(tags.tableView(), 1);
    EXPECT_EQ(recorder.take(), Log{"refushRightData apple: 1 2"});
    tapRow(tags.tableView(), 1);
    EXPECT_TRUE(recorder.log.empty());

    auto& center = base::NotificationCenter::defaultCenter();
    center.post("didSelectToFromNotification", std::make_shared<std::string>("Nothing"));
    EXPECT_TRUE(recorder.log.empty());
    EXPECT_EQ(tags.selectRow(), 1);
    center.post("didSelectToFromNotification", std::make_shared<std::string>("empty"));
    EXPECT_EQ(recorder.take(), Log{"refushRightData empty:"});
    EXPECT_EQ(tags.tableView().indexPathForSelectedRow(), ui::IndexPath::forRow(2, 0));

    ASSERT_TRUE(driver->tap(panel->btnCatalogSwitch()->btnLeft()));
    EXPECT_EQ(recorder.take(), Log{"displayFourColumn 10"});
    EXPECT_EQ(MasterViewController::getCurrentState(), 0);
    EXPECT_EQ(title->text(), "Catalog");
    // Back in tag mode the chosen tag is announced again, without rebuilding the list.
    center.post("changeMasterViewState");
    EXPECT_EQ(recorder.take(), Log{"refushRightData empty:"});
    EXPECT_EQ(panel->btnCatalogSwitch()->currentIndex(), 1);

    // An unloaded view comes back in tag mode with the list and its selection.
    panel->view()->removeFromSuperview();
    panel->unloadViewForTesting();
    window->addSubview(panel->view());
    recorder.take();
    EXPECT_EQ(panel->btnCatalogSwitch()->currentIndex(), 1);
    EXPECT_EQ(panel->lbcategory()->text(), "Tag");
    EXPECT_TRUE(panel->btnback()->isHidden());
    EXPECT_EQ(rows(panel->tagsLeftView()->tableView()), (Log{"Zebra (2)", "apple (2)", "empty (0)"}));
    EXPECT_EQ(panel->tagsLeftView()->selectRow(), 2);

    // A panel going away leaves category mode behind.
    panel->view()->removeFromSuperview();
    panel.reset();
    EXPECT_EQ(MasterViewController::getCurrentState(), 0);
    center.post("changeMasterViewState");
    center.post("didSelectToFromNotification", std::make_shared<std::string>("apple"));
    EXPECT_TRUE(recorder.log.empty());
}

TEST_F(MasterViewControllerTest, ReloadOnReturnAndLanguageSwitch)
{
    showPanel();
    auto& flags = ConfigManager::sharedInstance()->flagDic();
    flags["Needreloadcatelog"] = "NO";
    panel->viewWillAppear(false);
    EXPECT_TRUE(recorder.log.empty());

    // A product saved under A shows after the flag asks for it.
    ASSERT_TRUE(data->saveToDatabaseProduct(std::vector{paneltest::product(30)}));
    ASSERT_TRUE(data->pacmodel()->saveToDatabasePxrefC(std::vector<brivanta_product_category_xref_Entity>{{10, 30}}));
    flags["Needreloadcatelog"] = "YES";
    panel->viewWillAppear(false);
    EXPECT_EQ(recorder.take(), (Log{"btnBackClick", "displayFourColumn 0"}));
    EXPECT_EQ(flags["Needreloadcatelog"], "NO");
    EXPECT_EQ(rows(*panel->myTable()), (Log{"All (16)", "A (3)", "B (4)", "Uncategorized (5)"}));

    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    Language::resetLanguageCache();
    EXPECT_EQ(panel->lbcategory()->text(), Language::stringWithName("CATEGORY"));
    EXPECT_NE(panel->lbcategory()->text(), "Category");
    EXPECT_EQ(panel->btnback()->titleForState(ui::ControlStateNormal), Language::stringWithName("BACK"));
    EXPECT_EQ(panel->btnCatalogSwitch()->rightTittle(), Language::stringWithName("TAG"));
    auto shown = rows(*panel->myTable());
    EXPECT_EQ(shown.back(), Language::stringWithName("UNCATEGORIZED") + " (5)");
    EXPECT_EQ(shown.front(), Language::stringWithName("ALL") + " (16)");
    driver->screenshot(reviewPath("panel_categories_cn.png"));
    ASSERT_TRUE(driver->tap(panel->btnCatalogSwitch()->btnRight()));
    driver->screenshot(reviewPath("panel_tags_cn.png"));
}

TEST_F(MasterViewControllerTest, TheWalkCountsEachProductOnceAndEndsOnLoops)
{
    // 23 under B repeats B1's product 3, which B counts once; 30 names itself as its parent; 40 and 41 are each
    // other's parents.
    ASSERT_TRUE(data->saveToDatabaseCategory(std::vector{paneltest::category(23, "B3", 20),
                                                          paneltest::category(30, "Self", 30),
                                                          paneltest::category(40, "Ping", 41),
                                                          paneltest::category(41, "Pong", 40)}));
    ASSERT_TRUE(data->pacmodel()->saveToDatabasePxrefC(std::vector<brivanta_product_category_xref_Entity>{
        {21, 3}, {23, 3}, {30, 12}, {40, 13}}));
    struct Case {
        int category;
        std::vector<int> products;
    };
    const Case cases[] = {
        {20, {3, 4, 5, 6}}, {21, {3, 4, 5}}, {-1, {11, 14, 15}}, {30, {}}, {40, {}}, {41, {}}, {99, {}},
    };
    for (const Case& c : cases) {
        auto products = CategoryWalk::productsUnderCategory(c.category);
        std::vector<int> ids;
        for (auto& p : products)
            ids.push_back(p.product_id);
        std::sort(ids.begin(), ids.end());
        EXPECT_EQ(ids, c.products) << c.category;
        EXPECT_EQ(CategoryWalk::countProductsUnderCategory(c.category), static_cast<int>(c.products.size()));
    }
    showPanel();
    // 12 and 13 are filed only under the loops: no row counts them, the list of all shows them.
    EXPECT_EQ(rows(*panel->myTable()), (Log{"All (15)", "A (2)", "B (4)", "Uncategorized (3)"}));
    tapRow(*panel->myTable(), 2);
    settle();
    // Product 3 is filed under B1 and B3: "All" counts it once.
    EXPECT_EQ(rows(*panel->myTable()), (Log{"All (4)", "B1 (3)", "B2 (1)", "B3 (1)"}));
}

} // namespace
