#include "Classes/Library/LibraryFileOpener.h"
#include "Classes/Library/PdfViewController.h"
#include "Classes/Library/Reader/PdfContentView.h"
#include "Common/Language.h"
#include "Platform/Pdf/PageWorkers.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NavigationController.h"
#include "tests/Classes/Library/ReaderTestSupport.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

using readertest::ReaderWindowTest;

class LibraryFileOpenerTest : public ReaderWindowTest {
protected:
    void SetUp() override
    {
        ReaderWindowTest::SetUp();
        root = std::make_shared<ui::ViewController>();
        nav = std::make_shared<ui::NavigationController>(root);
        nav->setNavigationBarHidden(true);
        window->setRootViewController(nav);
        opener = std::make_shared<LibraryFileOpener>();
        opener->setAlertHandler([this](const std::string&, const std::string& message, int tag) {
            alerts.push_back(message);
            EXPECT_EQ(tag, 1001);
        });
    }
    void stub(const std::string& name, const std::string& body)
    {
        auto path = home() / "bin" / name;
        pdffix::writeFile(path, "#!/bin/sh\n" + body + "\n");
        chmod(path.c_str(), 0755);
    }

    std::shared_ptr<ui::ViewController> root;
    std::shared_ptr<ui::NavigationController> nav;
    std::shared_ptr<LibraryFileOpener> opener;
    std::vector<std::string> alerts;
};

TEST_F(LibraryFileOpenerTest, EachTypeGoesToItsViewerOrSaysWhyNot)
{
    std::string good = place("Documents/acme/Pdf/catalog.pdf", pdffix::textPdf(4));
    std::string locked = (home() / "Documents/acme/Pdf/locked.pdf").string();
    ASSERT_TRUE(pdffix::encryptedCopy(good, locked, "secret", "boss"));
    std::string noise = place("Documents/acme/Pdf/noise.pdf", std::string(3000, 'z'));
    std::string notes = place("Documents/acme/notes.txt", "some notes");
    std::string deck = place("Documents/acme/Deck.PPTX", "PK not really a deck");
    std::string huge = place("Documents/acme/huge.pptx", "PK");
    ASSERT_EQ(truncate(huge.c_str(), 41943041), 0);
    std::string missing = (home() / "Documents/acme/gone.doc").string();
    std::string opened = (home() / "opened.log").string();
    // A desktop that has a handler only for plain text.
    stub("xdg-mime", "[ \"$3\" = text/plain ] && echo text-editor.desktop; exit 0");
    stub("xdg-open", "echo \"$1\" >> '" + opened + "'");
    basetest::ScopedEnv path("PATH", (home() / "bin").string() + ":/usr/bin:/bin");

    struct Case {
        std::string name;
        std::string path;
        int type;
        std::string pushes; // the screen on top afterwards, when not the root
        std::string alert; // key, or empty
        bool handedOver;
    } cases[] = {
        {"PDF", good, 5, "PdfViewController", "", false},
        {"random bytes as PDF", noise, 5, "", "THEFILEISCORRUPTED", false},
        {"locked PDF", locked, 5, "", "THEFILEISPROTECTED", false},
        {"text with a handler", notes, 9, "", "", true},
        {"deck in capitals", deck, 9, "PPTLoadingViewController", "", false},
        {"deck past the size limit", huge, 9, "", "FILETOOLARGEALERT", false},
        {"missing file", missing, 8, "", "FILETOOLARGEALERT", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        alerts.clear();
        std::filesystem::remove(opened);
        opener->openPath(c.path, c.type, "Title of " + c.name);
        // A PDF's reader or alert comes once a page worker has read the file.
        if (c.type == 5) {
            EXPECT_TRUE(base::RunLoop::main().runUntil(
                [&] { return !alerts.empty() || nav->topViewController() != root; }, 30));
        }
        base::RunLoop::main().advance(1);
        EXPECT_EQ(nav->topViewController() == root ? "" : nav->topViewController()->className(), c.pushes);
        auto top = std::dynamic_pointer_cast<PdfViewController>(nav->topViewController());
        if (c.alert.empty())
            EXPECT_TRUE(alerts.empty());
        else
            EXPECT_EQ(alerts, std::vector<std::string>{Language::stringWithName(c.alert)});
        // The opener runs in the background; give it a moment to write.
        for (int i = 0; i < 200 && c.handedOver && !std::filesystem::exists(opened); ++i)
            usleep(5000);
        EXPECT_EQ(std::filesystem::exists(opened), c.handedOver);
        if (top) {
            EXPECT_EQ(top->docName(), "Title of PDF");
            EXPECT_EQ(top->currentPage(), 1);
            driver->tap(top->mainToolbar()->doneButton().get());
            base::RunLoop::main().advance(1);
            EXPECT_EQ(nav->topViewController(), root);
            EXPECT_FALSE(opener->reader());
        }
        if (auto office = std::dynamic_pointer_cast<PPTLoadingViewController>(nav->topViewController())) {
            EXPECT_EQ(office->titleLabel()->text(), "Title of " + c.name);
            EXPECT_EQ(opener->officeViewer(), office);
            office->btnBackClick();
            base::RunLoop::main().advance(1);
            EXPECT_EQ(nav->topViewController(), root);
        }
    }
}

// The opening's answer describes the first pages of a document, as many as it describes: the
// reader the library opens shows any of them at once, and neither it nor its page bar asks a
// worker about them again.
TEST_F(LibraryFileOpenerTest, PagesDescribedAtOpeningAreShownWithoutAskingAWorkerAgain)
{
    const int described = int(pdf::worker::kPagesDescribedAtOpen);
    std::string path = place("Documents/acme/Pdf/long.pdf", pdffix::textPdf(described));
    auto& workers = pdf::PageWorkers::shared();
    int opened = workers.questionsAsked(pdf::worker::Ask::Open);
    int asked = workers.questionsAsked(pdf::worker::Ask::Page);
    opener->openPath(path, 5, "Long");
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return opener->reader() != nullptr; }, 30));
    auto reader = opener->reader();
    base::RunLoop::main().advance(1);
    for (int page : {1, 2, 3, described / 2, described - 1, described}) {
        SCOPED_TRACE(page);
        reader->showDocumentPage(page);
        ASSERT_EQ(reader->currentPage(), page);
        auto views = reader->contentViews(); // the loop run below may move them
        for (const auto& shown : views) {
            const auto& view = shown.second;
            EXPECT_FALSE(view->isPagePending()) << shown.first;
            // A page asked for after all is waited for, so that its question is counted.
            EXPECT_TRUE(base::RunLoop::main().runUntil([&] { return !view->isPagePending(); }, 30));
            EXPECT_TRUE(view->contentPage()) << shown.first;
        }
        base::RunLoop::main().advance(1);
    }
    EXPECT_EQ(workers.questionsAsked(pdf::worker::Ask::Open) - opened, 1);
    EXPECT_EQ(workers.questionsAsked(pdf::worker::Ask::Page) - asked, 0);
}

} // namespace
