// The grid's download side against the loopback back end: one download from the card with
// pause and resume, the account refusals, download-all and update-all, the update question,
// delete; driven through the window and answered through the alerts on screen.
#include "LibraryTestSupport.h"

#include "App/BrivantaAppDelegate.h"
#include "Common/Language.h"

#include "Classes/Library/LibraryTexts.h"
#include "Platform/Base/Log.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NamedImage.h"
#include "Platform/UI/ProgressView.h"
#include "Protocol/DownloadRequest.h"
#include "Protocol/DownloadRst.h"
#include "Protocol/ServerCommands.h"

namespace librarytest {
namespace {

namespace fs = std::filesystem;

class LibraryDownloadTest : public LibraryScreenTest {
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
        DownloadRequest::setLimitsForTesting(std::nullopt);
        LibraryScreenTest::TearDown();
    }
    std::vector<std::string> opened;
};

TEST_F(LibraryDownloadTest, OneDownloadFromTheCardPausesResumesAndLands)
{
    saveFiles({libraryFile(42, "Autumn catalogue", "cat.pdf")});
    const std::string whole = served("library/pdf", "cat.pdf");
    ASSERT_TRUE(backend().setFault("cat.pdf", "slow", 1, R"("bytesPerSecond": 20000)"));
    auto grid = showGrid(0);
    tapTile("Autumn catalogue");
    ASSERT_NE(grid->presentedCard(), nullptr) << "a document not on the device opens its card";
    ASSERT_TRUE(driver->tap(driver->findByText("Download")));
    base::RunLoop::main().advance(1);
    EXPECT_EQ(tileOf("Autumn catalogue")->downloadingLabel().text(), "Downloading");
    EXPECT_FALSE(tileOf("Autumn catalogue")->pauseView().isHidden());
    auto model = SaleslibraryModel::sharedInstance();
    ASSERT_TRUE(runUntilReal([&] { return model->getDownloadPercentage("cat.pdf") > 0.05f; }));

    tapTile("Autumn catalogue");
    EXPECT_TRUE(model->isInPauseList("cat.pdf"));
    EXPECT_EQ(tileOf("Autumn catalogue")->downloadingLabel().text(), "Paused");
    tapTile("Autumn catalogue");
    // The rest comes unthrottled: on a busy machine it may land within the tap itself.
    EXPECT_TRUE(model->isInDownloadList("cat.pdf") || model->isExists(42));
    ASSERT_TRUE(downloadEnds("cat.pdf", [&] { return model->isExists(42); }));
    settleReal();
    base::RunLoop::main().advance(1);
    auto* tile = tileOf("Autumn catalogue");
    ASSERT_NE(tile, nullptr);
    EXPECT_TRUE(tile->pauseView().isHidden());
    EXPECT_FALSE(tile->infoButton().isHidden()) << "book_i with its info button";
    EXPECT_EQ(contents(pdfPath("cat.pdf")), whole);
    EXPECT_EQ(finishNotices(), std::vector<std::string>{"42"});

    // On the device, a tap opens it in the reader.
    tapTile("Autumn catalogue");
    EXPECT_EQ(topScreen(), "PdfViewController");
}

// A file whose answer inflates past the engine's brake, or whose body never ends while its
// listing gives no size to hold it to ("0 M" or none: the ceiling of any file holds it), is
// asked for once; the user is told it was too large, as on every other road, nothing of it
// stays to be continued, and the tile is back to a document not on the device.
TEST_F(LibraryDownloadTest, AnAnswerTooLargeIsAskedForOnceToldAndTheTileComesBack)
{
    struct Case {
        const char* what;
        int id;
        const char* title;
        const char* name;
        const char* info;
        const char* fault;
        const char* extra;
    };
    const Case cases[] = {
        {"an answer inflating past the brake", 42, "Autumn catalogue", "cat.pdf", "PDF/0.3 M", "gzipBomb",
         R"("inflatesTo": 314572800)"},
        {"a body without end, listed as 0 M", 7, "Sales deck", "deck_v2.pdf", "PDF/0 M", "endless", ""},
        {"a body without end, listed without a size", 5, "Brochure", "brochure.pdf", "", "endless", ""},
    };
    DownloadRequest::Limits small;
    small.fileCeiling = uint64_t(2) << 20;
    DownloadRequest::setLimitsForTesting(small);
    std::vector<brivanta_library_files_Entity> files;
    for (const auto& c : cases) {
        files.push_back(libraryFile(c.id, c.title, c.name, "PDF", 0, c.info));
        ASSERT_TRUE(backend().setFault(c.name, c.fault, 0, c.extra));
    }
    saveFiles(files);
    auto grid = showGrid(0);
    auto model = SaleslibraryModel::sharedInstance();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        tapTile(c.title);
        ASSERT_NE(grid->presentedCard(), nullptr);
        ASSERT_TRUE(driver->tap(driver->findByText("Download")));
        ASSERT_TRUE(downloadEnds(c.name, [&] { return !model->isInDownloadList(c.name); }));
        settleReal();
        base::RunLoop::main().advance(1);
        ASSERT_NE(alert(), nullptr) << "the failure is told";
        EXPECT_EQ(alert()->tag(), LibraryDetailController::kAlertFailed);
        EXPECT_EQ(alert()->message(), Language::stringWithName("ANSWERTOOLARGE"));
        answer("OK");
        base::RunLoop::main().advance(1);
        settleReal();
        EXPECT_EQ(fileRequests(c.name).size(), 1u) << "not asked for again";
        auto* tile = tileOf(c.title);
        ASSERT_NE(tile, nullptr);
        EXPECT_TRUE(tile->pauseView().isHidden()) << tile->downloadingLabel().text();
        EXPECT_TRUE(tile->progressView().isHidden());
        EXPECT_TRUE(tile->infoButton().isHidden());
        EXPECT_FALSE(model->isExists(c.id));
        EXPECT_FALSE(fs::exists(pdfPath(c.name)));
        EXPECT_FALSE(fs::exists(client() + "/tempDownload/Pdf/" + c.name));
    }
    EXPECT_TRUE(finishNotices().empty());
}

TEST_F(LibraryDownloadTest, DemoOfflineAndMobileLoginsAreRefusedOrAsked)
{
    saveFiles({libraryFile(42, "Autumn catalogue", "cat.pdf"), libraryFile(44, "Meeting notes", "notes.docx", "WORD"),
               libraryFile(7, "Sales deck", "deck_v2.pdf")});
    auto grid = showGrid(0);
    auto file = [&](int id) {
        for (const auto& f : grid->libfilesArray())
            if (f.file_id == id)
                return f;
        return brivanta_library_files_Entity{};
    };

    LoginMode::sharedInstance()->setLoginType(3);
    grid->selectedFileToDownload(file(42));
    ASSERT_NE(alert(), nullptr);
    EXPECT_EQ(alert()->tag(), LibraryDetailController::kAlertDemo);
    answer(Language::stringWithName("SIGNUPNOW"));
    EXPECT_EQ(opened, std::vector<std::string>{BrivantaAppDelegate::kRegistrationPageAddress});

    LoginMode::sharedInstance()->setLoginType(2);
    writeFile(pdfPath("deck_v2.pdf"), "on the device");
    SaleslibraryModel::freeInstance();
    grid->reloadDataWithPostNotiChangeTab(false, false);
    grid->selectedFileToDownload(file(42));
    ASSERT_NE(alert(), nullptr);
    EXPECT_EQ(alert()->tag(), LibraryDetailController::kAlertFailed);
    EXPECT_EQ(alert()->message(), Language::stringWithName("999"));
    answer("OK");
    grid->didSelectedDeleteButton(file(7));
    EXPECT_FALSE(fs::exists(pdfPath("deck_v2.pdf"))) << "delete still works offline";
    settleReal();
    EXPECT_TRUE(logged("file").empty()) << "nothing reached the network";

    LoginMode::sharedInstance()->setLoginType(1);
    LoginMode::sharedInstance()->setIsNotWifi(true);
    grid->selectedFileToDownload(file(42));
    grid->selectedFileToDownload(file(44));
    ASSERT_NE(alert(), nullptr);
    EXPECT_EQ(alert()->message(), Language::stringWithName("WIFIALERT"));
    answer("Cancel");
    ASSERT_NE(alert(), nullptr) << "one question per file";
    answer("OK");
    ASSERT_TRUE(runUntilReal([] { return SaleslibraryModel::sharedInstance()->isExists(44); }));
    settleReal();
    EXPECT_TRUE(fileRequests("cat.pdf").empty());
    EXPECT_EQ(fileRequests("notes.docx").size(), 1u);
    LoginMode::sharedInstance()->setIsNotWifi(false);
}

TEST_F(LibraryDownloadTest, DownloadAllAsksWithTheSizeAndCancelAllLeavesOthersRunning)
{
    struct Case {
        std::vector<std::string> infos;
        std::string message;
    };
    const Case cases[] = {
        {{"PDF/0.4 M"}, "1 document, 1.0 MB in all."},
        {{"PDF/2.5 M", "PDF/3 M", "VIDEO/0.2 M"}, "3 documents, 5.7 MB in all."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        ASSERT_TRUE(BRDatabase::sharedDataBase()->executeUpdate("delete from brivanta_library_files"));
        std::vector<brivanta_library_files_Entity> files;
        for (size_t i = 0; i < c.infos.size(); ++i)
            files.push_back(libraryFile(100 + static_cast<int>(i), "Doc " + std::to_string(i), "doc" + std::to_string(i) + ".pdf",
                                        "PDF", 0, c.infos[i]));
        saveFiles(files);
        auto grid = showGrid(0);
        EXPECT_TRUE(grid->allFilesButton()->isEnabled());
        driver->tap(grid->allFilesButton());
        ASSERT_NE(alert(), nullptr);
        EXPECT_EQ(alert()->tag(), LibraryDetailController::kAlertDownloadAll);
        EXPECT_EQ(alert()->message(), c.message);
        answer("Cancel");
    }

    // Every listed document at once; cancel-all spares a document that is not listed.
    ASSERT_TRUE(BRDatabase::sharedDataBase()->executeUpdate("delete from brivanta_library_files"));
    ASSERT_TRUE(m_manager->saveToDatabaseLibraryCategory(std::vector{libraryCategory(20, "Catalogues", 0)}));
    // Listed at their sizes: a stated length past a listing's bound is refused at once.
    saveFiles({libraryFile(42, "Autumn catalogue", "cat.pdf", "PDF", 20),
               libraryFile(43, "Full price book", "big.pdf", "PDF", 0, "PDF/2.9 M")});
    ASSERT_TRUE(backend().setFault("cat.pdf", "slow", 1, R"("bytesPerSecond": 60000)"));
    ASSERT_TRUE(backend().setFault("big.pdf", "slow", 1, R"("bytesPerSecond": 60000)"));
    auto grid = showGrid(0);
    driver->tap(grid->allFilesButton());
    answer("Download");
    EXPECT_TRUE(grid->isBtnCancel());
    auto model = SaleslibraryModel::sharedInstance();
    EXPECT_EQ(model->downloadFileNameArray(), (std::vector<std::string>{"cat.pdf", "big.pdf"}));
    base::Dictionary choice;
    choice.set("tabIndex", base::Value(0));
    choice.set("m_selectRow", base::Value(1));
    choice.set("clickIndex", base::Value(20));
    base::NotificationCenter::defaultCenter().post("display_catalog", nullptr, base::Value(choice));
    EXPECT_TRUE(grid->allFilesButton()->isHidden()) << "hidden with a category chosen";
    grid->downloadAll();
    answer("Yes");
    EXPECT_FALSE(grid->isBtnCancel());
    EXPECT_FALSE(model->isInDownloadList("cat.pdf"));
    EXPECT_TRUE(model->isInDownloadList("big.pdf")) << "not listed, still running";
    model->cancelDownloadFile("big.pdf");
}

TEST_F(LibraryDownloadTest, TheLastTransferEndingClosesTheCancelQuestion)
{
    saveFiles({libraryFile(42, "Autumn catalogue", "cat.pdf")});
    ASSERT_TRUE(backend().setFault("cat.pdf", "slow", 1, R"("bytesPerSecond": 600000)"));
    auto grid = showGrid(0);
    driver->tap(grid->allFilesButton());
    answer("Download");
    ASSERT_TRUE(grid->isBtnCancel());
    driver->tap(grid->allFilesButton());
    ASSERT_NE(alert(), nullptr);
    EXPECT_EQ(alert()->tag(), LibraryDetailController::kAlertCancelAll);
    ASSERT_TRUE(downloadEnds("cat.pdf", [] { return SaleslibraryModel::sharedInstance()->isExists(42); }));
    settleReal();
    base::RunLoop::main().advance(1);
    EXPECT_EQ(alert(), nullptr) << "the question closes with the last transfer";
    EXPECT_FALSE(grid->isBtnCancel());
    EXPECT_FALSE(grid->alertCancelIsShow());
    EXPECT_FALSE(grid->allFilesButton()->isEnabled()) << "nothing is left to download";
}

TEST_F(LibraryDownloadTest, ABatchRefreshesTheGridByTimeAndShowsItsEndAtOnce)
{
    // Three real transfers trickle at the server and hold the queue; the replies below stand
    // for those of all forty, one per turn, 10 ms apart on the manual clock.
    constexpr int kFiles = 40;
    const std::vector<std::string> trickling = {"cat.pdf", "big.pdf", "deck_v2.pdf"};
    std::vector<brivanta_library_files_Entity> files;
    for (int i = 0; i < kFiles; ++i) {
        std::string name = i < 3 ? trickling[size_t(i)] : "doc" + std::to_string(i) + ".pdf";
        files.push_back(libraryFile(100 + i, "Doc " + std::to_string(i), name, "PDF", 0, i < 3 ? "PDF/2.9 M" : "PDF/0.3 M"));
    }
    saveFiles(files);
    ASSERT_TRUE(backend().setFault("files", "slow", 3, R"("bytesPerSecond": 10)"));
    auto model = SaleslibraryModel::sharedInstance();
    for (int i = 0; i < 3; ++i)
        model->sendRequest(downloadOf(100 + i, trickling[size_t(i)]));
    auto grid = showGrid(0);
    driver->tap(grid->allFilesButton());
    answer("Download");
    ASSERT_EQ(model->downloadFileNameArray().size(), size_t(kFiles));
    ASSERT_TRUE(grid->isBtnCancel());

    int refreshes = 0;
    auto observer = base::NotificationCenter::defaultCenter().addObserver(
        "reloadlibrarycatalog", nullptr, [&](const base::Notification&) { ++refreshes; });
    auto& loop = base::RunLoop::main();
    const double start = loop.now();
    int refreshesBeforeTheLast = 0;
    for (const auto& file : files) {
        writeFile(pdfPath(*file.file_name), "%PDF-1.4 landed");
        auto reply = std::make_shared<DownloadRst>();
        reply->cmdCode = kCmdDownload;
        reply->status = "200";
        reply->fileId = file.file_id;
        reply->fileName = *file.file_name;
        reply->type = 5;
        refreshesBeforeTheLast = refreshes;
        model->ReciveHttpRespondInfo(reply);
        loop.advance(0.01);
    }
    const double spent = loop.now() - start;
    const double intervals = spent / LibraryFileActions::kRefreshInterval;
    EXPECT_LE(refreshes, int(intervals) + 2) << "one refresh per interval while the batch runs, not one per reply";
    EXPECT_GE(refreshesBeforeTheLast, int(intervals) - 1) << "the grid keeps showing landed files while others run";
    EXPECT_EQ(refreshes, refreshesBeforeTheLast + 1) << "the last reply refreshes within its own turn";

    EXPECT_TRUE(model->downloadFileNameArray().empty());
    EXPECT_EQ(model->existsFiles().size(), size_t(kFiles));
    EXPECT_FALSE(grid->isBtnCancel());
    EXPECT_FALSE(grid->allFilesButton()->isEnabled()) << "nothing is left to download";
    auto tiles = driver->findAllByClass("LibraryDetailCell");
    ASSERT_FALSE(tiles.empty());
    for (auto* view : tiles) {
        auto* tile = static_cast<LibraryDetailCell*>(view);
        EXPECT_TRUE(tile->pauseView().isHidden()) << tile->file().title.value_or("");
        EXPECT_FALSE(tile->infoButton().isHidden()) << tile->file().title.value_or("");
    }
}

TEST_F(LibraryDownloadTest, AnUpdateKeepsTheOldVersionUntilTheNewOneArrives)
{
    saveFiles({libraryFile(7, "Sales deck", "deck_v2.pdf")});
    saveUpdate(7, "deck_v1.pdf", "PDF");
    writeFile(pdfPath("deck_v1.pdf"), served("library/pdf", "deck_v1.pdf"));
    auto grid = showGrid(0);
    auto* tile = tileOf("Sales deck");
    ASSERT_NE(tile, nullptr);
    EXPECT_FALSE(tile->ribbonView().image().isNull());

    tapTile("Sales deck");
    ASSERT_NE(alert(), nullptr);
    EXPECT_EQ(alert()->message(), Language::stringWithName("HASUPDATE"));
    answer("Cancel");
    ASSERT_EQ(topScreen(), "PdfViewController") << "the old version opens";
    m_navigation->popToRootViewController(false);
    base::RunLoop::main().advance(1);

    // A failed update leaves row, ribbon and the old version.
    ASSERT_TRUE(backend().setFault("deck_v2.pdf", "notFound", 0));
    tapTile("Sales deck");
    grid->reloadDataWithPostNotiChangeTab(false, false); // a reload while the question is open
    answer("Update");
    ASSERT_TRUE(downloadEnds("deck_v2.pdf", [] { return !SaleslibraryModel::sharedInstance()->isInDownloadList("deck_v2.pdf"); }));
    base::RunLoop::main().advance(1);
    ASSERT_NE(alert(), nullptr) << "the failure is told";
    answer("OK");
    EXPECT_TRUE(m_manager->getLibFileUpdateByFileID(7));
    EXPECT_FALSE(tileOf("Sales deck")->ribbonView().image().isNull());
    EXPECT_TRUE(fs::exists(pdfPath("deck_v1.pdf")));

    ASSERT_TRUE(backend().control(R"({"clearFaults": true})"));
    tapTile("Sales deck");
    answer("Update");
    ASSERT_TRUE(downloadEnds("deck_v2.pdf", [] { return !SaleslibraryModel::sharedInstance()->isInDownloadList("deck_v2.pdf"); }));
    settleReal();
    base::RunLoop::main().advance(1);
    EXPECT_FALSE(m_manager->getLibFileUpdateByFileID(7));
    EXPECT_TRUE(tileOf("Sales deck")->ribbonView().image().isNull());
    EXPECT_EQ(contents(pdfPath("deck_v2.pdf")), served("library/pdf", "deck_v2.pdf"));
}

TEST_F(LibraryDownloadTest, DeleteRemovesEveryCopyAndStopsATransfer)
{
    saveFiles({libraryFile(7, "Sales deck", "deck_v2.pdf"), libraryFile(42, "Autumn catalogue", "cat.pdf"),
               libraryFile(44, "Meeting notes", "notes.docx", "WORD")});
    saveUpdate(7, "deck_v1.pdf", "PDF");
    writeFile(pdfPath("deck_v1.pdf"), "old version");
    writeFile(client() + "/Word/notes.docx", "notes");
    ASSERT_TRUE(m_manager->saveToDatabaseLibraryFavoriteName(44, "notes.docx"));
    ASSERT_TRUE(backend().setFault("cat.pdf", "slow", 1, R"("bytesPerSecond": 30000)"));
    auto model = SaleslibraryModel::sharedInstance();
    model->sendRequest(downloadOf(42, "cat.pdf"));
    ASSERT_TRUE(runUntilReal([&] { return model->getDownloadPercentage("cat.pdf") > 0.02f; }));

    auto grid = showGrid(1);
    ASSERT_EQ(grid->libfilesArray().size(), 3u);
    driver->longPress(driver->centerOf(tileOf("Meeting notes")), 1.0);
    ASSERT_TRUE(grid->isEditing());
    ASSERT_TRUE(driver->tap(&tileOf("Meeting notes")->deleteButton()));
    EXPECT_FALSE(fs::exists(client() + "/Word/notes.docx"));
    EXPECT_FALSE(m_manager->getLibraryFavoriteByFavoriteId(44));
    EXPECT_EQ(tileOf("Meeting notes"), nullptr) << "gone from the collection";

    // From the card, half a second later.
    for (const auto& file : grid->libfilesArray())
        if (file.file_id == 7)
            grid->selectShowInfo(file);
    base::RunLoop::main().advance(1);
    ASSERT_NE(grid->presentedCard(), nullptr);
    // Pressed and let go at once: the driver's own tap waits past the delay.
    driver->press(driver->centerOf(&grid->presentedCard()->delButton()));
    driver->release();
    base::RunLoop::main().advance(0.4);
    EXPECT_TRUE(fs::exists(pdfPath("deck_v1.pdf")));
    base::RunLoop::main().advance(0.5);
    EXPECT_FALSE(fs::exists(pdfPath("deck_v1.pdf"))) << "the old version is the document's copy";
    EXPECT_FALSE(m_manager->getLibFileUpdateByFileID(7));

    ASSERT_TRUE(driver->tap(&tileOf("Autumn catalogue")->deleteButton()));
    settleReal();
    EXPECT_FALSE(model->isInDownloadList("cat.pdf"));
    EXPECT_FALSE(fs::exists(*DownloadRequest::temporaryPathFor("cat.pdf", 5))) << "no partial file left";
    EXPECT_FALSE(fs::exists(pdfPath("cat.pdf")));

    SaleslibraryModel::freeInstance();
    EXPECT_FALSE(SaleslibraryModel::sharedInstance()->isExists(7)) << "not back after the next login";
}

TEST(LibraryTexts, CountAndSizeTakeOnlyTheExpectedSpecifiers)
{
    struct Case {
        const char* format;
        std::optional<int> count;
        const char* shown;
    };
    const Case cases[] = {
        {"%d documents, %.1f MB", 3, "3 documents, 5.7 MB"},
        {"共%d个文档，%.1f MB。", 3, "共3个文档，5.7 MB。"},
        {"%d files (%lf MB) 100%%", 3, "3 files (5.700000 MB) 100%"},
        {"%s documents, %.1f MB", 3, "3 files, 5.7 MB"},
        {"%d documents", 3, "3 files, 5.7 MB"},
        {"%.1f MB, %d documents", 3, "3 files, 5.7 MB"},
        {"%d %d %f", 3, "3 files, 5.7 MB"},
        {"%n%d%f", 3, "3 files, 5.7 MB"},
        {"%ld documents, %.1f MB", 3, "3 files, 5.7 MB"},
        {"%.1f MB", std::nullopt, "5.7 MB"},
        {"%d file, %.1f MB", std::nullopt, "1 file, 5.7 MB"},
        {"%@ MB", std::nullopt, "1 file, 5.7 MB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LibraryTexts::countAndSize(c.format, c.count, 5.7), c.shown) << c.format;
}

} // namespace
} // namespace librarytest
