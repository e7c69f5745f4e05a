// Files made to take a reader's memory, time or life, opened as a salesperson opens them: from the
// library into the reader, and an office document into its viewer. The application's own process
// reads none of them; the page workers do, under their limits, and the screen says what came of it.
#include "Classes/Library/LibraryFileOpener.h"
#include "Classes/Library/Reader/PdfContentView.h"
#include "Classes/Library/PdfMainToolbar.h"
#include "Classes/Library/PdfMainPagebar.h"
#include "Classes/Library/PdfViewController.h"
#include "Classes/Library/Reader/PdfThumbQueue.h"
#include "Platform/Base/Timer.h"
#include "Common/Language.h"
#include "Platform/Pdf/PageWorkers.h"
#include "Platform/Share/OfficeDocumentView.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/TiledView.h"
#include "tests/Classes/Library/ReaderTestSupport.h"
#include "tests/Support/HostilePdfFixtures.h"
#include "tests/Support/OfficeFixtures.h"
#include "tests/Support/PeakMemory.h"
#include "tests/Support/Sanitizers.h"

#include <chrono>
#include <climits>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

using readertest::ReaderWindowTest;

using testsupport::ownPeakMB;
using testsupport::workersPeakMB;

class HostileDocumentTest : public ReaderWindowTest {
protected:
    void SetUp() override
    {
        ReaderWindowTest::SetUp();
        pdf::PageWorkers::shared().resetForTesting();
        root = std::make_shared<ui::ViewController>();
        nav = std::make_shared<ui::NavigationController>(root);
        nav->setNavigationBarHidden(true);
        window->setRootViewController(nav);
        opener = std::make_shared<LibraryFileOpener>();
        opener->setAlertHandler([this](const std::string&, const std::string& message, int) { alerts.push_back(message); });
    }
    void TearDown() override
    {
        opener.reset();
        window->setRootViewController(nullptr);
        pdf::PageWorkers::shared().resetForTesting();
        ReaderWindowTest::TearDown();
    }
    // What the page area of the reader on top says, once its first page was drawn.
    std::string pageMessage()
    {
        auto reader = std::dynamic_pointer_cast<PdfViewController>(nav->topViewController());
        if (!reader || reader->contentViews().empty())
            return "(no reader)";
        PdfContentView* view = reader->contentViews().begin()->second.get();
        if (auto page = view->contentPage())
            page->drawVisibleTilesNow();
        settle();
        return view->messageLabel() ? view->messageLabel()->text() : std::string();
    }

    std::shared_ptr<ui::ViewController> root;
    std::shared_ptr<ui::NavigationController> nav;
    std::shared_ptr<LibraryFileOpener> opener;
    std::vector<std::string> alerts;
};

// Each file is a few kilobytes. Opened from the library, it is either refused as damaged with
// the alert, or shown with the page area's message; the application stays at its usual size.
TEST_F(HostileDocumentTest, HostileFilesOpenedFromTheLibrarySayWhyWithinBoundedMemory)
{
    // PageOrAlert: drawn, or (where the reading recurses past the worker's stack, as with a
    // sanitizer's larger frames) the worker crashes and the file is damaged.
    enum class Shown { Alert, PageMessage, PageOrAlert };
    struct Case {
        const char* name;
        std::string bytes;
        Shown shown;
        const char* key;
    } cases[] = {
        // 12 MiB of nested brackets inside an object stream, reached from the page.
        {"nested-object-stream.pdf", pdffix::objectStreamNestingPdf(), Shown::PageOrAlert, nullptr},
        // A cross-reference stream stating 33 million objects.
        {"huge-size.pdf", pdffix::hugeXrefSizePdf(), Shown::Alert, "THEFILEISCORRUPTED"},
        // Four shared page-tree nodes making 1.68 million pages.
        {"shared-page-tree.pdf", pdffix::sharedPageTreePdf(), Shown::Alert, "THEFILEISCORRUPTED"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_LT(c.bytes.size(), 64u << 10);
        alerts.clear();
        std::string path = place(std::string("Documents/acme/Pdf/") + c.name, c.bytes);
        opener->openPath(path, 5, c.name);
        // The file is read off the main thread: the library answers until the worker has.
        EXPECT_TRUE(alerts.empty());
        EXPECT_EQ(nav->topViewController(), root);
        EXPECT_TRUE(base::RunLoop::main().runUntil([&] { return !alerts.empty() || nav->topViewController() != root; },
                                                   60));
        base::RunLoop::main().advance(1);
        if (c.shown == Shown::Alert || (c.shown == Shown::PageOrAlert && !alerts.empty())) {
            const char* key = c.key ? c.key : "THEFILEISCORRUPTED";
            EXPECT_EQ(alerts, std::vector<std::string>{Language::stringWithName(key)});
            EXPECT_EQ(nav->topViewController(), root);
        } else {
            EXPECT_TRUE(alerts.empty());
            std::string message = pageMessage();
            if (c.key)
                EXPECT_EQ(message, Language::stringWithName(c.key));
            else
                EXPECT_EQ(message, "") << "the page is drawn";
            if (auto reader = std::dynamic_pointer_cast<PdfViewController>(nav->topViewController())) {
                driver->tap(reader->mainToolbar()->doneButton().get());
                base::RunLoop::main().advance(1);
            }
        }
        EXPECT_LT(ownPeakMB(), 500);
        EXPECT_LT(ownPeakMB() + workersPeakMB(), 1536);
    }
}

// A 1.3 KB file whose page tree of shared nodes makes 1.68 million pages: it opens and its first
// page draws, but a page near its end takes a worker to its memory limit only to be found. A jump
// there from the page bar never holds the window: frames keep coming while the pages are asked
// for, each such page says it is too large, and the thumbnails stop asking after a few.
TEST_F(HostileDocumentTest, AJumpToAPageThatTakesAWorkerToItsLimitNeverHoldsTheWindow)
{
    std::string bytes = pdffix::sharedPageTreeXrefPdf(6, 8);
    EXPECT_LT(bytes.size(), 2048u);
    std::string path = place("Documents/acme/Pdf/shared-tree.pdf", bytes);
    // A lower limit than the usual gigabyte: each worker that meets it meets it sooner.
    pdf::PageWorkers::Limits limits;
    limits.memoryBytes = size_t(400) << 20;
    pdf::PageWorkers::shared().setLimits(limits);
    base::RunLoop::main().setManualClock(false);
    opener->openPath(path, 5, "Shared tree");
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return nav->topViewController() != root; }, 60));
    ASSERT_TRUE(alerts.empty());
    auto reader = std::dynamic_pointer_cast<PdfViewController>(nav->topViewController());
    ASSERT_TRUE(reader);
    base::RunLoop::main().runFor(0.5);
    EXPECT_EQ(pageMessage(), "") << "page 1 draws";
    const int count = 1679616;

    // A frame drawn every 10 ms of the main loop, and the longest the loop was held between the
    // end of one and the start of the next (drawing a frame is the window's own cost).
    auto last = std::chrono::steady_clock::now();
    double longest = 0;
    auto frames = base::Timer::scheduled(0.01, true, [&](base::Timer&) {
        longest = std::max(longest, std::chrono::duration<double>(std::chrono::steady_clock::now() - last).count());
        if (window->prepareFrame())
            window->drawFrame(window->scale());
        last = std::chrono::steady_clock::now();
    });
    // The page bar's jump near the end, as its track's release makes it, while the loop runs.
    base::RunLoop::main().post([&] { reader->pagebarGotoPage(*reader->mainPagebar(), count - 3); });
    auto settled = [&] {
        auto& views = reader->contentViews();
        if (views.size() != 3 || views.rbegin()->first < count - 2)
            return false;
        for (const auto& [number, view] : views)
            if (view->isPagePending())
                return false;
        return true;
    };
    EXPECT_TRUE(base::RunLoop::main().runUntil(settled, 180));
    // The thumbnails asked for meanwhile are done with, or given up.
    EXPECT_TRUE(base::RunLoop::main().runUntil([] {
        auto& queues = PdfThumbQueue::sharedInstance();
        return queues.loadQueue().operationCount() == 0 && queues.workQueue().operationCount() == 0;
    }, 120));
    frames->invalidate();
    // A wait on a worker that meets its limit is seconds; a loaded machine can take a frame's
    // slot from the loop for a few tenths, so the bound sits between the two.
#if defined(BRIVANTA_TEST_ASAN) || defined(BRIVANTA_TEST_TSAN)
    const double bound = 1.0;
#else
    const double bound = 0.6;
#endif
    EXPECT_LT(longest, bound) << "the main loop was held " << longest << " s between two frames";

    // Each page near the end is refused by itself, as too large, not as damaged.
    for (const auto& [number, view] : reader->contentViews()) {
        SCOPED_TRACE(number);
        EXPECT_EQ(view->contentPage(), nullptr);
        EXPECT_EQ(view->unavailable(), PdfContentPage::Unavailable::TooCostly);
        ASSERT_TRUE(view->messageLabel());
        EXPECT_EQ(view->messageLabel()->text(), Language::stringWithName("PDFPAGETOOLARGE"));
        EXPECT_EQ(pdf::PageWorkers::shared().refusal(path, number, INT_MIN), pdf::DrawOutcome::TooCostly);
    }
    EXPECT_EQ(pdf::PageWorkers::shared().refusal(path, 1, 0), pdf::DrawOutcome::Drawn) << "page 1 is not refused";
    EXPECT_TRUE(pdf::PageWorkers::shared().pagesKeepFailing(path));
    EXPECT_LT(ownPeakMB(), 500);
}

// An office document whose picture is a PDF that crashes the drawing library, or takes
// gigabytes: the office suite copies that PDF into what it makes. The viewer reads and draws it
// in the page workers, off the main thread; the page says it cannot be shown.
TEST_F(HostileDocumentTest, AnOfficeDocumentCarryingAHostilePdfShowsTheMessageOnItsPage)
{
    struct Case {
        const char* name;
        std::string picture;
    } cases[] = {
        {"crashing-picture.docx", pdffix::deepFunctionShadingPdf()},
        {"gigabyte-picture.docx", pdffix::smallDictProgressiveJpegPdf()},
    };
    std::filesystem::create_directories(home() / "bin");
    // The crash comes first however long a checked build on a busy machine takes to reach it.
    pdf::PageWorkers::Limits limits;
    limits.secondsPerPage = 600;
    pdf::PageWorkers::shared().setLimits(limits);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto docx = home() / "Documents" / c.name;
        ASSERT_TRUE(officefix::make(officefix::Kind::Document, docx, {"Price list"}));
        auto picture = home() / (std::string(c.name) + ".pdf");
        pdffix::writeFile(picture, c.picture);
        ASSERT_TRUE(pdffix::run({"python3", "-c",
                                 "import sys, zipfile\n"
                                 "z = zipfile.ZipFile(sys.argv[1], 'a')\n"
                                 "z.write(sys.argv[2], 'word/media/image1.pdf')\n"
                                 "z.close()\n",
                                 docx.string(), picture.string()}));
        // The suite's output: the PDF the document carries as its picture.
        auto soffice = home() / "bin/soffice";
        pdffix::writeFile(soffice, "#!/bin/sh\n"
                                   "while [ $# -gt 1 ]; do [ \"$1\" = --outdir ] && out=\"$2\"; shift; done\n"
                                   "exec /usr/bin/python3 -c 'import sys, zipfile; "
                                   "open(sys.argv[2], \"wb\").write(zipfile.ZipFile(sys.argv[1]).read(\"word/media/image1.pdf\"))' "
                                   "\"$1\" \"$out/document.pdf\"\n");
        chmod(soffice.c_str(), 0755);
        basetest::ScopedEnv pathEnv("PATH", (home() / "bin").string() + ":/usr/bin:/bin");

        auto view = ui::View::make<share::OfficeDocumentView>(gfx::Rect(0, 44, 1024, 704));
        view->setProblemMessages("locked", Language::stringWithName("THEFILEISCORRUPTED"));
        window->addSubview(view);
        view->loadFile(docx.string());
        ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return !view->isLoading(); }, 90));
        EXPECT_EQ(view->pageCount(), 1);
        EXPECT_EQ(view->failureMessage(), "");
        // The tiles come from the workers; the refusal reaches the page on the main thread.
        for (const auto& page : view->scrollView().subviews())
            if (auto* tiled = dynamic_cast<ui::TiledView*>(page.get()))
                tiled->drawVisibleTilesNow();
        drainMain();
        EXPECT_TRUE(driver->findByText(Language::stringWithName("THEFILEISCORRUPTED")));
        EXPECT_LT(ownPeakMB(), 500);
        EXPECT_LT(ownPeakMB() + workersPeakMB(), 1536);
        view->removeFromSuperview();
    }
}

} // namespace
