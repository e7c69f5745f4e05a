// A product's related materials against the loopback back end: the pop-up's tiles download,
// pause, resume, update and open through the library's own steps, driven through the window.
#include "LibraryTestSupport.h"

#include "App/BrivantaAppDelegate.h"
#include "Classes/Library/LibraryFileActions.h"
#include "Classes/Library/Reader/PdfDocument.h"
#include "Classes/Library/PdfViewController.h"
#include "Classes/Library/ProductRelatedFileController.h"
#include "Common/Language.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/ProgressView.h"
#include "Protocol/DownloadRequest.h"

namespace librarytest {
namespace {

namespace fs = std::filesystem;

class RelatedMaterialsTest : public LibraryScreenTest {
protected:
    void SetUp() override
    {
        LibraryScreenTest::SetUp();
        if (HasFatalFailure())
            return;
        ui::Application::shared().setURLRecorder([this](const std::string& url) { opened.push_back(url); });
    }
    void TearDown() override
    {
        ui::Application::shared().setURLRecorder({});
        m_popup.reset();
        LibraryScreenTest::TearDown();
    }
    // The pop-up pushed over a plain screen on the window's root stack, as the product page does.
    std::shared_ptr<ProductRelatedFileController> showRelated(std::vector<brivanta_library_files_Entity> files)
    {
        if (!m_navigation) {
            m_navigation = std::make_shared<ui::NavigationController>(std::make_shared<ui::ViewController>());
            m_navigation->setNavigationBarHidden(true);
            window->setRootViewController(m_navigation);
        }
        m_popup = std::make_shared<ProductRelatedFileController>();
        m_popup->setLibfilesArray(std::move(files));
        m_navigation->pushViewController(m_popup, false);
        base::RunLoop::main().advance(0.5);
        window->layoutIfNeeded();
        return m_popup;
    }
    void closeRelated()
    {
        m_navigation->popToRootViewController(false);
        base::RunLoop::main().advance(0.5);
        m_popup.reset();
    }
    // The files as the library lists them.
    std::vector<brivanta_library_files_Entity> listed(std::vector<int> ids)
    {
        std::vector<brivanta_library_files_Entity> out;
        for (int id : ids)
            for (const auto& file : m_manager->getAllLibFiles())
                if (file.file_id == id)
                    out.push_back(file);
        return out;
    }
    // Pictures for a person to look at go to $BRIVANTA_REVIEW_DIR when set.
    void review(const std::string& name)
    {
        if (const char* folder = std::getenv("BRIVANTA_REVIEW_DIR"); folder && *folder)
            window->savePng(std::string(folder) + "/" + name);
    }

    std::shared_ptr<ProductRelatedFileController> m_popup;
    std::vector<std::string> opened;
};

TEST_F(RelatedMaterialsTest, OffWifiADownloadStartsAtOncePausesResumesAndOpens)
{
    saveFiles({libraryFile(42, "Autumn catalogue", "cat.pdf", "PDF", 0, "PDF/0.3 M"), libraryFile(43, "Full price book", "big.pdf"),
               libraryFile(44, "Meeting notes", "notes.docx", "WORD"), libraryFile(45, "Spare", "spare.pdf"),
               libraryFile(46, "Fifth", "fifth.pdf")});
    const std::string whole = served("library/pdf", "cat.pdf");
    ASSERT_TRUE(backend().setFault("cat.pdf", "slow", 1, R"("bytesPerSecond": 20000)"));
    LoginMode::sharedInstance()->setIsNotWifi(true);
    auto popup = showRelated(listed({42, 43, 44, 45, 46}));
    EXPECT_EQ(popup->lblTittle()->text(), Language::stringWithName("RELATEDMATERIALS"));
    EXPECT_EQ(popup->libraryFileScrollView()->numberOfColumns(), 4u);
    EXPECT_EQ(tileOf("Fifth")->frame().y() > tileOf("Spare")->frame().maxY(), true) << "the fifth starts a second row";
    review("related-materials.png");

    tapTile("Autumn catalogue");
    ASSERT_NE(popup->presentedCard(), nullptr) << "a document not on the device opens its card";
    EXPECT_TRUE(popup->presentedCard()->delButton().isHidden());
    ASSERT_TRUE(driver->tap(driver->findByText("Download")));
    base::RunLoop::main().advance(1);
    EXPECT_EQ(alert(), nullptr) << "no Wi-Fi question here";
    EXPECT_EQ(tileOf("Autumn catalogue")->downloadingLabel().text(), "Downloading");
    auto model = SaleslibraryModel::sharedInstance();
    ASSERT_TRUE(runUntilReal([&] { return model->getDownloadPercentage("cat.pdf") > 0.05f; }));
    EXPECT_GT(tileOf("Autumn catalogue")->progressView().progress(), 0.0f) << "progress reaches the tile";

    tapTile("Autumn catalogue");
    EXPECT_TRUE(model->isInPauseList("cat.pdf"));
    EXPECT_EQ(tileOf("Autumn catalogue")->downloadingLabel().text(), "Paused");
    tapTile("Autumn catalogue");
    // The rest comes unthrottled: on a busy machine it may have landed within the tap itself.
    EXPECT_TRUE(model->isInDownloadList("cat.pdf") || model->isExists(42));
    ASSERT_TRUE(downloadEnds("cat.pdf", [&] { return model->isExists(42); }));
    settleReal();
    base::RunLoop::main().advance(1);
    EXPECT_TRUE(tileOf("Autumn catalogue")->pauseView().isHidden());
    EXPECT_FALSE(tileOf("Autumn catalogue")->infoButton().isHidden());
    EXPECT_EQ(contents(pdfPath("cat.pdf")), whole);
    EXPECT_EQ(finishNotices(), std::vector<std::string>{"42"});
    EXPECT_EQ(fileRequests("cat.pdf").size(), 2u) << "one start and one resume";

    // On the device it opens in the reader; the reader's back button returns to the pop-up.
    tapTile("Autumn catalogue");
    ASSERT_EQ(topScreen(), "PdfViewController");
    auto* reader = dynamic_cast<PdfViewController*>(m_navigation->topViewController().get());
    reader->delegate()->dismissReaderViewController(*reader);
    base::RunLoop::main().advance(1);
    EXPECT_EQ(topScreen(), "ProductRelatedFileController");

    // Leaving reader and pop-up at once: a reader still held calls back into nothing.
    tapTile("Autumn catalogue");
    auto held = std::dynamic_pointer_cast<PdfViewController>(m_navigation->topViewController());
    ASSERT_NE(held, nullptr);
    std::weak_ptr<ProductRelatedFileController> gone = m_popup;
    popup.reset();
    closeRelated();
    EXPECT_TRUE(gone.expired());
    EXPECT_EQ(held->delegate(), nullptr);
    LoginMode::sharedInstance()->setIsNotWifi(false);
}

TEST_F(RelatedMaterialsTest, RefusalsTheUpdateQuestionAndAnUnreadableFile)
{
    saveFiles({libraryFile(42, "Autumn catalogue", "cat.pdf"), libraryFile(7, "Sales deck", "deck_v2.pdf"),
               libraryFile(43, "Full price book", "big.pdf")});
    saveUpdate(7, "deck_v1.pdf", "PDF");
    writeFile(pdfPath("deck_v1.pdf"), served("library/pdf", "deck_v1.pdf"));
    writeFile(pdfPath("big.pdf"), "not a document at all");

    // The demo and the offline login refuse; nothing reaches the network.
    struct Refusal {
        int loginType;
        int tag;
        std::string message;
        std::string button;
    };
    const Refusal refusals[] = {
        {3, LibraryFileActions::kAlertDemo, Language::stringWithName("DEMOMODELOGIN"), Language::stringWithName("SIGNUPNOW")},
        {2, LibraryFileActions::kAlertFailed, Language::stringWithName("999"), "OK"},
    };
    auto popup = showRelated(listed({42, 7, 43}));
    for (const auto& r : refusals) {
        SCOPED_TRACE(r.loginType);
        LoginMode::sharedInstance()->setLoginType(r.loginType);
        tapTile("Autumn catalogue");
        ASSERT_NE(popup->presentedCard(), nullptr);
        ASSERT_TRUE(driver->tap(driver->findByText("Download")));
        base::RunLoop::main().advance(1);
        ASSERT_NE(alert(), nullptr);
        EXPECT_EQ(alert()->tag(), r.tag);
        EXPECT_EQ(alert()->message(), r.message);
        answer(r.button);
    }
    EXPECT_EQ(opened, std::vector<std::string>{BrivantaAppDelegate::kRegistrationPageAddress});
    settleReal();
    EXPECT_TRUE(fileRequests("cat.pdf").empty()) << "nothing reached the network";
    LoginMode::sharedInstance()->setLoginType(1);

    // A file that cannot be read is told; dismissing that starts nothing.
    tapTile("Full price book");
    ASSERT_NE(alert(), nullptr);
    EXPECT_EQ(alert()->message(), Language::stringWithName("THEFILEISCORRUPTED"));
    answer("OK");
    EXPECT_TRUE(SaleslibraryModel::sharedInstance()->downloadFileNameArray().empty());

    // "Cancel" to the update question opens the version on the device.
    EXPECT_FALSE(tileOf("Sales deck")->ribbonView().image().isNull());
    tapTile("Sales deck");
    ASSERT_NE(alert(), nullptr);
    EXPECT_EQ(alert()->message(), Language::stringWithName("HASUPDATE"));
    EXPECT_EQ(alert()->tag(), LibraryFileActions::kAlertUpdateBase + 1);
    answer("Cancel");
    ASSERT_EQ(topScreen(), "PdfViewController");
    auto* reader = dynamic_cast<PdfViewController*>(m_navigation->topViewController().get());
    EXPECT_EQ(reader->document()->fileName(), "deck_v1.pdf");
    m_navigation->popViewController(false);
    base::RunLoop::main().advance(1);

    // "Update" fetches the new version; the ribbon here stays until the pop-up opens again.
    tapTile("Sales deck");
    answer("Update");
    ASSERT_TRUE(downloadEnds("deck_v2.pdf", [] { return !SaleslibraryModel::sharedInstance()->isInDownloadList("deck_v2.pdf"); }));
    settleReal();
    base::RunLoop::main().advance(1);
    EXPECT_EQ(contents(pdfPath("deck_v2.pdf")), served("library/pdf", "deck_v2.pdf"));
    EXPECT_FALSE(m_manager->getLibFileUpdateByFileID(7));
    EXPECT_FALSE(tileOf("Sales deck")->ribbonView().image().isNull());
    closeRelated();
    showRelated(listed({42, 7, 43}));
    EXPECT_TRUE(tileOf("Sales deck")->ribbonView().image().isNull());
}

TEST_F(RelatedMaterialsTest, ClosingDuringADownloadLeavesItRunning)
{
    saveFiles({libraryFile(42, "Autumn catalogue", "cat.pdf")});
    ASSERT_TRUE(backend().setFault("cat.pdf", "slow", 1, R"("bytesPerSecond": 100000)"));
    showRelated(listed({42}));
    tapTile("Autumn catalogue");
    ASSERT_TRUE(driver->tap(driver->findByText("Download")));
    base::RunLoop::main().advance(1);
    auto model = SaleslibraryModel::sharedInstance();
    ASSERT_TRUE(model->isInDownloadList("cat.pdf"));
    std::weak_ptr<ProductRelatedFileController> gone = m_popup;
    closeRelated();
    EXPECT_TRUE(gone.expired()) << "nothing keeps the closed pop-up";
    ASSERT_TRUE(downloadEnds("cat.pdf", [&] { return model->isExists(42); }));
    settleReal();
    EXPECT_EQ(contents(pdfPath("cat.pdf")), served("library/pdf", "cat.pdf"));
}

} // namespace
} // namespace librarytest
