// The library grid pane in the headless window over the client database, with the download
// manager in chosen states (files on disk, transfers from the loopback back end).
#include "LibraryTestSupport.h"

#include "Classes/Library/LibraryFileState.h"
#include "Common/LanguageManager.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/ProgressView.h"
#include "Platform/UI/TextView.h"
#include "Widgets/BRCheckBoxView.h"

namespace librarytest {
namespace {

namespace fs = std::filesystem;

class LibraryGridTest : public LibraryScreenTest {
protected:
    void SetUp() override
    {
        LibraryScreenTest::SetUp();
        if (HasFatalFailure())
            return;
        auto file = [](int id, std::string title, std::string name, std::string type, std::string date, int category = 0) {
            // Made first: the arguments are evaluated in no set order, and the type is moved into one.
            std::string info = type + "/1.5 M";
            auto f = libraryFile(id, std::move(title), std::move(name), std::move(type), category, std::move(info),
                                 std::move(date));
            f.cover_image = "cover" + std::to_string(id) + ".jpg";
            return f;
        };
        auto zeta = file(1, "Zeta", "zeta.docx", "WORD", "2025-01-05 10:00:00");
        zeta.description = "Minutes of the dealer meeting, with the price changes agreed for the spring.";
        saveFiles({zeta,
                   file(2, "Beta", "beta.pdf", "PDF", "2025-01-05 10:00:00"),
                   file(3, "Alpha", "alpha.pdf", "VEDIO", "2025-03-01 10:00:00"),
                   file(4, "Gamma", "cat.pdf", "PDF", "2024-12-01 10:00:00"),
                   file(5, "Delta", "big.pdf", "EXCEL", "2025-02-01 10:00:00"),
                   file(6, "O'Brien Pricing", "obrien.pdf", "PDF", "2024-01-01 10:00:00")});
        ASSERT_TRUE(m_manager->saveToDatabaseLibraryFavoriteName(1, "zeta.docx"));
        ASSERT_TRUE(m_manager->saveToDatabaseLibraryFavoriteName(2, "beta.pdf"));
        saveUpdate(3, "alpha_old.mp4", "VEDIO");
        writeFile(client() + "/Video/alpha.mp4", "old");
        writeFile(client() + "/Video/alpha_old.mp4", "the earlier version");
    }
};

TEST_F(LibraryGridTest, ListsSortsFiltersAndSearches)
{
    ASSERT_TRUE(backend().setFault("cat.pdf", "slow", 1, R"("bytesPerSecond": 20000)"));
    auto model = SaleslibraryModel::sharedInstance();
    ASSERT_TRUE(model->isExists(3)) << "the old version counts";
    model->sendRequest(downloadOf(4, "cat.pdf"));
    model->sendRequest(downloadOf(5, "big.pdf"));
    model->pauseDownloadFile("big.pdf");

    auto grid = showGrid(0);
    using List = std::vector<std::string>;
    struct Case {
        const char* what;
        std::function<void()> act;
        List shown;
    };
    const Case cases[] = {
        {"default: favourites, then pending updates", [] {}, {"Beta", "Zeta", "Alpha", "Delta", "Gamma", "O'Brien Pricing"}},
        {"by title", [&] { grid->orderingDidSelected(1); }, {"Alpha", "Beta", "Delta", "Gamma", "O'Brien Pricing", "Zeta"}},
        {"by date, newest first, ties by title", [&] { grid->orderingDidSelected(2); },
         {"Alpha", "Delta", "Beta", "Zeta", "Gamma", "O'Brien Pricing"}},
        {"hide local files hides on device, downloading and paused",
         [&] {
             grid->orderingDidSelected(0);
             driver->tap(grid->checkBox());
         },
         {"Beta", "Zeta", "O'Brien Pricing"}},
        {"search with an apostrophe",
         [&] {
             driver->tap(grid->checkBox());
             grid->searchBar()->setText("O'Brien");
             grid->searchBarTextDidChange(*grid->searchBar(), "O'Brien");
         },
         {"O'Brien Pricing"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.act();
        EXPECT_EQ(titles(grid->libfilesArray()), c.shown);
        EXPECT_EQ(grid->gridView()->numberOfItems(), c.shown.size());
    }
    grid->orderingDidSelected(3);
    ASSERT_EQ(grid->libfilesArray().size(), 1u) << "the search runs again in the new order";
    grid->setSelectedCategory(4);
    grid->searchBar()->setText("");
    grid->searchBarTextDidChange(*grid->searchBar(), "");
    EXPECT_FALSE(grid->isSearching());
    EXPECT_EQ(grid->selectedCategory(), -1) << "clearing the text clears the category";
    std::vector<std::string> types;
    for (const auto& file : grid->libfilesArray())
        types.push_back(file.type.value_or(""));
    EXPECT_EQ(types, (List{"WORD", "VEDIO", "PDF", "PDF", "PDF", "EXCEL"})) << "by type, descending";

    auto collection = showGrid(1);
    EXPECT_EQ(titles(collection->libfilesArray()), (List{"Alpha", "Delta", "Gamma"}));
    EXPECT_EQ(titles(collection->catalogDisplayFileArray()), (List{"Alpha", "Gamma"})) << "paused is left out";
}

TEST_F(LibraryGridTest, ACategoryNarrowsThroughItsDescendantsAndALoopEnds)
{
    ASSERT_TRUE(m_manager->saveToDatabaseLibraryCategory(
        std::vector{libraryCategory(11, "A", 0), libraryCategory(12, "B", 11), libraryCategory(13, "C", 12)}));
    saveFiles({libraryFile(21, "f1", "f1.pdf", "PDF", 13), libraryFile(22, "f2", "f2.pdf", "PDF", 12),
               libraryFile(23, "f3", "f3.pdf", "PDF", 0)});
    auto grid = showGrid(0);
    std::vector<bool> changeTabs;
    auto token = base::NotificationCenter::defaultCenter().addObserver(
        "reloadlibrarycatalog", grid.get(), [&](const base::Notification& note) {
            changeTabs.push_back(note.userInfo["ChangeTab"].toBool());
        });
    auto choose = [](int tab, int category) {
        base::Dictionary info;
        info.set("tabIndex", base::Value(tab));
        info.set("m_selectRow", base::Value(1));
        info.set("clickIndex", base::Value(category));
        base::NotificationCenter::defaultCenter().post("display_catalog", nullptr, base::Value(std::move(info)));
    };
    choose(0, 11);
    EXPECT_EQ(titles(grid->libfilesArray()), (std::vector<std::string>{"f1", "f2"}));
    EXPECT_EQ(grid->selectedRow(), 1);
    EXPECT_EQ(changeTabs, std::vector<bool>{false});
    EXPECT_TRUE(grid->allFilesButton()->isHidden()) << "only without a category";
    choose(1, 13);
    EXPECT_EQ(titles(grid->libfilesArray()), (std::vector<std::string>{"f1", "f2"})) << "the other tab's choice";
    choose(0, 0);
    EXPECT_EQ(titles(grid->libfilesArray()),
              (std::vector<std::string>{"Beta", "Zeta", "Alpha", "Delta", "Gamma", "O'Brien Pricing", "f3"}))
        << "uncategorised only";

    // The server's tree loops: 12 -> 13 -> 12. The walk ends and answers "not in it".
    ASSERT_TRUE(m_manager->saveToDatabaseLibraryCategory(
        std::vector{libraryCategory(11, "A", 0), libraryCategory(12, "B", 13), libraryCategory(13, "C", 12)}));
    choose(0, 11);
    EXPECT_TRUE(grid->libfilesArray().empty());
    std::map<int, int> loop{{12, 13}, {13, 12}};
    EXPECT_TRUE(LibraryFiles::fileIsInCategory(13, 12, loop));
    EXPECT_FALSE(LibraryFiles::fileIsInCategory(13, 11, loop));
}

// The tree's counts come from one pass over the documents: each category must hold exactly
// the documents the single-question walk puts in it, loops and missing parents included.
TEST(LibraryCategoryCounts, EachCategoryCountsWhatTheWalkPutsInIt)
{
    struct Case {
        const char* what;
        std::map<int, int> parents;
        std::vector<int> fileCategories;
        std::map<int, int> expected;
    } cases[] = {
        {"a chain", {{1, 0}, {2, 1}, {3, 2}}, {3, 2, 0, 3}, {{1, 3}, {2, 3}, {3, 2}}},
        {"a loop under a root", {{1, 0}, {2, 3}, {3, 2}}, {3, 2, 1}, {{1, 1}, {2, 2}, {3, 2}}},
        {"a category its own parent", {{5, 5}}, {5, 5}, {{5, 2}}},
        {"a parent missing from the tree", {{7, 9}}, {7, 8}, {{7, 1}, {8, 1}, {9, 1}}},
        {"only uncategorised documents", {{1, 0}}, {0, 0}, {}},
    };
    for (const auto& c : cases) {
        std::vector<brivanta_library_files_Entity> files;
        for (int category : c.fileCategories) {
            brivanta_library_files_Entity file;
            file.category = category;
            files.push_back(file);
        }
        auto counts = LibraryFiles::countsUnderCategories(files, c.parents);
        EXPECT_EQ(counts, c.expected) << c.what;
        for (int category = 1; category <= 9; ++category) {
            int walked = 0;
            for (int fileCategory : c.fileCategories)
                walked += fileCategory != 0 && LibraryFiles::fileIsInCategory(fileCategory, category, c.parents);
            EXPECT_EQ(counts.count(category) ? counts.at(category) : 0, walked) << c.what << ", category " << category;
        }
    }
}

TEST_F(LibraryGridTest, TilesShowEachStateAndReportTheirOwnTouches)
{
    writeFile(client() + "/LibraryImages/cover1.jpg", served("library/cover_image", "cat_c.jpg"));
    ASSERT_TRUE(backend().setFault("cat.pdf", "slow", 1, R"("bytesPerSecond": 30000)"));
    auto model = SaleslibraryModel::sharedInstance();
    writeFile(pdfPath("beta.pdf"), "on the device");
    SaleslibraryModel::freeInstance();
    model = SaleslibraryModel::sharedInstance();
    model->sendRequest(downloadOf(4, "cat.pdf"));
    model->sendRequest(downloadOf(5, "big.pdf"));
    model->pauseDownloadFile("big.pdf");
    ASSERT_TRUE(runUntilReal([&] { return model->getDownloadPercentage("cat.pdf") > 0.1f; }));

    auto grid = showGrid(0);
    driver->screenshot(reviewPath("library_grid_tiles_en.png"));
    struct Expect {
        const char* title;
        bool info;
        bool ribbon;
        bool overlay;
        const char* overlayText;
        bool mark;
    };
    const Expect expects[] = {
        {"Zeta", false, false, false, "", true},          {"Beta", true, false, false, "", true},
        {"Alpha", true, true, false, "", false},          {"Gamma", false, false, true, "Downloading", false},
        {"Delta", false, false, true, "Paused", false},   {"O'Brien Pricing", false, false, false, "", false},
    };
    for (const auto& e : expects) {
        SCOPED_TRACE(e.title);
        auto* tile = tileOf(e.title);
        ASSERT_NE(tile, nullptr);
        EXPECT_EQ(!tile->infoButton().isHidden(), e.info);
        EXPECT_EQ(tile->titleLabel().frame().width(), e.info ? 105 : 140);
        EXPECT_EQ(!tile->ribbonView().image().isNull(), e.ribbon);
        EXPECT_EQ(!tile->pauseView().isHidden(), e.overlay);
        EXPECT_EQ(!tile->progressView().isHidden(), e.overlay);
        if (e.overlay) {
            EXPECT_EQ(tile->downloadingLabel().text(), e.overlayText);
        }
        EXPECT_EQ(!tile->markImageView().image().isNull(), e.mark);
        EXPECT_TRUE(tile->deleteButton().isHidden());
    }
    EXPECT_GT(tileOf("Gamma")->progressView().progress(), 0.1);
    EXPECT_EQ(tileOf("Zeta")->formatLabel().text(), "WORD");
    EXPECT_EQ(tileOf("Zeta")->fileImageView().image().size(), (gfx::Size{200, 280})) << "the cover on disk";

    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    grid->reloadDataWithPostNotiChangeTab(false, false);
    auto chinese = tileOf("Alpha")->ribbonView().image();
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
    grid->reloadDataWithPostNotiChangeTab(false, false);
    EXPECT_FALSE(chinese.isNull());
    EXPECT_NE(chinese.pngData(), tileOf("Alpha")->ribbonView().image().pngData()) << "a ribbon per language";

    // A standalone tile reports each touch to its delegate, and nothing else.
    struct Recorder : LibraryDetailCellDelegate {
        std::vector<std::string> heard;
        void didSelectedCell(const brivanta_library_files_Entity& f, int i) override { heard.push_back("cell " + std::to_string(i)); }
        void didSelectedInfoButton(const brivanta_library_files_Entity&) override { heard.push_back("info"); }
        void didSelectedDeleteButton(const brivanta_library_files_Entity&) override { heard.push_back("delete"); }
        void didCellLongPressed() override { heard.push_back("long"); }
    } recorder;
    window->setRootViewController(nullptr);
    auto tile = std::make_shared<LibraryDetailCell>(gfx::Rect{100, 100, 180, 240}, LibraryDetailCell::kIdentifier);
    tile->setDetailDelegate(&recorder);
    tile->setCellIndex(4);
    tile->deleteButton().setHidden(false);
    window->addSubview(tile);
    driver->tap(&tile->infoButton());
    driver->tap(&tile->deleteButton());
    driver->tap(gfx::Point{190, 200});
    driver->longPress(gfx::Point{190, 200}, 2.0);
    EXPECT_EQ(recorder.heard, (std::vector<std::string>{"info", "delete", "cell 4", "long"}));
    tile->setShaking(true);
    auto wiggle = tile->shakingView().animationForKey("wiggle");
    ASSERT_NE(wiggle, nullptr);
    tile->setShaking(true);
    EXPECT_EQ(tile->shakingView().animationForKey("wiggle"), wiggle) << "no second animation";
    tile->setShaking(false);
    EXPECT_EQ(tile->shakingView().animationForKey("wiggle"), nullptr);
}

TEST_F(LibraryGridTest, TheCardOffersTheRightActionAndKeepsFavourites)
{
    writeFile(pdfPath("beta.pdf"), "on the device");
    SaleslibraryModel::freeInstance();
    auto grid = showGrid(0);
    auto card = [&](const std::string& title) -> FileDescriptionViewController* {
        for (const auto& file : grid->libfilesArray())
            if (file.title == title)
                grid->selectShowInfo(file);
        base::RunLoop::main().advance(1);
        return grid->presentedCard();
    };
    struct Case {
        const char* title;
        const char* action;
        bool deleteShown;
        bool byEscape; // closed by Escape rather than by a tap outside
    };
    for (const Case& c : {Case{"Gamma", "Download", false, false}, Case{"Beta", "Open", true, true},
                          Case{"Alpha", "Update", true, false}}) {
        SCOPED_TRACE(c.title);
        auto* shown = card(c.title);
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->view()->frame(), gfx::Rect(220, 150, 619, 450));
        EXPECT_EQ(shown->actionButton()->titleForState(ui::ControlStateNormal), c.action);
        EXPECT_EQ(!shown->delButton().isHidden(), c.deleteShown);
        if (c.deleteShown) {
            // The caption reads on its button: its ink against the button's own colour beside it.
            ui::Button& del = shown->delButton();
            gfx::Image shot = window->snapshot();
            gfx::Rect button = del.convertRectToView(del.bounds(), nullptr);
            gfx::Rect caption = del.titleLabel().convertRectToView(del.titleLabel().bounds(), nullptr);
            gfx::Color fill = shot.colorAt(int(button.x() + 8), int(button.midY())).withAlpha(1);
            double best = 1;
            for (int y = int(caption.y()); y < int(caption.maxY()); ++y)
                for (int x = int(caption.x()); x < int(caption.maxX()); ++x)
                    best = std::max(best, gfx::Color::contrastRatio(shot.colorAt(x, y).withAlpha(1), fill));
            EXPECT_GE(best, 4.5);
        }
        if (std::string(c.title) == "Gamma")
            driver->screenshot(reviewPath("library_card_nodescription.png"));
        // A tap inside keeps the card; one outside, or Escape, closes it and takes the
        // recogniser away.
        driver->tap(gfx::Point{500, 400});
        EXPECT_NE(grid->presentedViewController(), nullptr);
        if (c.byEscape)
            driver->pressKey("escape");
        else
            driver->tap(gfx::Point{60, 60});
        base::RunLoop::main().advance(1);
        EXPECT_EQ(grid->presentedViewController(), nullptr);
        EXPECT_FALSE(shown->hasOutsideTapRecognizer());
    }
    EXPECT_EQ(card("Gamma")->descTextView()->text(), "No description available.");
    EXPECT_TRUE(grid->presentedCard()->descTextView()->font().isItalic());
    driver->tap(gfx::Point{60, 60});
    base::RunLoop::main().advance(1);

    // Favourite: a row, then none; with writes refused the button stays as it was.
    auto* shown = card("Gamma");
    ASSERT_FALSE(shown->isMarked());
    driver->tap(shown->favButton());
    EXPECT_TRUE(shown->isMarked());
    EXPECT_TRUE(m_manager->getLibraryFavoriteByFavoriteId(4));
    EXPECT_TRUE(shown->favButton()->isSelected());
    EXPECT_NE(tileOf("Gamma")->markImageView().image().isNull(), true) << "the grid reloaded";
    driver->tap(shown->favButton());
    EXPECT_FALSE(m_manager->getLibraryFavoriteByFavoriteId(4));
    EXPECT_FALSE(shown->favButton()->isSelected());
    ASSERT_TRUE(BRDatabase::sharedDataBase()->executeUpdate(
        "create trigger refuse_favourite before insert on brivanta_library_favorite begin select raise(abort, 'refused'); end"));
    driver->tap(shown->favButton());
    EXPECT_FALSE(shown->isMarked());
    EXPECT_FALSE(shown->favButton()->isSelected());
    EXPECT_FALSE(m_manager->getLibraryFavoriteByFavoriteId(4));
    driver->tap(gfx::Point{60, 60});
    base::RunLoop::main().advance(1);
    card("Zeta");
    driver->screenshot(reviewPath("library_card_description.png"));
}

TEST_F(LibraryGridTest, EditModeShakesTheCollectionAndThePanePanSlidesThePanel)
{
    writeFile(pdfPath("beta.pdf"), "on the device");
    SaleslibraryModel::freeInstance();
    auto grid = showGrid(1);
    ASSERT_NE(tileOf("Beta"), nullptr);
    driver->longPress(driver->centerOf(tileOf("Beta")), 1.0);
    EXPECT_TRUE(grid->isEditing());
    EXPECT_TRUE(tileOf("Beta")->shaking());
    EXPECT_FALSE(tileOf("Beta")->deleteButton().isHidden());
    driver->screenshot(reviewPath("library_grid_edit.png"));
    // As the application delegate tells it.
    base::NotificationCenter::defaultCenter().post("AppWillEnterBackgound");
    EXPECT_FALSE(tileOf("Alpha")->shaking());
    base::NotificationCenter::defaultCenter().post("AppWillEnterForegroud");
    EXPECT_TRUE(tileOf("Alpha")->shaking());
    driver->tap(driver->centerOf(tileOf("Alpha")));
    EXPECT_TRUE(grid->isEditing()) << "a tap on a tile keeps edit mode";
    driver->tap(gfx::Point{900, 600});
    EXPECT_FALSE(grid->isEditing());
    EXPECT_FALSE(tileOf("Alpha")->shaking());

    std::vector<std::string> posts;
    auto& center = base::NotificationCenter::defaultCenter();
    auto show = center.addObserver("ShowLibraryMasterView", nullptr, [&](const auto&) { posts.push_back("show"); });
    auto hide = center.addObserver("HideLibraryMasterView", nullptr, [&](const auto&) { posts.push_back("hide"); });
    for (double dx : {150.0, -150.0, 60.0, -60.0}) {
        driver->press({500, 600});
        driver->moveTo({500 + dx, 600});
        driver->release();
    }
    EXPECT_EQ(posts, (std::vector<std::string>{"show", "hide"}));
    EXPECT_TRUE(grid->masterHide());
}

TEST_F(LibraryGridTest, AReleasedGridIgnoresLateRepliesAndItsDelayedDelete)
{
    writeFile(pdfPath("beta.pdf"), "on the device");
    SaleslibraryModel::freeInstance();
    std::weak_ptr<LibraryDetailController> weak;
    {
        auto grid = showGrid(0);
        weak = grid;
        for (const auto& file : grid->libfilesArray())
            if (file.title == "Beta")
                grid->descriptionViewDeleteButtonPressed(file);
        grid->selectedFileToDownload(*std::find_if(grid->libfilesArray().begin(), grid->libfilesArray().end(),
                                                   [](const auto& f) { return f.title == "Gamma"; }));
        window->setRootViewController(nullptr);
        m_grid.reset();
        m_navigation.reset();
    }
    EXPECT_TRUE(weak.expired());
    base::RunLoop::main().advance(1);
    EXPECT_TRUE(fs::exists(pdfPath("beta.pdf"))) << "the delete died with its grid";
    ASSERT_TRUE(downloadEnds("cat.pdf", [] { return !SaleslibraryModel::sharedInstance()->isInDownloadList("cat.pdf"); }));
    EXPECT_TRUE(SaleslibraryModel::sharedInstance()->isExists(4));
}

} // namespace
} // namespace librarytest
