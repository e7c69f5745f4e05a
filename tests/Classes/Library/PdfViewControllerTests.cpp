#include "ReaderLeavingSupport.h"
#include "Classes/Library/Reader/PdfContentPage.h"
#include "Classes/Library/Reader/PdfContentThumb.h"
#include "Classes/Library/Reader/PdfDocument.h"
#include "Classes/Library/PdfMainPagebar.h"
#include "Classes/Library/Reader/PdfThumbCache.h"
#include "Classes/Library/Reader/PdfThumbOperation.h"
#include "Classes/Library/Reader/PdfThumbQueue.h"
#include "Classes/Library/PdfViewController.h"
#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/PropertyList.h"
#include "Platform/Share/MailComposer.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NamedImage.h"
#include "tests/Classes/Library/ReaderTestSupport.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using readertest::Leaving;
using readertest::ReaderWindowTest;

class PdfViewControllerTest : public ReaderWindowTest {
protected:
    void SetUp() override
    {
        ReaderWindowTest::SetUp();
        ui::Application::shared().setURLRecorder([this](const std::string& url) { opened.push_back(url); });
    }
    void TearDown() override
    {
        ui::AlertView::dismissAllForTesting();
        ui::Application::shared().setURLRecorder({});
        share::MailComposer::setShared(nullptr);
        reader.reset();
        ReaderWindowTest::TearDown();
    }
    // The reader over a fresh record of the file, shown as the window's screen.
    void open(const std::string& path, int startPage = 0)
    {
        record = PdfDocument::withDocumentFilePathPassword(path, std::nullopt);
        ASSERT_TRUE(record);
        // As the library opens it: the document held open, its pages known.
        record->holdOpenDocument();
        if (startPage)
            record->setPageNumber(startPage);
        reader = PdfViewController::initWithReaderDocumentDocumentName(record, "Catalogue");
        reader->setDelegate(&leaving);
        window->setRootViewController(reader);
        base::RunLoop::main().advance(0.1);
        window->layoutIfNeeded();
    }
    std::vector<int> pages() const
    {
        std::vector<int> out;
        for (const auto& [page, view] : reader->contentViews())
            out.push_back(page);
        return out;
    }
    double offsetInWidths() const { return reader->scrollView()->contentOffset().x / 1024; }
    void tapAndSettle(gfx::Point point)
    {
        driver->tap(point);
        base::RunLoop::main().advance(1); // the single tap's wait and any page turn
    }

    std::shared_ptr<PdfDocument> record;
    std::shared_ptr<PdfViewController> reader;
    Leaving leaving;
    std::vector<std::string> opened;
};

TEST_F(PdfViewControllerTest, PagingKeepsAWindowOfThreeViews)
{
    open(place("Documents/acme/Pdf/ten.pdf", pdffix::textPdf(10)));
    struct Step {
        int page;
        std::vector<int> views;
        double offset;
    } steps[] = {{1, {1, 2, 3}, 0}, {10, {8, 9, 10}, 2}, {5, {4, 5, 6}, 1}, {6, {5, 6, 7}, 1}, {99, {5, 6, 7}, 1}};
    std::shared_ptr<PdfContentView> five, six;
    for (const auto& s : steps) {
        SCOPED_TRACE(s.page);
        if (s.page == 6) {
            five = reader->contentViews().at(5);
            six = reader->contentViews().at(6);
        }
        reader->showDocumentPage(s.page);
        EXPECT_EQ(pages(), s.views);
        EXPECT_DOUBLE_EQ(offsetInWidths(), s.offset);
    }
    // 5 and 6 were moved, not made again; 4 left the strip.
    EXPECT_EQ(reader->contentViews().at(5), five);
    EXPECT_EQ(reader->contentViews().at(6), six);
    EXPECT_EQ(record->pageNumber(), 6);
    EXPECT_EQ(reader->scrollView()->contentSize().width, 3 * 1024);
    window->savePng(reviewPath("reader-screen-page6.png"));

    // Right strip on the last page: nothing.
    reader->showDocumentPage(10);
    tapAndSettle({1010, 384});
    EXPECT_EQ(reader->currentPage(), 10);
    // Left strip turns back; a second strip tap during the turn is ignored.
    driver->tap(gfx::Point{14, 384});
    EXPECT_EQ(reader->scrollView()->tag(), 9);
    for (int i = 0; i < 2; ++i) {
        window->touchDown(1, {14, 384});
        window->touchUp(1, {14, 384});
    }
    EXPECT_EQ(reader->scrollView()->tag(), 0);
    EXPECT_DOUBLE_EQ(offsetInWidths(), 1);
    base::RunLoop::main().advance(1);
    EXPECT_EQ(reader->currentPage(), 9);
}

TEST_F(PdfViewControllerTest, TheShownPageIsDrawnBeforeAnyOtherPicture)
{
    open(place("Documents/acme/Pdf/ten.pdf", pdffix::textPdf(10)));
    auto& queue = PdfThumbQueue::sharedInstance();
    auto key = [&](int page) {
        char name[32];
        std::snprintf(name, sizeof name, "%07d-0240x0240+", page);
        return name + record->guid();
    };
    auto asked = [&](int page) { return PdfThumbCache::sharedInstance().containsKey(key(page)); };
    // The shown page's tiles drawn, and the frame that shows them gone by.
    auto drawShown = [&] {
        window->layoutIfNeeded();
        reader->contentViews().at(reader->currentPage())->contentPage()->drawVisibleTilesNow();
        EXPECT_TRUE(queue.rendersHeld());
        base::RunLoop::main().advance(0.02);
    };
    int renders = PdfThumbRender::renderCount;

    // Opening: the shown page's picture is asked for; the others' wait, and renders are held.
    ASSERT_EQ(reader->currentPage(), 1);
    EXPECT_TRUE(asked(1));
    EXPECT_FALSE(asked(2));
    EXPECT_FALSE(asked(3));
    EXPECT_TRUE(queue.rendersHeld());
    // Page 1's tiles drawn: its picture and the page bar's come from them, and the other pages
    // are drawn ahead; their pictures come from those tiles, none drawn from the page again.
    drawShown();
    auto& first = reader->contentViews().at(1);
    ASSERT_TRUE(first->thumbView()->imageView()->image());
    EXPECT_TRUE(reader->mainPagebar()->pageThumbView()->imageView()->image());
    EXPECT_FALSE(queue.rendersHeld());
    auto view = [&](int page) { return reader->contentViews().at(page); };
    auto pictured = [&](int page) { return bool(view(page)->thumbView()->imageView()->image()); };
    for (int page : {2, 3})
        EXPECT_TRUE(view(page)->contentPage()->hasTilesDue()) << page;
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return pictured(2) && pictured(3); }, 60));
    settle();
    for (int page : {2, 3}) {
        EXPECT_TRUE(asked(page)) << page;
        EXPECT_TRUE(view(page)->contentPage()->tilesAheadComplete()) << page;
    }
    // Every picture is kept on disk; only the page bar's small ones of other pages were drawn
    // from the pages (the shown page's came from its tiles).
    auto kept = [&](const std::string& size) {
        int count = 0;
        for (const auto& entry :
             std::filesystem::directory_iterator(PdfThumbCache::thumbCachePathForGUID(record->guid())))
            count += entry.path().filename().string().find(size + ".png") != std::string::npos;
        return count;
    };
    EXPECT_EQ(kept("0240x0240"), 3);
    EXPECT_EQ(kept("0032x0042"), 1);
    EXPECT_EQ(PdfThumbRender::renderCount - renders, kept("0022x0028") - 1);

    // Turns to pages drawn ahead show them at once, hold nothing and draw no picture; the new
    // neighbour is drawn ahead at once. A jump waits for the shown page's tiles (or 2 s of a
    // window that draws nothing) before the neighbours are drawn ahead.
    struct Turn {
        int page;
        bool drawnAhead;
        std::vector<int> ahead;
        bool draw; // the shown page's tiles drawn, or the window drawing nothing for a while
    } turns[] = {{2, true, {}, true}, {3, true, {4}, true}, {8, false, {7, 9}, true}, {5, false, {4, 6}, false},
                 {6, true, {7}, true}};
    for (const auto& t : turns) {
        SCOPED_TRACE(t.page);
        renders = PdfThumbRender::renderCount;
        reader->showDocumentPage(t.page);
        auto shown = view(t.page)->contentPage();
        EXPECT_EQ(shown->visibleTilesComplete(), t.drawnAhead);
        EXPECT_EQ(queue.rendersHeld(), !t.drawnAhead);
        if (!t.drawnAhead) {
            for (int page : t.ahead)
                EXPECT_FALSE(view(page)->contentPage()->hasTilesDue()) << page;
            if (t.draw)
                drawShown();
            else
                base::RunLoop::main().advance(2.5);
            EXPECT_FALSE(queue.rendersHeld());
        }
        for (int page : t.ahead)
            EXPECT_TRUE(view(page)->contentPage()->hasTilesDue() || view(page)->contentPage()->tilesAheadComplete())
                << page;
        ASSERT_TRUE(base::RunLoop::main().runUntil(
            [&] {
                return std::all_of(t.ahead.begin(), t.ahead.end(), [&](int page) { return pictured(page); });
            },
            60));
        settle();
        EXPECT_TRUE(asked(t.page));
        if (t.drawnAhead) {
            EXPECT_EQ(PdfThumbRender::renderCount, renders);
        }
    }
    window->savePng(reviewPath("reader-after-turns.png"));
}

TEST_F(PdfViewControllerTest, ShortDocuments)
{
    open(place("Documents/acme/Pdf/two.pdf", pdffix::textPdf(2)), 2);
    EXPECT_EQ(pages(), (std::vector<int>{1, 2}));
    EXPECT_DOUBLE_EQ(offsetInWidths(), 1);
    EXPECT_EQ(reader->scrollView()->contentSize().width, 2 * 1024);

    reader.reset();
    open(place("Documents/acme/Pdf/one.pdf", pdffix::textPdf(1)));
    EXPECT_EQ(reader->scrollView()->contentSize().width, 1024);
    tapAndSettle({1010, 384});
    tapAndSettle({14, 384});
    EXPECT_EQ(reader->currentPage(), 1);
    EXPECT_EQ(pages(), (std::vector<int>{1}));
}

TEST_F(PdfViewControllerTest, BarsHideOnTouchAndComeBackOnALaterTap)
{
    open(place("Documents/acme/Pdf/ten.pdf", pdffix::textPdf(10)));
    auto toolbar = reader->mainToolbar();
    auto pagebar = reader->mainPagebar();
    // A touch on the page hides both bars.
    tapAndSettle({512, 384});
    EXPECT_TRUE(toolbar->isHidden());
    EXPECT_TRUE(pagebar->isHidden());
    // The tap came 0.35 s after they hid: they stay hidden. A second tap a second later shows them.
    tapAndSettle({512, 384});
    EXPECT_FALSE(toolbar->isHidden());
    EXPECT_FALSE(pagebar->isHidden());
    // A tap on the toolbar is no page tap.
    driver->tap(gfx::Point{512, 22});
    base::RunLoop::main().advance(1);
    EXPECT_FALSE(toolbar->isHidden());
    // A double tap in the centre zooms the page one step.
    auto page = reader->contentViews().at(1);
    double before = page->zoomScale();
    driver->doubleTap({512, 384});
    base::RunLoop::main().advance(1);
    EXPECT_NEAR(page->zoomScale(), before + page->zoomAmount(), 1e-6);
    // A double tap in the right strip turns the page.
    driver->doubleTap({1010, 384});
    base::RunLoop::main().advance(1);
    EXPECT_EQ(reader->currentPage(), 2);
}

TEST_F(PdfViewControllerTest, LinksTurnPagesAndOpenOnlyWebAndMailAddresses)
{
    pdffix::DocumentPlan plan = {};
    pdffix::PagePlan first;
    first.bodyText = false;
    first.label = "Links";
    first.links = {
        {pdffix::kUriBox, "/A << /S /URI /URI (www.example.org/x) >>"},
        {pdffix::kNamedBox, "/A << /S /GoTo /D (chapter3) >>"},
        {pdffix::kIntBox, "/Dest [4 /XYZ null null null]"},
        {pdffix::kLaunchBox, "/A << /S /URI /URI (file:///etc/passwd) >>"},
        {pdffix::kUnderBox, "/A << /S /URI /URI (brivanta-evil:run) >>"},
        {pdffix::kNamedDestsBox, "/A << /S /URI /URI (mailto:a@example.org) >>"},
    };
    plan.pages.push_back(first);
    for (int i = 2; i <= 6; ++i) {
        pdffix::PagePlan p;
        p.label = "Page " + std::to_string(i);
        plan.pages.push_back(p);
    }
    plan.extraObjects = {"<< /Names [(chapter3) [@3 /Fit]] >>"};
    plan.catalogExtra = "/Names << /Dests #1 >>";
    open(place("Documents/acme/Pdf/links.pdf", pdffix::build(plan)));
    auto page = reader->contentViews().at(1)->contentPage();
    auto tapLink = [&](const pdffix::Box& box) {
        // The link whose area holds the box's centre in page points.
        gfx::Point centre{(box.x1 + box.x2) / 2 * page->bounds().width() / 612,
                          (792 - (box.y1 + box.y2) / 2) * page->bounds().height() / 792};
        tapAndSettle(page->convertPointToView(centre, nullptr));
    };
    for (const auto& box : {pdffix::kLaunchBox, pdffix::kUnderBox, pdffix::kUriBox, pdffix::kNamedDestsBox})
        tapLink(box);
    EXPECT_EQ(opened, (std::vector<std::string>{"http://www.example.org/x", "mailto:a@example.org"}));
    tapLink(pdffix::kNamedBox);
    EXPECT_EQ(reader->currentPage(), 3);
    reader->showDocumentPage(1);
    page = reader->contentViews().at(1)->contentPage();
    tapLink(pdffix::kIntBox);
    EXPECT_EQ(reader->currentPage(), 5);
}

TEST_F(PdfViewControllerTest, BookmarksAndThePageLastShownSurvive)
{
    std::string path = place("Documents/acme/Pdf/twelve.pdf", pdffix::textPdf(12));
    open(path);
    auto mark = reader->mainToolbar()->markButton();
    EXPECT_TRUE(mark->isEnabled());
    for (int page : {3, 7}) {
        reader->showDocumentPage(page);
        driver->tap(mark.get());
        EXPECT_EQ(mark->tag(), 1);
    }
    EXPECT_EQ(record->bookmarks(), (std::set<int>{3, 7}));
    // Read from disk after the application resigns: the page it was on.
    base::NotificationCenter::defaultCenter().post(ui::Application::kWillResignActiveNotification);
    auto saved = PdfDocument::unarchiveFromFileNamePassword(path, std::nullopt);
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->pageNumber(), 7);
    EXPECT_EQ(saved->bookmarks(), (std::set<int>{3, 7}));
    // Unmarking page 7 and leaving.
    driver->tap(mark.get());
    EXPECT_EQ(mark->tag(), 0);
    driver->tap(reader->mainToolbar()->doneButton().get());
    EXPECT_EQ(leaving.calls, 1);
    saved = PdfDocument::unarchiveFromFileNamePassword(path, std::nullopt);
    EXPECT_EQ(saved->bookmarks(), (std::set<int>{3}));
    EXPECT_FALSE(PdfThumbCache::sharedInstance().containsKey("0000007-0240x0240+" + record->guid()));

    // Opened again: the saved page, and its mark.
    reader.reset();
    open(path);
    EXPECT_EQ(reader->currentPage(), 7);
    reader->showDocumentPage(3);
    EXPECT_EQ(reader->mainToolbar()->markButton()->tag(), 1);
}

// The grid's two buttons, through the reader's own handling of the grid: Back leaves the
// reader as well (its page saved), View goes back to the page.
TEST_F(PdfViewControllerTest, TheGridsBackLeavesTheReaderAndItsViewButtonReturnsToThePage)
{
    struct Case {
        const char* button;
        int leaves;
    };
    for (const Case& c : {Case{"back", 1}, Case{"view", 0}}) {
        SCOPED_TRACE(c.button);
        std::string path = place("Documents/acme/Pdf/grid.pdf", pdffix::textPdf(12));
        leaving.calls = 0;
        open(path, 4);
        driver->tap(reader->mainToolbar()->thumbsButton().get());
        auto grid = std::dynamic_pointer_cast<PdfThumbsViewController>(reader->presentedViewController());
        ASSERT_TRUE(grid);
        window->layoutIfNeeded();
        auto bar = grid->mainToolbar();
        ASSERT_TRUE(driver->tap(std::string(c.button) == "back" ? bar->doneButton().get() : bar->viewButton().get()));
        base::RunLoop::main().advance(1);
        EXPECT_FALSE(reader->presentedViewController());
        EXPECT_EQ(leaving.calls, c.leaves);
        auto saved = PdfDocument::unarchiveFromFileNamePassword(path, std::nullopt);
        ASSERT_TRUE(saved);
        if (c.leaves)
            EXPECT_EQ(saved->pageNumber(), 4);
        else
            EXPECT_EQ(reader->currentPage(), 4);
        grid.reset();
        reader.reset();
        std::filesystem::remove_all(home() / "Documents/acme");
    }
}

TEST_F(PdfViewControllerTest, TurningTheScreenRelaysThePagesAroundTheCurrentOne)
{
    open(place("Documents/acme/Pdf/turn.pdf", pdffix::textPdf(10)), 5);
    struct Turn {
        ui::InterfaceOrientation to;
        double width, height;
        const char* picture;
    } turns[] = {{ui::InterfaceOrientation::Portrait, 768, 1024, "reader-turned-portrait.png"},
                 {ui::InterfaceOrientation::LandscapeLeft, 1024, 768, "reader-turned-landscape.png"}};
    for (const auto& t : turns) {
        SCOPED_TRACE(t.picture);
        // The share sheet does not outlive a turn.
        driver->tap(reader->mainToolbar()->shareButton().get());
        ASSERT_TRUE(reader->shareSheet()->isVisible());
        ASSERT_TRUE(driver->rotate(t.to));
        EXPECT_FALSE(reader->shareSheet()->isVisible());
        auto scroll = reader->scrollView();
        EXPECT_EQ(scroll->frame(), gfx::Rect(0, 0, t.width, t.height));
        EXPECT_EQ(scroll->contentSize(), (gfx::Size{3 * t.width, t.height}));
        EXPECT_EQ(pages(), (std::vector<int>{4, 5, 6}));
        for (const auto& [page, view] : reader->contentViews())
            EXPECT_EQ(view->frame(), gfx::Rect((page - 4) * t.width, 0, t.width, t.height)) << page;
        EXPECT_EQ(scroll->contentOffset(), (gfx::Point{t.width, 0}));
        EXPECT_EQ(reader->mainToolbar()->frame(), gfx::Rect(0, 0, t.width, 44));
        EXPECT_EQ(reader->mainPagebar()->frame(), gfx::Rect(0, t.height - 48, t.width, 48));
        EXPECT_EQ(reader->mainPagebar()->pageNumberLabel()->text(), "5 of 10");
        reader->contentViews().at(5)->contentPage()->drawVisibleTilesNow();
        window->savePng(reviewPath(t.picture));
        // The strips follow the new edges.
        tapAndSettle({t.width - 14, t.height / 2});
        EXPECT_EQ(reader->currentPage(), 6);
        tapAndSettle({14, t.height / 2});
        EXPECT_EQ(reader->currentPage(), 5);
    }
    // The grid over the reader turns too: three columns of cells in portrait, four in landscape.
    driver->tap(reader->mainToolbar()->thumbsButton().get());
    auto grid = std::dynamic_pointer_cast<PdfThumbsViewController>(reader->presentedViewController());
    ASSERT_TRUE(grid);
    ASSERT_TRUE(driver->rotate(ui::InterfaceOrientation::Portrait));
    EXPECT_EQ(grid->thumbsView()->frame(), gfx::Rect(0, 44, 768, 980));
    EXPECT_EQ(grid->thumbsView()->thumbsX(), 3);
    ASSERT_TRUE(driver->rotate(ui::InterfaceOrientation::LandscapeLeft));
    EXPECT_EQ(grid->thumbsView()->thumbsX(), 4);
}

// Writes an executable script that records its arguments, one a line, into `log`.
std::string stubProgram(const std::filesystem::path& dir, const std::string& name, const std::string& body)
{
    std::filesystem::create_directories(dir);
    auto path = dir / name;
    pdffix::writeFile(path, "#!/bin/sh\n" + body + "\n");
    chmod(path.c_str(), 0755);
    return path.string();
}

TEST_F(PdfViewControllerTest, SharingByMailPrintAndOpenIn)
{
    std::string path = place("Documents/acme/Pdf/share.pdf", pdffix::textPdf(2));
    auto bin = home() / "bin";
    auto log = home() / "stub.log";
    stubProgram(bin, "lp", "for a in \"$@\"; do echo \"$a\" >> '" + log.string() + "'; done");
    stubProgram(bin, "xdg-mime", "exit 0");
    stubProgram(bin, "sh", "exec /bin/sh \"$@\"");
    basetest::ScopedEnv pathEnv("PATH", bin.string());
    open(path);

    // The sheet, once, from the share button; tapping it again leaves it as it is.
    driver->tap(reader->mainToolbar()->shareButton().get());
    auto sheet = reader->shareSheet();
    ASSERT_TRUE(sheet && sheet->isVisible());
    EXPECT_EQ(sheet->buttonTitleAtIndex(0), Language::stringWithName("EMAIL"));
    reader->tappedInToolbarShareButton(*reader->mainToolbar(), *reader->mainToolbar()->shareButton());
    EXPECT_EQ(reader->shareSheet(), sheet);
    EXPECT_TRUE(sheet->isVisible());
    sheet->dismissWithClickedButtonIndex(-1, false);

    // E-mail: a message in the Outbox with the file attached as it is.
    reader->emailAction();
    auto outbox = home() / "Outbox";
    std::string eml;
    for (const auto& entry : std::filesystem::directory_iterator(outbox))
        if (entry.path().extension() == ".eml")
            eml = entry.path().string();
    ASSERT_FALSE(eml.empty());
    std::string check = "import email,sys\nm=email.message_from_binary_file(open(sys.argv[1],'rb'))\n"
                        "p=[x for x in m.walk() if x.get_filename()][0]\n"
                        "assert m['Subject']=='share.pdf', m['Subject']\n"
                        "assert p.get_content_type()=='application/pdf'\n"
                        "assert p.get_payload(decode=True)==open(sys.argv[2],'rb').read()\n";
    pdffix::writeFile(home() / "check.py", check);
    EXPECT_TRUE(pdffix::run({"/usr/bin/python3", (home() / "check.py").string(), eml, path}));
    // No mail program took it: the reader says where it was saved.
    {
        auto saved = ui::AlertView::visibleAlert();
        ASSERT_TRUE(saved);
        EXPECT_EQ(saved->title(), Language::stringWithName("MAILSAVED"));
        EXPECT_EQ(saved->message(), eml);
        ui::AlertView::dismissAllForTesting();
    }

    // Print through the stub lp: the file, the job name and duplex on the long edge.
    reader->printAction();
    auto printed = base::FileManager::readTextFile(log);
    ASSERT_TRUE(printed);
    EXPECT_NE(printed->find("sides=two-sided-long-edge"), std::string::npos);
    EXPECT_NE(printed->find("-t\nshare.pdf\n"), std::string::npos);
    EXPECT_NE(printed->find(path), std::string::npos);

    // No handler for PDFs: the reader asks for one.
    reader->openInAction();
    auto alert = ui::AlertView::visibleAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->message(), Language::stringWithName("PLEASEDOWNLOADREADER"));
    ui::AlertView::dismissAllForTesting();

    // Without lp the PDF is kept in the Outbox and its path shown.
    std::filesystem::remove(bin / "lp");
    reader->printAction();
    alert = ui::AlertView::visibleAlert();
    ASSERT_TRUE(alert);
    const std::filesystem::path kept = alert->message();
    EXPECT_EQ(kept.filename(), "share.pdf");
    EXPECT_EQ(kept.parent_path().parent_path(), outbox);
    EXPECT_TRUE(std::filesystem::exists(kept));
}

class CountingComposer : public share::MailComposer {
public:
    bool canSend = true;
    std::vector<share::Attachment> sent;
    bool canSendMail() override { return canSend; }
    share::MailResult compose(const std::string&, const std::vector<std::string>&, const share::Attachment& a) override
    {
        sent.push_back(a);
        return share::MailResult::Saved;
    }
};

TEST_F(PdfViewControllerTest, MailStopsAtFiftyMebibytesAndWithoutAnOutbox)
{
    // Files either side of the limit.
    struct Case {
        off_t size;
        size_t composed;
    } cases[] = {{52428799, 1}, {52428800, 0}};
    auto composer = std::make_shared<CountingComposer>();
    share::MailComposer::setShared(composer);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        std::string path = place("Documents/acme/Pdf/big" + std::to_string(c.size) + ".pdf",
                                 pdffix::pdfOfSize(size_t(c.size)));
        ASSERT_EQ(std::filesystem::file_size(path), uintmax_t(c.size));
        open(path);
        composer->sent.clear();
        reader->emailAction();
        EXPECT_EQ(composer->sent.size(), c.composed);
        if (c.composed) {
            EXPECT_EQ(composer->sent.front().data.size(), size_t(c.size));
        }
        reader.reset();
    }
    composer->canSend = false;
    open(place("Documents/acme/Pdf/small.pdf", pdffix::textPdf(1)));
    reader->emailAction();
    auto alert = ui::AlertView::visibleAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->message(), Language::stringWithName("NOEMAILCONFIG"));
    // The Outbox composer cannot send when its folder cannot be made.
    share::MailComposer::setShared(nullptr);
    pdffix::writeFile(home() / "Outbox", "a file in the way");
    EXPECT_FALSE(share::MailComposer::shared().canSendMail());
}

} // namespace

namespace {

TEST_F(PdfViewControllerTest, TheWheelAndTheKeysTurnPagesAndThePageBarFollows)
{
    open(place("Documents/acme/Pdf/nine.pdf", pdffix::textPdf(9)));
    auto* bar = dynamic_cast<PdfMainPagebar*>(driver->findByClass("PdfMainPagebar"));
    ASSERT_NE(bar, nullptr);
    auto shown = [&] { return bar->pageNumberLabel()->text(); };
    ASSERT_EQ(shown(), "1 of 9");
    auto& loop = base::RunLoop::main();
    auto rest = [&] {
        loop.advance(0.2);  // the wheel rests
        loop.advance(1);    // the page settles or the turn's animation ends
    };
    // The pointer over the page, as a desktop user reads.
    const gfx::Point page{512, 384};

    struct Step {
        std::function<void()> act;
        int expected;
    } steps[] = {
        // An ordinary wheel: each notch away from the user turns one page, however fast.
        {[&] { window->scrollWheel(page, 0, 40); }, 2},
        {[&] { for (int i = 0; i < 3; ++i) window->scrollWheel(page, 0, 40); }, 5},
        {[&] { window->scrollWheel(page, 0, -40); }, 4},
        // A touchpad going sideways in small steps: one rest, one page.
        {[&] { for (int i = 0; i < 10; ++i) window->scrollWheel(page, 6, 0); }, 5},
        {[&] { window->pressKey("right"); }, 6},
        {[&] { window->pressKey("pagedown"); }, 7},
        {[&] { window->pressKey("left"); }, 6},
        {[&] { window->pressKey("pageup"); }, 5},
        {[&] { window->pressKey("end"); }, 9},
        {[&] { window->pressKey("right"); }, 9},
        {[&] { window->scrollWheel(page, 0, 40); }, 9},
        {[&] { window->pressKey("home"); }, 1},
        {[&] { window->pressKey("left"); }, 1},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        window->setPointerLocation(page);
        steps[i].act();
        rest();
        EXPECT_EQ(reader->currentPage(), steps[i].expected) << "step " << i;
        EXPECT_EQ(record->pageNumber(), steps[i].expected) << "step " << i;
        EXPECT_EQ(shown(), std::to_string(steps[i].expected) + " of 9") << "step " << i;
    }

    // Pictures of the reader after two rests of the wheel, in both languages.
    for (int language : {1, 2}) {
        LanguageManager::sharedInstance()->setCurrentLanguage(language);
        open(place("Documents/acme/Pdf/nine.pdf", pdffix::textPdf(9)), 1);
        for (int turn = 0; turn < 2; ++turn) {
            window->scrollWheel(page, 0, 40);
            rest();
        }
        EXPECT_EQ(reader->currentPage(), 3);
        settle(); // the pages' pictures drawn
        window->savePng(reviewPath(std::string("reader-after-wheel-") + (language == 1 ? "en" : "cn") + ".png"));
    }
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
}

} // namespace

namespace {

TEST_F(PdfViewControllerTest, EveryWheelNotchTurnsOnePageHoweverFastAndTheBarAndKeysAgree)
{
    open(place("Documents/acme/Pdf/many.pdf", pdffix::textPdf(36)));
    auto* bar = dynamic_cast<PdfMainPagebar*>(driver->findByClass("PdfMainPagebar"));
    ASSERT_NE(bar, nullptr);
    auto shown = [&] { return bar->pageNumberLabel()->text(); };
    auto& loop = base::RunLoop::main();
    const gfx::Point page{512, 384};
    auto agree = [&](int expected, const std::string& when) {
        EXPECT_EQ(reader->currentPage(), expected) << when;
        EXPECT_EQ(record->pageNumber(), expected) << when;
        EXPECT_EQ(shown(), std::to_string(expected) + " of 36") << when;
    };
    // Seconds between notches: within the wheel's rest, within a page's turn, and after it.
    for (double apart : {0.1, 0.3, 0.7, 1.5}) {
        SCOPED_TRACE(apart);
        window->setPointerLocation(page);
        window->pressKey("home");
        loop.advance(1.5);
        agree(1, "at the start");
        for (int notch = 1; notch <= 3; ++notch) {
            window->scrollWheel(page, 0, 40);
            // The turn of the notch before has reached its page, and the bar says so.
            if (notch > 1)
                agree(notch, "notch " + std::to_string(notch));
            loop.advance(apart);
        }
        loop.advance(0.2);
        loop.advance(1.5);
        agree(4, "after three notches");
        // A key in the middle of a turn turns from the page the turn reaches.
        window->scrollWheel(page, 0, -40);
        loop.advance(0.1);
        window->pressKey("right");
        loop.advance(1.5);
        agree(4, "a notch back and a key forward");
        window->pressKey("home");
        loop.advance(1.5);
        agree(1, "home");
        window->pressKey("right");
        loop.advance(1.5);
        agree(2, "right");
    }
}

} // namespace
