#include "Classes/Library/LibraryFileOpener.h"
#include "Classes/Library/PPTLoadingViewController.h"
#include "Classes/Library/PPTViewController.h"
#include "Classes/Library/SharePopViewController.h"
#include "Classes/Library/SinglePPTViewer.h"
#include "Common/Language.h"
#include "Platform/Share/MailComposer.h"
#include "Platform/Share/Program.h"
#include "Platform/UI/ActionSheet.h"
#include "Platform/UI/ActivityIndicator.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/BarButtonItem.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/TiledView.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/ScrollView.h"
#include "tests/Classes/Library/ReaderTestSupport.h"
#include "tests/Platform/Base/FileTestSupport.h"
#include "tests/Support/OfficeFixtures.h"

#include <cmath>
#include <fstream>
#include <sys/stat.h>

namespace {

using readertest::ReaderWindowTest;

class OfficeViewerTest : public ReaderWindowTest {
protected:
    void SetUp() override
    {
        ReaderWindowTest::SetUp();
        root = std::make_shared<ui::ViewController>();
        nav = std::make_shared<ui::NavigationController>(root);
        nav->setNavigationBarHidden(true);
        window->setRootViewController(nav);
        std::filesystem::create_directories(home() / "bin");
    }
    void TearDown() override
    {
        ui::AlertView::dismissAllForTesting();
        ReaderWindowTest::TearDown();
    }
    void stub(const std::string& name, const std::string& body)
    {
        auto path = home() / "bin" / name;
        pdffix::writeFile(path, "#!/bin/sh\n" + body + "\n");
        chmod(path.c_str(), 0755);
    }
    // The conversion runs on its own thread; its answer comes back through the main loop.
    static bool waitReal(const std::function<bool()>& done, double seconds = 90)
    {
        auto& loop = base::RunLoop::main();
        loop.setManualClock(false);
        bool ok = loop.runUntil(done, seconds);
        loop.setManualClock(true);
        return ok;
    }
    std::shared_ptr<PPTLoadingViewController> top() const
    {
        return std::dynamic_pointer_cast<PPTLoadingViewController>(nav->topViewController());
    }
    std::string alertMessage() const
    {
        auto alert = ui::AlertView::visibleAlert();
        return alert ? alert->message() : std::string("(none)");
    }

    std::shared_ptr<ui::ViewController> root;
    std::shared_ptr<ui::NavigationController> nav;
};

TEST_F(OfficeViewerTest, ADocumentOpensUnderTheBarAndGoesBack)
{
    auto real = share::findProgram("soffice");
    if (!real)
        GTEST_SKIP() << "soffice is not installed: the office viewer falls back to the desktop";
    std::string docx = (home() / "Documents/acme/Word/terms.docx").string();
    ASSERT_TRUE(officefix::make(officefix::Kind::Document, docx, {"Terms of delivery", "Goods travel at the buyer's risk."}));
    auto opener = std::make_shared<LibraryFileOpener>();
    opener->openPath(docx, 8, "Delivery terms");
    auto viewer = top();
    ASSERT_TRUE(viewer);
    EXPECT_EQ(opener->officeViewer(), viewer);
    EXPECT_FALSE(nav->isNavigationBarHidden());
    EXPECT_EQ(viewer->titleLabel()->text(), "Delivery terms");
    EXPECT_EQ(viewer->webView()->frame(), gfx::Rect(0, 0, 1024, 724)) << "the pages reach the window's foot";
    EXPECT_EQ(viewer->loadingView()->superview(), viewer->view().get()) << "the indicator shows while converting";
    EXPECT_EQ(viewer->barImage()->superview(), nav->navigationBar().get());
    ASSERT_TRUE(waitReal([&] { return !viewer->webView()->isLoading(); }));
    EXPECT_EQ(viewer->loadingView()->superview(), nullptr) << "and hides when the pages are in";
    EXPECT_EQ(viewer->webView()->pageCount(), 1);
    base::RunLoop::main().advance(1);
    // The page's tiles come from the page workers off the main thread; a screenshot takes
    // those still due at once.
    auto pages = driver->findAllByClass("OfficePageView");
    ASSERT_FALSE(pages.empty());
    for (auto* page : pages)
        static_cast<ui::TiledView*>(page)->drawVisibleTilesNow();
    gfx::Image shot = window->snapshot();
    shot.writePng(reviewPath("office_viewer_docx.png"));
    int dark = 0;
    for (int y = 44 + 60; y < 44 + 220; y += 2)
        for (int x = 60; x < 700; x += 2)
            dark += shot.colorAt(x, y).r < 0.4;
    EXPECT_GT(dark, 20) << "the document's text";
    EXPECT_TRUE(driver->findByText("Goods travel at the buyer's risk.")) << "the page reads as its words";

    // The share sheet shows once however often the button is tapped; back closes it and pops.
    ASSERT_TRUE(driver->tap(viewer->shareButtonView().get()));
    ASSERT_TRUE(viewer->shareSheet() && viewer->shareSheet()->isVisible());
    EXPECT_EQ(viewer->shareSheet()->numberOfButtons(), 3);
    EXPECT_EQ(driver->findAllByClass("ActionSheet").size(), 1u);
    // (A tap beside the sheet only closes it, so the back action is called as the bar would.)
    viewer->btnBackClick();
    base::RunLoop::main().advance(1);
    EXPECT_FALSE(viewer->shareSheet()->isVisible());
    EXPECT_EQ(nav->topViewController(), root);
    EXPECT_TRUE(nav->isNavigationBarHidden());
    EXPECT_EQ(viewer->barImage()->superview(), nullptr) << "the bar keeps no picture of a closed document";
}

TEST_F(OfficeViewerTest, PrintingSlicesTheDocumentIntoScreenfulsOnWhite)
{
    auto viewer = std::make_shared<PPTLoadingViewController>();
    viewer->setFileName(std::string("Stacked"));
    nav->pushViewController(viewer, false);
    auto& scroll = viewer->webView()->scrollView();
    const double h = 724;
    // Bands of half a view each, coloured by their index; band 1 is left transparent.
    auto bandColour = [](int i) { return gfx::Color{0.9, 0.1 * i, 0.2, 1}; };
    struct Slice {
        int band; // the band seen a quarter down the picture
        double height;
    };
    struct Case {
        const char* name;
        double total;
        std::vector<Slice> slices;
    } cases[] = {
        {"exactly two views", 2 * h, {{-1, h}, {2, h}}},
        {"two and a half views", 2.5 * h, {{-1, h}, {2, h}, {4, h / 2}}},
        {"shorter than a view", 0.4 * h, {{0, 0.4 * h}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::shared_ptr<ui::View>> old;
        for (const auto& band : scroll.subviews())
            if (std::string(band->className()) == "View")
                old.push_back(band);
        for (auto& band : old)
            band->removeFromSuperview();
        for (int i = 0; i * h / 2 < c.total; ++i) {
            if (i == 1)
                continue;
            auto band = ui::View::make<ui::View>(gfx::Rect(0, i * h / 2, 1024, std::min(h / 2, c.total - i * h / 2)));
            band->setBackgroundColor(bandColour(i));
            scroll.addSubview(band);
        }
        scroll.setContentSize(gfx::Size{1024, c.total});
        auto pictures = viewer->printPictures();
        ASSERT_EQ(pictures.size(), c.slices.size());
        for (size_t p = 0; p < pictures.size(); ++p) {
            SCOPED_TRACE(p);
            const double scale = PPTLoadingViewController::kPrintScale;
            EXPECT_EQ(pictures[p].pixelWidth(), int(1024 * scale));
            EXPECT_EQ(pictures[p].pixelHeight(), int(std::round(c.slices[p].height * scale)));
            int y = int(pictures[p].pixelHeight() / 4);
            gfx::Color seen = pictures[p].colorAt(500, y);
            if (c.slices[p].band < 0) {
                // The top of the first picture: band 0, then the transparent band 1 as white.
                EXPECT_NEAR(seen.g, bandColour(0).g, 0.02);
                gfx::Color paper = pictures[p].colorAt(500, int(0.75 * h * scale));
                EXPECT_GT(paper.r + paper.g + paper.b, 2.97) << "white where the content is transparent";
            } else {
                EXPECT_NEAR(seen.g, bandColour(c.slices[p].band).g, 0.02);
                EXPECT_NEAR(seen.r, 0.9, 0.02);
            }
        }
        EXPECT_EQ(scroll.contentOffset(), (gfx::Point{0, 0})) << "back at the top";
    }
}

TEST_F(OfficeViewerTest, ShareByMailAndHandOverWithoutTheSuite)
{
    std::string sheet = (home() / "Documents/acme/Excel/Stock 2026.xlsx").string();
    ASSERT_TRUE(officefix::make(officefix::Kind::Spreadsheet, sheet, {"Item", "Count"}));
    std::string opened = (home() / "opened.log").string();
    stub("xdg-open", "echo \"$1\" >> '" + opened + "'");
    stub("xdg-mime", "echo sheets.desktop");
    // No office suite on the PATH: the viewer says so and hands the file over.
    basetest::ScopedEnv path("PATH", (home() / "bin").string());
    auto opener = std::make_shared<LibraryFileOpener>();
    opener->openPath(sheet, 7, "Stock");
    auto viewer = top();
    ASSERT_TRUE(viewer);
    ASSERT_TRUE(waitReal([&] { return !viewer->webView()->isLoading(); }));
    EXPECT_EQ(viewer->loadingView()->superview(), nullptr);
    EXPECT_EQ(viewer->webView()->failureMessage(), Language::stringWithName("DOCUMENTOPENEDELSEWHERE"));
    ASSERT_TRUE(waitReal([&] { return std::filesystem::exists(opened); }, 5));
    base::RunLoop::main().advance(1);
    window->snapshot().writePng(reviewPath("office_viewer_fallback.png"));

    // E-mail from the sheet: the spreadsheet under its own name and registered type.
    share::MailComposer::setShared(nullptr);
    ASSERT_TRUE(driver->tap(viewer->shareButtonView().get()));
    ASSERT_TRUE(driver->tap(driver->findByText(Language::stringWithName("EMAIL"))));
    base::RunLoop::main().advance(1);
    auto outbox = std::filesystem::path(share::OutboxMailComposer::outboxPath());
    std::string eml;
    for (auto& entry : std::filesystem::directory_iterator(outbox))
        if (entry.path().extension() == ".eml") {
            std::ifstream in(entry.path());
            eml.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    EXPECT_NE(eml.find("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet"), std::string::npos);
    EXPECT_NE(eml.find("Stock 2026.xlsx"), std::string::npos);
    EXPECT_NE(eml.find("[Stock]"), std::string::npos);
    EXPECT_EQ(eml.find("\"ppt\""), std::string::npos);

    // Another application: nothing on this desktop takes the type.
    ui::AlertView::dismissAllForTesting();
    stub("xdg-mime", "exit 0");
    ASSERT_TRUE(driver->tap(viewer->shareButtonView().get()));
    ASSERT_TRUE(driver->tap(driver->findByText(Language::stringWithName("OPENINOTHERAPP"))));
    EXPECT_EQ(alertMessage(), Language::stringWithName("PLEASEDOWNLOADKEYNOTE"));
    EXPECT_FALSE(viewer->holdsDocumentController());
}

TEST_F(OfficeViewerTest, QuickLookScreensPreviewOnceUnderTheTitleBar)
{
    std::string deck = (home() / "Documents/acme/deck.pptx").string();
    ASSERT_TRUE(officefix::make(officefix::Kind::Presentation, deck, {"Spring range"}));
    std::string opened = (home() / "opened.log").string();
    stub("xdg-open", "echo \"$1\" >> '" + opened + "'");
    stub("xdg-mime", "echo slides.desktop");
    basetest::ScopedEnv path("PATH", (home() / "bin").string());
    auto lines = [&] {
        std::ifstream in(opened);
        int n = 0;
        for (std::string line; std::getline(in, line);)
            ++n;
        return n;
    };

    auto single = std::make_shared<SinglePPTViewer>();
    single->setFilePath(deck);
    single->setFileName(std::string("Spring range"));
    nav->pushViewController(single, false);
    base::RunLoop::main().advance(1);
    ASSERT_TRUE(single->previewController());
    EXPECT_EQ(single->previewController()->view()->frame(), single->view()->bounds());
    EXPECT_EQ(single->previewController()->title(), "Spring range");
    EXPECT_FALSE(nav->isNavigationBarHidden());
    auto* label = dynamic_cast<ui::Label*>(single->titleView().get());
    ASSERT_TRUE(label);
    EXPECT_EQ(label->text(), "Spring range");
    window->snapshot().writePng(reviewPath("quick_look_single.png"));
    ASSERT_TRUE(waitReal([&] { return lines() == 1; }, 5));
    auto back = single->leftBarButtonItem();
    ASSERT_TRUE(back && back->customView());
    EXPECT_EQ(back->customView()->frame().size, (gfx::Size{80, 34}));
    ui::ViewController::sendMemoryWarningToAll();
    EXPECT_FALSE(single->previewController());
    ASSERT_TRUE(driver->tap(back->customView().get()));
    base::RunLoop::main().advance(1);
    EXPECT_EQ(nav->topViewController(), root);
    EXPECT_TRUE(nav->isNavigationBarHidden());

    // The preview screen alone hands the file over when it first appears, not again.
    auto preview = std::make_shared<PPTViewController>();
    preview->setFilePath(deck);
    preview->setFileName(std::string("Spring range"));
    nav->pushViewController(preview, false);
    base::RunLoop::main().advance(1);
    EXPECT_TRUE(preview->previewShown());
    EXPECT_EQ(preview->numberOfPreviewItems(), 1);
    EXPECT_EQ(preview->previewItemAtIndex(0), deck);
    ASSERT_TRUE(preview->barImage());
    EXPECT_EQ(preview->barImage()->frame(), gfx::Rect(-5, 0, 1029, 44));
    ui::ViewController::sendMemoryWarningToAll();
    EXPECT_FALSE(preview->barImage());
    preview->btnBackClick();
    base::RunLoop::main().advance(1);
    EXPECT_EQ(nav->topViewController(), root);
    ASSERT_TRUE(waitReal([&] { return lines() == 2; }, 5));
}

} // namespace

namespace {

TEST_F(OfficeViewerTest, TheSharePanelCallsWhatItsDelegateAnswers)
{
    struct Recorder : SharePopViewControllerDelegate {
        std::vector<std::string> heard;
        void emailAction() override { heard.push_back("email"); }
        void thirdAction() override { heard.push_back("third"); }
    } recorder;
    auto panel = std::make_shared<SharePopViewController>();
    panel->setDelegate(&recorder);
    panel->view()->setFrame(gfx::Rect(400, 300, 200, 116));
    window->addSubview(panel->view());
    EXPECT_EQ(panel->view()->backgroundColor(), (gfx::Color{0.114, 0.125, 0.157, 1}));
    const char* keys[] = {"EMAIL", "PRINT", "OPENINOTHERAPP"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(panel->button(i)->frame(), gfx::Rect(0, 41.0 * i, 200, 34));
        // Found and tapped by its text, as a user would.
        ASSERT_TRUE(driver->tap(driver->findByText(Language::stringWithName(keys[i]))));
    }
    // Print is not answered by this delegate: nothing happens for it.
    EXPECT_EQ(recorder.heard, (std::vector<std::string>{"email", "third"}));
    panel->setDelegate(nullptr);
    driver->tap(panel->button(0).get());
    EXPECT_EQ(recorder.heard.size(), 2u);
}

} // namespace
