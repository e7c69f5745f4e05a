// Opening documents on the device from the library grid: each library type and extension
// reaches its viewer, the desktop's preview or its message, taps landing by hit testing.
#include "Classes/Library/LibraryFileOpener.h"
#include "Classes/Library/PdfMainToolbar.h"
#include "Common/Language.h"
#include "Common/PublicFunction.h"
#include "Platform/Media/Player.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Label.h"
#include "tests/Classes/Library/OpeningTestSupport.h"
#include "tests/Platform/Base/FileTestSupport.h"
#include "tests/Support/PdfFixtures.h"

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace librarytest;

TEST_F(LibraryRoutingTest, EachDocumentReachesItsViewerOrItsMessage)
{
    media::Player::setAudioEnabled(false);
    std::string home = base::Paths::home();
    std::string asked = home + "/preview-asked";
    // A desktop with no application for anything: every preview is asked for and refused.
    stub("xdg-mime", "echo \"$4\" >> '" + asked + "'");
    stub("xdg-open", "exit 0");
    basetest::ScopedEnv path("PATH", home + "/bin:/usr/bin:/bin");
    // An office suite that fails: the office viewer then hands the file to the desktop too.
    stub("soffice", "exit 1");

    std::string good = place("guide.pdf", "PDF", pdffix::textPdf(3));
    place("noise.pdf", "PDF", std::string(3000, 'z'));
    std::string locked = *PublicFunction::filePathWithNameFiletype(std::string("locked.pdf"), 5);
    ASSERT_TRUE(pdffix::encryptedCopy(good, locked, "secret", "boss"));
    place("Deck.PPTX", "other", "PK not really a deck");
    std::string huge = place("huge.pptx", "other", "PK");
    ASSERT_EQ(truncate(huge.c_str(), 41943041), 0);
    place("notes.txt", "other", "call the buyer");
    std::string clip = *PublicFunction::filePathWithNameFiletype(std::string("film.webm"), 6);
    std::filesystem::create_directories(std::filesystem::path(clip).parent_path());
    ASSERT_TRUE(pdffix::run({"gst-launch-1.0", "-q", "videotestsrc", "num-buffers=15", "!",
                             "video/x-raw,width=160,height=120,framerate=15/1", "!", "vp8enc", "!", "webmmux", "!",
                             "filesink", "location=" + clip}));
    saveFiles({libraryFile(1, "Guide", "guide.pdf"), libraryFile(2, "Noise", "noise.pdf"),
               libraryFile(3, "Locked", "locked.pdf"), libraryFile(4, "Deck", "Deck.PPTX", "other"),
               libraryFile(5, "Huge deck", "huge.pptx", "other"), libraryFile(6, "Notes", "notes.txt", "other"),
               libraryFile(7, "Film", "film.webm", "VEDIO")});
    SaleslibraryModel::freeInstance();
    auto grid = showGrid(0);

    struct Case {
        const char* title;      // the tile tapped; none: the grid is asked for a missing file
        std::string screen;     // the screen on top afterwards
        std::string alert;      // the message key shown, or none
        bool previewAsked;
    } cases[] = {
        {"Deck", "PPTLoadingViewController", "", true},
        {"Huge deck", "LibraryDetailController", "FILETOOLARGEALERT", true},
        {"Notes", "LibraryDetailController", "PLEASEDOWNLOADKEYNOTE", true},
        {nullptr, "LibraryDetailController", "FILETOOLARGEALERT", true},
        {"Guide", "PdfViewController", "", false},
        {"Noise", "LibraryDetailController", "THEFILEISCORRUPTED", false},
        {"Locked", "LibraryDetailController", "THEFILEISPROTECTED", false},
        {"Film", "LibraryDetailController", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title ? c.title : "a missing file");
        std::filesystem::remove(asked);
        if (c.title) {
            auto* tile = tileOf(c.title);
            ASSERT_NE(tile, nullptr);
            driver->tap(driver->centerOf(&tile->fileImageView()));
        } else {
            grid->selectDownloadedFileType(std::string("gone.docx"), 9);
        }
        // A PDF is read by a page worker first: its reader or its message comes with the answer.
        base::RunLoop::main().runUntil(
            [&] { return ui::AlertView::visibleAlert() || topScreen() != "LibraryDetailController"; }, 30);
        base::RunLoop::main().advance(1);
        EXPECT_EQ(topScreen(), c.screen);
        if (auto office = std::dynamic_pointer_cast<PPTLoadingViewController>(m_navigation->topViewController())) {
            ASSERT_TRUE(runUntilReal([&] { return !office->webView()->isLoading(); }));
        }
        auto alert = ui::AlertView::visibleAlert();
        EXPECT_EQ(alert ? alert->message() : "", c.alert.empty() ? "" : Language::stringWithName(c.alert));
        if (alert) {
            EXPECT_EQ(alert->tag(), LibraryFileOpener::kAlertTag);
        }
        EXPECT_EQ(lines(asked) > 0, c.previewAsked);
        ui::AlertView::dismissAllForTesting();

        auto top = m_navigation->topViewController();
        if (auto office = std::dynamic_pointer_cast<PPTLoadingViewController>(top)) {
            EXPECT_EQ(office->titleLabel()->text(), c.title);
            ASSERT_TRUE(driver->tap(office->backButton().get()));
        } else if (auto reader = std::dynamic_pointer_cast<PdfViewController>(top)) {
            EXPECT_EQ(reader->docName(), c.title);
            ASSERT_TRUE(driver->tap(reader->mainToolbar()->doneButton().get()));
        } else if (std::string(c.title ? c.title : "") == "Film") {
            auto* player = driver->findByClass("PlayerView");
            ASSERT_NE(player, nullptr) << "the player over the root screen";
            auto* back = driver->findByText(Language::stringWithName("BACK"));
            ASSERT_NE(back, nullptr);
            ASSERT_TRUE(driver->tap(back));
            base::RunLoop::main().advance(1);
            EXPECT_EQ(driver->findByClass("PlayerView"), nullptr);
            EXPECT_EQ(driver->findByClass("VideoViewController"), nullptr);
        }
        base::RunLoop::main().advance(1);
        EXPECT_EQ(topScreen(), "LibraryDetailController");
    }
}

} // namespace
