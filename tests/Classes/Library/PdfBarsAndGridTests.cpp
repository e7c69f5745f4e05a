#include "Classes/Library/Reader/PdfDocument.h"
#include "Classes/Library/PdfMainPagebar.h"
#include "Classes/Library/PdfMainToolbar.h"
#include "Classes/Library/PdfThumbsPageThumb.h"
#include "Classes/Library/PdfThumbsViewController.h"
#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Platform/Graphics/Text.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/SegmentedControl.h"
#include "tests/Classes/Library/ReaderTestSupport.h"

namespace {

using readertest::ReaderWindowTest;

class BarsTest : public ReaderWindowTest {
protected:
    std::shared_ptr<PdfDocument> record(int pages)
    {
        std::string path = place("Documents/acme/Pdf/p" + std::to_string(pages) + ".pdf", pdffix::textPdf(pages));
        return PdfDocument::withDocumentFilePathPassword(path, std::nullopt);
    }
};

TEST_F(BarsTest, ToolbarFramesStatesAndFading)
{
    auto doc = record(2);
    for (double width : {1024.0, 768.0}) {
        auto bar = ui::View::make<PdfMainToolbar>(gfx::Rect(0, 0, width, 44), doc, "Name");
        EXPECT_EQ(bar->titleLabel()->frame(), gfx::Rect(118, 7, width - 210, 30));
        EXPECT_EQ(bar->markButton()->frame(), gfx::Rect(width - 42, 5, 34, 34));
        EXPECT_EQ(bar->shareButton()->frame(), gfx::Rect(width - 84, 5, 34, 34));
        EXPECT_EQ(bar->doneButton()->frame(), gfx::Rect(8, 5, 60, 34));
        EXPECT_EQ(bar->thumbsButton()->frame(), gfx::Rect(76, 5, 34, 34));
    }
    auto bar = ui::View::make<PdfMainToolbar>(gfx::Rect(0, 0, 1024, 44), doc, "Name");
    window->addSubview(bar);
    EXPECT_FALSE(bar->markButton()->isEnabled());
    EXPECT_EQ(bar->markButton()->tag(), PdfMainToolbar::kNoState);
    bar->hideToolbar();
    base::RunLoop::main().advance(0.1);
    EXPECT_FALSE(bar->isHidden()); // still fading
    base::RunLoop::main().advance(0.2);
    EXPECT_TRUE(bar->isHidden());
    // Set while hidden: no picture yet, the state kept.
    bar->setBookmarkState(true);
    EXPECT_TRUE(bar->markButton()->isEnabled());
    EXPECT_EQ(bar->markButton()->tag(), 1);
    EXPECT_FALSE(bar->markButton()->imageForState(ui::ControlStateNormal));
    bar->showToolbar();
    EXPECT_TRUE(bar->markButton()->imageForState(ui::ControlStateNormal));
    // Coming back, it takes taps while it fades in.
    struct Done : PdfMainToolbarDelegate {
        int taps = 0;
        void tappedInToolbarDoneButton(PdfMainToolbar&, ui::Button&) override { ++taps; }
        void tappedInToolbarThumbsButton(PdfMainToolbar&, ui::Button&) override {}
        void tappedInToolbarMarkButton(PdfMainToolbar&, ui::Button&) override {}
        void tappedInToolbarShareButton(PdfMainToolbar&, ui::Button&) override {}
    } done;
    bar->setDelegate(&done);
    base::RunLoop::main().advance(0.1);
    window->touchDown(1, bar->doneButton()->center());
    window->touchUp(1, bar->doneButton()->center());
    EXPECT_EQ(done.taps, 1);
    base::RunLoop::main().advance(0.3);
    EXPECT_FALSE(bar->isHidden());
    EXPECT_DOUBLE_EQ(bar->alpha(), 1);
}

class GotoRecorder : public PdfMainPagebarDelegate {
public:
    std::vector<int> pages;
    void pagebarGotoPage(PdfMainPagebar&, int page) override { pages.push_back(page); }
};

TEST_F(BarsTest, PagebarLayoutByPageCount)
{
    struct Case {
        int pages;
        size_t thumbs;
        gfx::Rect track;
        std::vector<int> first;
    } cases[] = {
        {100, 42, {9, 0, 1006, 48}, {1, 3, 5, 8}},
        {3, 3, {477, 0, 70, 48}, {1, 2, 3}},
        {1, 1, {501, 0, 22, 48}, {1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pages);
        auto bar = ui::View::make<PdfMainPagebar>(gfx::Rect(0, 720, 1024, 48), record(c.pages));
        window->addSubview(bar);
        window->layoutIfNeeded();
        EXPECT_EQ(bar->trackControl()->frame(), c.track);
        EXPECT_EQ(bar->miniThumbViews().size(), c.thumbs);
        std::vector<int> first;
        for (const auto& [page, thumb] : bar->miniThumbViews())
            if (first.size() < c.first.size())
                first.push_back(page);
        EXPECT_EQ(first, c.first);
        if (c.pages == 100) {
            EXPECT_TRUE(bar->miniThumbViews().count(100));
        }
        // The large thumb stays above the small ones.
        EXPECT_EQ(bar->trackControl()->subviews().back(), bar->pageThumbView());
        bar->removeFromSuperview();
    }
    EXPECT_EQ(PdfMainPagebar::pageNumberText("%d of %d", 3, 12), "3 of 12");
    EXPECT_EQ(PdfMainPagebar::pageNumberText("%s of %d", 3, 12), "3 of 12");
    EXPECT_EQ(PdfMainPagebar::pageNumberText("Seite %d von %d", 3, 12), "Seite 3 von 12");
    EXPECT_EQ(PdfMainPagebar::pageNumberText("%d%%", 3, 12), "3 of 12");
}

TEST_F(BarsTest, ThePageNumberSpeaksTheApplicationsLanguage)
{
    auto doc = record(3);
    struct Case {
        int language;
        int pages;
        std::string shown;
    } cases[] = {{1, 3, "1 of 3"}, {2, 3, "1 / 3 页"}, {1, 100, "1 of 100"}, {2, 100, "1 / 100 页"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.shown);
        LanguageManager::sharedInstance()->setCurrentLanguage(c.language);
        Language::resetLanguageCache();
        auto bar = ui::View::make<PdfMainPagebar>(gfx::Rect(0, 720, 1024, 48), c.pages == 3 ? doc : record(c.pages));
        window->addSubview(bar);
        window->layoutIfNeeded();
        bar->updatePagebar();
        ui::Label& label = *bar->pageNumberLabel();
        EXPECT_EQ(label.text(), c.shown);
        // Whole in its box, the count included, at the size the label shrinks it to.
        EXPECT_LE(gfx::sizeOfText(label.text(), label.fontForDrawing()).width, label.bounds().width());
        bar->removeFromSuperview();
    }
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
    Language::resetLanguageCache();
}

TEST_F(BarsTest, ScrubbingJumpsOnLiftOrAfterAPause)
{
    auto doc = record(100);
    auto bar = ui::View::make<PdfMainPagebar>(gfx::Rect(0, 720, 1024, 48), doc);
    GotoRecorder recorder;
    bar->setDelegate(&recorder);
    window->addSubview(bar);
    window->layoutIfNeeded();
    auto track = bar->trackControl();
    auto at = [&](int page) {
        // The middle of the page's share of the track, in the window.
        double x = (page - 0.5) * track->bounds().width() / 100;
        return track->convertPointToView({x, 24}, nullptr);
    };
    // Down on the current page: no timer.
    driver->press(at(1));
    EXPECT_FALSE(bar->hasTrackTimer());
    driver->moveTo(at(40));
    EXPECT_TRUE(bar->hasTrackTimer());
    EXPECT_EQ(bar->pageNumberLabel()->text(), "40 of 100");
    driver->release();
    EXPECT_EQ(recorder.pages, std::vector<int>{40});
    EXPECT_FALSE(track->isUserInteractionEnabled());
    base::RunLoop::main().advance(0.3);
    EXPECT_TRUE(track->isUserInteractionEnabled());
    EXPECT_EQ(recorder.pages, std::vector<int>{40});

    // Held still on a page for 0.25 s.
    recorder.pages.clear();
    driver->press(at(1));
    driver->moveTo(at(60));
    base::RunLoop::main().advance(0.3);
    EXPECT_EQ(recorder.pages, std::vector<int>{60});
    // Back to the page shown, and lifted: nothing more.
    doc->setPageNumber(60);
    driver->moveTo(at(70));
    driver->moveTo(at(60));
    driver->release();
    base::RunLoop::main().advance(0.3);
    EXPECT_EQ(recorder.pages, std::vector<int>{60});
    bar->removeFromSuperview();
    EXPECT_FALSE(bar->hasTrackTimer());
}

class GridHost : public PdfThumbsViewDelegate {
public:
    size_t count = 10;
    int made = 0;
    bool answerPress = false;
    std::vector<int> filled, selected, pressed;
    size_t numberOfThumbsInThumbsView(PdfThumbsView&) override { return count; }
    std::shared_ptr<PdfThumbView> thumbsViewThumbCellWithFrame(PdfThumbsView&, const gfx::Rect& f) override
    {
        ++made;
        return ui::View::make<PdfThumbView>(f);
    }
    void thumbsViewUpdateThumbCellForIndex(PdfThumbsView&, PdfThumbView&, int index) override
    {
        EXPECT_GE(index, 0);
        EXPECT_LT(size_t(index), count);
        filled.push_back(index);
    }
    void thumbsViewDidSelectThumbWithIndex(PdfThumbsView&, int index) override { selected.push_back(index); }
    bool answersPress() const override { return answerPress; }
    void thumbsViewDidPressThumbWithIndex(PdfThumbsView&, int index) override { pressed.push_back(index); }
};

TEST_F(BarsTest, GridGeometryAndCentring)
{
    struct Case {
        double width;
        size_t count;
        int centre;
        int columns, rows, thumbX;
        gfx::Size content;
        double offsetY;
    } cases[] = {
        {768, 10, 0, 3, 4, 0, {768, 1024}, 0},
        {1024, 2, 0, 4, 1, 0, {1024, 256}, 0},
        {1000, 10, 0, 3, 4, 116, {1000, 1024}, 0},
        {200, 3, 0, 1, 3, 0, {256, 768}, 0},
        {768, 0, 0, 0, 0, 0, {0, 0}, 0},
        {1024, 20, 100, 4, 5, 0, {1024, 1280}, 1280 - 724 - 1},   // centred on 19: clamped at the end
        {1024, 20, -3, 4, 5, 0, {1024, 1280}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "/" + std::to_string(c.count));
        GridHost host;
        host.count = c.count;
        auto grid = ui::View::make<PdfThumbsView>(gfx::Rect(0, 0, c.width, 724));
        grid->setDelegate(&host);
        grid->setThumbSize({256, 256});
        grid->setThumbSize({100, 100}); // ignored
        window->addSubview(grid);
        grid->reloadThumbsCenterOnIndex(c.centre);
        EXPECT_EQ(grid->thumbSize(), (gfx::Size{256, 256}));
        if (c.count) {
            EXPECT_EQ(grid->thumbsX(), c.columns);
            EXPECT_EQ(grid->thumbsY(), c.rows);
            EXPECT_EQ(grid->thumbX(), c.thumbX);
        }
        EXPECT_EQ(grid->contentSize(), c.content);
        EXPECT_EQ(grid->contentOffset().y, c.offsetY);
        EXPECT_EQ(grid->visibleCells().empty(), c.count == 0);
        // The reload flashes the indicator where there is more to scroll to, for a moment.
        EXPECT_EQ(grid->isScrollIndicatorVisible(), c.content.height > 724);
        driver->wait(1);
        EXPECT_FALSE(grid->isScrollIndicatorVisible());
        grid->removeFromSuperview();
    }
}

TEST_F(BarsTest, GridReusesCellsAndReportsTapsAndPresses)
{
    GridHost host;
    host.count = 1000;
    auto grid = ui::View::make<PdfThumbsView>(gfx::Rect(0, 44, 1024, 724));
    grid->setDelegate(&host);
    grid->setThumbSize({256, 256});
    window->addSubview(grid);
    grid->reloadThumbsCenterOnIndex(0);
    // Top to bottom, a row at a time.
    for (double y = 0; y <= grid->contentSize().height - 724; y += 128)
        grid->setContentOffset({0, y});
    EXPECT_LE(host.made, 4 * (3 + 1) + 4);
    // Overscrolls: above the top and below short content ask for no index out of range.
    host.count = 3;
    grid->reloadThumbsCenterOnIndex(0);
    grid->setContentOffset({0, -600});
    grid->setContentOffset({0, 900});
    grid->setContentOffset({0, 0});
    // A tap between cells selects nothing; on a cell its index.
    host.count = 2;
    grid->reloadThumbsCenterOnIndex(0);
    driver->tap(grid->convertPointToView({900, 100}, nullptr));
    driver->tap(grid->convertPointToView({300, 100}, nullptr));
    EXPECT_EQ(host.selected, std::vector<int>{1});
    // A long press with a delegate that does not answer: nothing; with one: the index.
    driver->longPress(grid->convertPointToView({100, 100}, nullptr), 1.0);
    EXPECT_TRUE(host.pressed.empty());
    host.answerPress = true;
    driver->longPress(grid->convertPointToView({100, 100}, nullptr), 1.0);
    EXPECT_EQ(host.pressed, std::vector<int>{0});
}

class GridScreenDelegate : public PdfThumbsViewControllerDelegate {
public:
    std::vector<std::string> calls;
    void thumbsViewControllerGotoPage(PdfThumbsViewController&, int page) override
    {
        calls.push_back("goto " + std::to_string(page));
    }
    void dismissThumbsViewController(PdfThumbsViewController&) override { calls.push_back("dismiss grid"); }
    void dismissReaderViewController() override { calls.push_back("leave reader"); }
};

TEST_F(BarsTest, GridScreenModesBookmarksAndLeaving)
{
    auto doc = record(12);
    doc->setPageNumber(12);
    auto screen = PdfThumbsViewController::initWithReaderDocumentDocumentName(doc, "Catalogue");
    GridScreenDelegate delegate;
    screen->setDelegate(&delegate);
    window->setRootViewController(screen);
    window->layoutIfNeeded();
    auto grid = screen->thumbsView();
    // Centred on page 12: its cell is in view.
    bool twelve = false;
    for (const auto& cell : grid->visibleCells())
        twelve = twelve || cell->tag() == 11;
    EXPECT_TRUE(twelve);
    settle();
    window->savePng(reviewPath("reader-grid.png"));
    auto card = std::dynamic_pointer_cast<PdfThumbsPageThumb>(grid->visibleCells().front());
    ASSERT_TRUE(card);
    EXPECT_EQ(card->defaultRect(), gfx::Rect(38, 8, 180, 240));

    // Marks in any order; a long press on page 7 shows its mark at once.
    grid->reloadThumbsContentOffset({0, 0});
    for (int page : {12, 3})
        screen->thumbsViewDidPressThumbWithIndex(*grid, page - 1);
    driver->longPress(grid->convertPointToView(grid->thumbCellFrameForIndex(6).center(), nullptr), 1.0);
    EXPECT_EQ(doc->bookmarks(), (std::set<int>{3, 7, 12}));
    for (const auto& cell : grid->visibleCells())
        if (cell->tag() == 6) {
            EXPECT_FALSE(std::static_pointer_cast<PdfThumbsPageThumb>(cell)->bookMark()->isHidden());
        }

    // Bookmark mode: the three pages in order, each cell reading its page, from the top.
    grid->setContentOffset({0, 40});
    auto control = screen->mainToolbar()->showControl();
    control->setSelectedSegmentIndex(1);
    screen->tappedInToolbarShowControl(*screen->mainToolbar(), *control);
    EXPECT_EQ(screen->bookmarked(), (std::vector<int>{3, 7, 12}));
    EXPECT_EQ(grid->contentOffset().y, 0);
    std::vector<std::string> texts;
    for (const auto& cell : grid->visibleCells())
        texts.push_back(std::static_pointer_cast<PdfThumbsPageThumb>(cell)->textLabel()->text());
    EXPECT_EQ(texts, (std::vector<std::string>{"3", "7", "12"}));
    // Back to all pages: the earlier offset comes back.
    control->setSelectedSegmentIndex(0);
    screen->tappedInToolbarShowControl(*screen->mainToolbar(), *control);
    EXPECT_EQ(grid->contentOffset().y, 40);
    // Into bookmark mode again: the page 7 cell goes to page 7.
    control->setSelectedSegmentIndex(1);
    screen->tappedInToolbarShowControl(*screen->mainToolbar(), *control);
    driver->tap(grid->convertPointToView(grid->thumbCellFrameForIndex(1).center(), nullptr));
    EXPECT_EQ(delegate.calls, (std::vector<std::string>{"goto 7", "dismiss grid"}));
    delegate.calls.clear();
    driver->tap(screen->mainToolbar()->doneButton().get());
    EXPECT_EQ(delegate.calls, (std::vector<std::string>{"dismiss grid", "leave reader"}));
}

} // namespace
