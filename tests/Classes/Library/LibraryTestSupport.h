#pragma once
// The library against the loopback back end of fixture LIB: client "AcmeCo" logged in online,
// its database from the template plus the rows a test writes, files served by the back end.
#include "Classes/Library/SaleslibraryModel.h"
#include "Database/DataAccessManager.h"
#include "Database/SQLite/BRDatabase.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/OutsideWork.h"
#include "Platform/Base/Paths.h"
#include "Protocol/RequestLogin.h"
#include "tests/Protocol/ProtocolTestSupport.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>

namespace librarytest {

using Text = std::optional<std::string>;

inline brivanta_library_files_Entity libraryFile(int id, std::string title, std::string name, std::string type = "PDF",
                                                 int category = 0, std::string info = "PDF/0.3 M",
                                                 std::string date = "2025-09-01 09:30:00")
{
    brivanta_library_files_Entity file;
    file.file_id = id;
    file.title = std::move(title);
    file.file_name = std::move(name);
    file.type = std::move(type);
    file.category = category;
    file.info = std::move(info);
    file.date = std::move(date);
    file.published = 1;
    file.ordering = id;
    return file;
}

class LibraryTest : public protocoltest::ProtocolTest {
protected:
    static void SetUpTestSuite()
    {
        std::signal(SIGPIPE, SIG_IGN);
        std::string error;
        s_backend = testsupport::TestBackend::start("LIB", &error).release();
        ASSERT_NE(s_backend, nullptr) << error;
    }

    void SetUp() override
    {
        ProtocolTest::SetUp();
        if (HasFatalFailure())
            return;
        auto login = LoginMode::sharedInstance();
        login->setLoginType(1);
        login->setPassword(RequestLogin::passwordDigest("s3cret!"));
        login->setDeviceID("dev-1");
        DataAccessManager::releaseDataModel();
        m_manager = DataAccessManager::sharedDataModel();
        ASSERT_TRUE(m_manager->hasModels());
        SaleslibraryModel::freeInstance();
    }
    void TearDown() override
    {
        SaleslibraryModel::freeInstance();
        m_manager.reset();
        ProtocolTest::TearDown();
        DataAccessManager::releaseDataModel();
    }

    static std::string client() { return base::Paths::documents() + "/acmeco"; }
    static std::string pdfPath(const std::string& name) { return client() + "/Pdf/" + name; }
    static std::optional<std::string> contents(const std::string& path)
    {
        auto bytes = base::FileManager::readFile(path);
        return bytes ? std::optional<std::string>(std::string(bytes->begin(), bytes->end())) : std::nullopt;
    }
    static void writeFile(const std::string& path, const std::string& text)
    {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        ASSERT_TRUE(base::FileManager::writeAtomically(path, text));
    }
    // The file as the server holds it.
    static std::string served(const std::string& folder, const std::string& name)
    {
        auto answer = testsupport::httpExchange(backend().filePort(), "GET",
                                                std::string("/") + testsupport::TestBackend::kImagePath +
                                                    "/images/AcmeCo/" + folder + "/" + name);
        EXPECT_TRUE(answer && answer->status == 200) << name;
        return answer ? answer->body : std::string();
    }
    std::vector<base::Value> fileRequests(const std::string& name) const
    {
        std::vector<base::Value> out;
        for (auto& record : logged("file"))
            if (record["request"].toString().rfind("POST ", 0) == 0 &&
                record["request"].toString().find("/" + name + " ") != std::string::npos)
                out.push_back(record);
        return out;
    }
    // The file ids of the 519 notices the back end received.
    std::vector<std::string> finishNotices() const
    {
        std::vector<std::string> out;
        for (auto& record : logged("519"))
            out.push_back(record["parameters"]["fileIds"].toString());
        return out;
    }
    void saveFiles(const std::vector<brivanta_library_files_Entity>& files)
    {
        ASSERT_TRUE(m_manager->saveToDatabaseLibraryFiles(files));
    }
    void saveUpdate(int fileId, std::string oldName, std::string oldType)
    {
        brivanta_library_files_update_Entity update;
        update.fileID = fileId;
        update.oldFileName = std::move(oldName);
        update.oldFileType = std::move(oldType);
        ASSERT_TRUE(m_manager->saveToDatabaseLibraryUpdate(update));
    }
    static std::shared_ptr<RequestDownload> downloadOf(int fileId, const std::string& name, int type = 5)
    {
        auto request = std::make_shared<RequestDownload>();
        request->setFileId(fileId);
        request->setImgType(type);
        request->setProgressType(1);
        request->setFileNameList(std::vector<std::string>{name});
        return request;
    }
    // Lets anything already sent reach the back end and any answer come back: at least
    // `seconds` of loop time, then until no request or worker operation is left in flight
    // (a bound only a stuck one reaches), so a loaded machine is waited for.
    // Lets the clock run, then waits until no request or operation is in flight but the
    // `stillRunning` ones a test keeps under way on purpose.
    static void settle(double seconds = 0.3, int stillRunning = 0)
    {
        auto& loop = base::RunLoop::main();
        loop.runUntil([] { return false; }, seconds);
        bool manual = loop.isManualClock();
        loop.setManualClock(false);
        loop.runUntil([&] { return base::outsideWorkCount() <= stillRunning; }, 60);
        loop.runPending();
        loop.setManualClock(manual);
    }

    std::shared_ptr<DataAccessManager> m_manager;
};

} // namespace librarytest

#include "Classes/Library/LibraryDetailController.h"
#include "Classes/Library/LibraryFileOpener.h"
#include "Common/MessageBox.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/Window.h"

namespace librarytest {

inline brivanta_library_category_Entity libraryCategory(int id, std::string name, int parent, int published = 1)
{
    brivanta_library_category_Entity category;
    category.categoryID = id;
    category.name = std::move(name);
    category.parent_id = parent;
    category.published = published;
    category.ordering = id;
    return category;
}

// The library screens in a headless key window on the manual clock.
class LibraryScreenTest : public LibraryTest {
protected:
    void SetUp() override
    {
        LibraryTest::SetUp();
        if (HasFatalFailure())
            return;
        base::RunLoop::main().setManualClock(true);
        ui::View::setAnimationsEnabled(true);
        window = std::make_shared<ui::Window>();
        window->makeKeyAndVisible();
        driver = std::make_unique<ui::Driver>(*window);
    }
    void TearDown() override
    {
        ui::AlertView::dismissAllForTesting();
        base::RunLoop::main().advance(5);
        m_grid.reset();
        m_navigation.reset();
        driver.reset();
        window.reset();
        base::RunLoop::main().setManualClock(false);
        LibraryTest::TearDown();
    }
    // A grid pane of that tab as the window's screen.
    std::shared_ptr<LibraryDetailController> showGrid(int tab = 0, bool masterHide = true)
    {
        m_grid = std::make_shared<LibraryDetailController>();
        m_grid->setLibraryTab(tab);
        m_grid->setMasterHide(masterHide);
        // As in the application, viewers are pushed on the window's navigation controller.
        m_navigation = std::make_shared<ui::NavigationController>(m_grid);
        m_navigation->setNavigationBarHidden(true);
        window->setRootViewController(m_navigation);
        base::RunLoop::main().advance(0.5);
        return m_grid;
    }
    static std::vector<std::string> titles(const LibraryDetailController::Files& files)
    {
        std::vector<std::string> out;
        for (const auto& file : files)
            out.push_back(file.title.value_or(""));
        return out;
    }
    // Lets the network thread's reports reach the main loop on the real clock: at least
    // `seconds`, then until nothing is left in flight.
    static void settleReal(double seconds = 0.3)
    {
        auto& loop = base::RunLoop::main();
        loop.setManualClock(false);
        loop.runUntil([] { return false; }, seconds);
        loop.runUntil([] { return base::outsideWorkCount() == 0; }, 60);
        loop.runPending();
        loop.setManualClock(true);
    }
    static bool runUntilReal(const std::function<bool()>& predicate, double timeout = 20)
    {
        auto& loop = base::RunLoop::main();
        loop.setManualClock(false);
        bool ok = loop.runUntil(predicate, timeout);
        loop.setManualClock(true);
        return ok;
    }
    // On the real clock until `done`, for as long as the download of `name` moves (its share
    // arrived grows, or the back end serves): a throttled file on a loaded machine takes what
    // it takes; one that stands still fails.
    ::testing::AssertionResult downloadEnds(const std::string& name, const std::function<bool()>& done)
    {
        auto& loop = base::RunLoop::main();
        loop.setManualClock(false);
        auto result = runWhileServed("the download of " + name, done, [&] {
            // In thousandths: each step of the share shows.
            return size_t(std::max(0.0f, SaleslibraryModel::sharedInstance()->getDownloadPercentage(name)) * 1000);
        });
        loop.setManualClock(true);
        return result;
    }
    LibraryDetailCell* tileOf(const std::string& title) const
    {
        for (auto* view : driver->findAllByClass("LibraryDetailCell")) {
            auto* cell = static_cast<LibraryDetailCell*>(view);
            if (cell->file().title == title)
                return cell;
        }
        return nullptr;
    }

    std::shared_ptr<ui::AlertView> alert() const { return ui::AlertView::visibleAlert(); }
    // Answers the alert on screen by a button's text.
    void answer(const std::string& text)
    {
        auto shown = alert();
        ASSERT_NE(shown, nullptr) << "no alert to answer " << text;
        ASSERT_TRUE(driver->tap(driver->findByText(text))) << text << " on " << shown->title();
        awaitPdfReads();
        base::RunLoop::main().advance(0.5);
    }
    void tapTile(const std::string& title)
    {
        auto* tile = tileOf(title);
        ASSERT_NE(tile, nullptr) << title;
        driver->tap(driver->centerOf(&tile->fileImageView()));
        awaitPdfReads();
        base::RunLoop::main().advance(1);
    }
    // A PDF opened is read by a page worker first: its reader or alert comes with the answer.
    static void awaitPdfReads()
    {
        EXPECT_TRUE(base::RunLoop::main().runUntil([] { return LibraryFileOpener::pdfReadsUnderWay() == 0; }, 30));
    }

    std::shared_ptr<ui::Window> window;
    std::unique_ptr<ui::Driver> driver;
    // The name of the screen on top: the grid, or a viewer it opened.
    std::string topScreen() const
    {
        auto top = m_navigation ? m_navigation->topViewController() : nullptr;
        return top ? top->className() : "";
    }

    std::shared_ptr<LibraryDetailController> m_grid;
    std::shared_ptr<ui::NavigationController> m_navigation;
};

} // namespace librarytest
