// The library tab on the main screen of a launched application (demo tenant, manual clock):
// its two panes on the tab bar's view, the sliding panel, the two tabs, the category tree
// against the grids, the sync reload; and the search list on its own.
#include "tests/App/MainScreenTestSupport.h"

#include "Classes/Library/LibraryCatalogCell.h"
#include "Classes/Library/LibraryCatalogController.h"
#include "Classes/Library/LibraryDetailController.h"
#include "Classes/Library/SaleslibraryController.h"
#include "Classes/Library/librarySearchViewcontroller.h"
#include "Common/LanguageManager.h"
#include "Database/SQLite/BRDatabase.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/TableView.h"
#include "Widgets/BRCheckBoxView.h"

namespace {

using apptest::MainScreenTest;

brivanta_library_category_Entity category(int id, std::string name, int parent, int published = 1)
{
    brivanta_library_category_Entity c;
    c.categoryID = id;
    c.name = std::move(name);
    c.parent_id = parent;
    c.published = published;
    return c;
}

brivanta_library_files_Entity document(int id, std::string title, int categoryId, std::string type = "PDF")
{
    brivanta_library_files_Entity f;
    f.file_id = id;
    f.title = title;
    f.file_name = title + (type == "VEDIO" ? ".mp4" : ".pdf");
    f.type = std::move(type);
    f.category = categoryId;
    f.published = 1;
    f.info = "PDF/0.4 M";
    f.date = "2025-06-0" + std::to_string(id % 9 + 1) + " 10:00:00";
    return f;
}

class LibraryTabTest : public MainScreenTest {
protected:
    std::shared_ptr<SaleslibraryController> openLibrary(bool replaceDemoLibrary = true)
    {
        loginAsDemo("1,1,1,1,1,1,1", 1);
        auto manager = DataAccessManager::sharedDataModel();
        if (replaceDemoLibrary) {
            auto db = BRDatabase::sharedDataBase();
            EXPECT_TRUE(db->executeUpdate("delete from brivanta_library_files"));
            EXPECT_TRUE(db->executeUpdate("delete from brivanta_library_category"));
            EXPECT_TRUE(manager->saveToDatabaseLibraryCategory(std::vector{
                category(1, "A", 0), category(2, "B", 1), category(3, "C", 2), category(4, "Leaf", 0),
                category(5, "Hidden", 4, 0)}));
            EXPECT_TRUE(manager->saveToDatabaseLibraryFiles(
                std::vector{document(21, "f1", 3), document(22, "f2", 2), document(23, "f3", 0)}));
        }
        tabs = showMain();
        auto controller = tabs->viewControllers().at(4);
        if (auto nav = std::dynamic_pointer_cast<ui::NavigationController>(controller))
            controller = nav->viewControllers().front();
        library = std::dynamic_pointer_cast<SaleslibraryController>(controller);
        EXPECT_NE(library, nullptr);
        EXPECT_TRUE(driver->tap(tabs->buttonWithTag(4)->btn().get()));
        settle();
        return library;
    }
    ui::View* onTabView(int tag) const { return tabs->view()->viewWithTag(tag); }
    LibraryDetailController& grid(size_t tab = 0) const { return *library->detailViewsArray().at(tab); }
    LibraryCatalogController& tree() const { return *library->catalogController(); }
    std::vector<std::string> rows() const
    {
        std::vector<std::string> out;
        auto* table = tree().catatable();
        for (int row = 0; row < table->numberOfRowsInSection(0); ++row) {
            auto cell = tree().cellForRowAtIndexPath(*table, ui::IndexPath::forRow(row, 0));
            auto* c = static_cast<LibraryCatalogCell*>(cell.get());
            out.push_back(c->lbTitle().text() + " " + c->lbcount().text());
        }
        return out;
    }
    std::vector<std::string> listed(size_t tab = 0) const
    {
        std::vector<std::string> out;
        for (const auto& file : grid(tab).libfilesArray())
            out.push_back(file.title.value_or(""));
        return out;
    }
    void tapRow(int row)
    {
        auto* table = tree().catatable();
        table->selectRowAtIndexPath(ui::IndexPath::forRow(row, 0), false);
        tree().didSelectRowAtIndexPath(*table, ui::IndexPath::forRow(row, 0));
        settle(1);
    }

    std::shared_ptr<UITabBarControllerExt> tabs;
    std::shared_ptr<SaleslibraryController> library;
};

TEST_F(LibraryTabTest, PanesLieOnTheTabBarAndThePanelSlides)
{
    openLibrary();
    ASSERT_NE(onTabView(6003), nullptr);
    ASSERT_NE(onTabView(6004), nullptr);
    EXPECT_EQ(onTabView(6003)->frame(), gfx::Rect(0, 0, 244, 768));
    EXPECT_EQ(onTabView(6004)->frame(), gfx::Rect(0, 64, 1024, 638));
    EXPECT_EQ(listed(), (std::vector<std::string>{"f1", "f2", "f3"}));
    driver->screenshot(reviewPath("library_tab_en.png"));

    struct Case {
        int language;
        gfx::Rect hiddenBox;
        gfx::Rect shownBox;
    };
    for (const Case& c : {Case{1, {628, 7, 200, 30}, {384, 7, 200, 30}}, Case{2, {685, 7, 150, 30}, {441, 7, 150, 30}}}) {
        SCOPED_TRACE(c.language);
        LanguageManager::sharedInstance()->setCurrentLanguage(c.language);
        settle();
        base::NotificationCenter::defaultCenter().post("HideLibraryMasterView");
        base::RunLoop::main().advance(0.15);
        EXPECT_GT(onTabView(6003)->presentation().center.x, -122) << "still sliding";
        settle();
        EXPECT_TRUE(library->isMasterViewHiddened());
        EXPECT_EQ(onTabView(6003)->frame(), gfx::Rect(-244, 0, 244, 768));
        EXPECT_EQ(library->controlMasterBtn()->frame(), gfx::Rect(15, 5, 34, 34));
        EXPECT_TRUE(library->controlMasterBtn()->isSelected());
        EXPECT_EQ(grid().gridView()->frame(), gfx::Rect(0, 50, 1024, 588));
        EXPECT_EQ(grid().headerView()->frame(), gfx::Rect(0, 0, 1024, 50));
        EXPECT_EQ(grid().checkBox()->frame(), c.hiddenBox);
        EXPECT_EQ(grid().sortButton()->frame(), gfx::Rect(840, 10, 110, 30));
        EXPECT_EQ(grid().allFilesButton()->frame(), gfx::Rect(970, 8, 34, 34));
        if (c.language == 2)
            driver->screenshot(reviewPath("library_tab_hidden_cn.png"));
        ASSERT_TRUE(driver->tap(library->controlMasterBtn()));
        settle();
        EXPECT_FALSE(library->isMasterViewHiddened());
        EXPECT_EQ(onTabView(6003)->frame(), gfx::Rect(0, 0, 244, 768));
        EXPECT_EQ(grid().gridView()->frame(), gfx::Rect(244, 50, 780, 588));
        EXPECT_EQ(grid().checkBox()->frame(), c.shownBox);
        EXPECT_EQ(library->controlMasterBtn()->frame(), gfx::Rect(260, 5, 34, 34));
    }
    LanguageManager::sharedInstance()->setCurrentLanguage(1);

    // The collection tab: made once, kept, and slid with the rest.
    ASSERT_TRUE(driver->tap(library->tabButton(1)));
    ASSERT_EQ(library->detailViewsArray().size(), 2u);
    auto collection = library->detailViewsArray()[1];
    EXPECT_TRUE(collection->checkBox()->isHidden());
    ASSERT_TRUE(driver->tap(library->tabButton(1)));
    ASSERT_TRUE(driver->tap(library->tabButton(0)));
    ASSERT_TRUE(driver->tap(library->tabButton(1)));
    EXPECT_EQ(library->detailViewsArray().size(), 2u);
    EXPECT_EQ(library->detailViewsArray()[1], collection);
    EXPECT_EQ(library->tabIndex(), 1);
    library->HideMasterView();
    settle();
    EXPECT_EQ(collection->gridView()->frame(), gfx::Rect(0, 50, 1024, 588));
    library->ShowMasterView();
    settle();

    ASSERT_TRUE(driver->tap(tabs->buttonWithTag(0)->btn().get()));
    settle();
    EXPECT_EQ(onTabView(6003), nullptr);
    EXPECT_EQ(onTabView(6004), nullptr);
    library->addLibraryView();
    EXPECT_EQ(onTabView(6003), nullptr) << "only while the library tab is selected";
}

TEST_F(LibraryTabTest, TheTreeCountsDrillsDownAndTellsTheGrid)
{
    openLibrary();
    std::vector<std::string> posts;
    auto token = base::NotificationCenter::defaultCenter().addObserver(
        "display_catalog", nullptr, [&](const base::Notification& note) {
            posts.push_back(std::to_string(note.userInfo["clickIndex"].toInt()));
        });
    EXPECT_EQ(rows(), (std::vector<std::string>{"All (3)", "A (2)", "Leaf (0)", "Uncategorized (1)"}));
    EXPECT_EQ(tree().catatitlelb()->text(), "Category");
    EXPECT_TRUE(tree().btnBack()->isHidden());

    tapRow(1);
    EXPECT_EQ(tree().catatitlelb()->text(), "A");
    EXPECT_FALSE(tree().btnBack()->isHidden());
    EXPECT_EQ(rows(), (std::vector<std::string>{"All (2)", "B (2)"}));
    EXPECT_EQ(posts, (std::vector<std::string>{"1", "1"})) << "the ALL row of A, then once the slide ends";
    EXPECT_EQ(listed(), (std::vector<std::string>{"f1", "f2"}));
    driver->screenshot(reviewPath("library_tree_a.png"));
    posts.clear();
    tapRow(0);
    EXPECT_TRUE(posts.empty()) << "the chosen row again does nothing";

    ASSERT_TRUE(driver->tap(tree().btnBack()));
    settle(1);
    EXPECT_EQ(tree().catatitlelb()->text(), "Category");
    EXPECT_TRUE(tree().btnBack()->isHidden());
    EXPECT_EQ(tree().clickIndex(), -1);
    EXPECT_EQ(posts, std::vector<std::string>{"-1"});
    EXPECT_EQ(listed().size(), 3u);

    // A category whose sub-categories are all unpublished is a leaf: it posts at once.
    posts.clear();
    tapRow(2);
    EXPECT_EQ(posts, std::vector<std::string>{"4"});
    EXPECT_EQ(tree().cid(), 0);
    EXPECT_TRUE(listed().empty());
    tapRow(0);
    EXPECT_EQ(tree().clickIndex(), -1);

    // A "reloadlibrarycatalog" from the other tab's grid, without a tab change, is ignored.
    ASSERT_TRUE(driver->tap(library->tabButton(1)));
    ASSERT_TRUE(driver->tap(library->tabButton(0)));
    auto before = rows();
    base::Dictionary info;
    info.set("ChangeTab", base::Value(false));
    grid().setSelectedCategory(3);
    auto other = std::make_shared<LibraryDetailController>();
    other->setLibraryTab(1);
    base::NotificationCenter::defaultCenter().post("reloadlibrarycatalog", std::static_pointer_cast<ui::ViewController>(other),
                                                   base::Value(info));
    EXPECT_EQ(rows(), before);
    EXPECT_EQ(tree().tabIndex(), 0);

    // A loop in the server's tree (2 -> 3 -> 2) ends the count.
    ASSERT_TRUE(DataAccessManager::sharedDataModel()->saveToDatabaseLibraryCategory(
        std::vector{category(2, "B", 3), category(3, "C", 2)}));
    grid().setSelectedCategory(-1);
    grid().reloadDataWithPostNotiChangeTab(true, false);
    EXPECT_EQ(rows(), (std::vector<std::string>{"All (3)", "A (0)", "Leaf (0)", "Uncategorized (1)"}));
}

TEST_F(LibraryTabTest, ASyncThatChangedTheLibraryBringsTheTreeBackToTheTop)
{
    openLibrary();
    tapRow(1);
    ASSERT_EQ(tree().cid(), 1);
    ASSERT_TRUE(driver->tap(tabs->buttonWithTag(0)->btn().get()));
    settle();
    DataAccessManager::sharedDataModel()->saveToDatabaseLibraryFiles(std::vector{document(24, "f4", 0)});
    auto config = ConfigManager::sharedInstance();
    ConfigEntity modules, panel;
    modules.clientid = panel.clientid = kDemoClient;
    modules.configType = "configuration";
    modules.desc = "1,1,1,1,1,1,1";
    panel.configType = "left_panel";
    panel.desc = "normal";
    config->syncConfigData(std::vector<ConfigEntity>{modules, panel});
    config->flagDic()["Needreloadlibrary"] = "YES";
    ASSERT_EQ(config->leftPanelType(), std::optional<std::string>("normal"));
    app->setIsFileDisPlayTwoColumn(false);
    ASSERT_TRUE(driver->tap(tabs->buttonWithTag(4)->btn().get()));
    settle();
    EXPECT_EQ(config->flagDic()["Needreloadlibrary"], "NO");
    EXPECT_TRUE(app->isFileDisPlayTwoColumn());
    EXPECT_EQ(tree().cid(), 0);
    EXPECT_EQ(tree().catatitlelb()->text(), "Category");
    EXPECT_TRUE(tree().btnBack()->isHidden());
    EXPECT_EQ(rows(), (std::vector<std::string>{"All (4)", "A (2)", "Leaf (0)", "Uncategorized (2)"}));
    EXPECT_EQ(listed().size(), 4u);
}

TEST_F(LibraryTabTest, TheSearchListShowsDatesAndDurationsOrOneEmptyRow)
{
    loginAsDemo("1,1,1,1,1,1,1", 1);
    struct Recorder : LibrarySearchDelegate {
        int chosen = 0;
        void didselectSearchResult(const brivanta_library_files_Entity& file) override { chosen = file.file_id; }
    } recorder;
    auto list = std::make_shared<librarySearchViewcontroller>();
    list->setDelegate(&recorder);
    auto film = document(31, "Film", 0, "VEDIO");
    film.info = "VEDIO/2 M,03:25";
    list->view()->setFrame({0, 0, 340, 500});
    app->window()->addSubview(list->view());
    list->setSearchFilestArray({document(32, "First", 0), film, document(33, "Third", 0)});
    settle();
    auto* table = list->tableView();
    ASSERT_EQ(table->numberOfRowsInSection(0), 3);
    auto* second = static_cast<LibrarySearchCell*>(table->cellForRowAtIndexPath(ui::IndexPath::forRow(1, 0)));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->dateContentLabel().text(), "06/05/25");
    EXPECT_TRUE(second->durationVisiable());
    EXPECT_EQ(second->durationContentLabel().text(), "03:25");
    auto* first = static_cast<LibrarySearchCell*>(table->cellForRowAtIndexPath(ui::IndexPath::forRow(0, 0)));
    EXPECT_FALSE(first->durationVisiable());
    ASSERT_TRUE(driver->tap(second));
    EXPECT_EQ(recorder.chosen, 31);

    recorder.chosen = 0;
    list->setSearchFilestArray({});
    settle();
    ASSERT_EQ(table->numberOfRowsInSection(0), 1);
    ASSERT_NE(driver->findByText("No results found"), nullptr);
    driver->tap(driver->findByText("No results found"));
    EXPECT_EQ(recorder.chosen, 0);
    list->view()->removeFromSuperview();
}

} // namespace
