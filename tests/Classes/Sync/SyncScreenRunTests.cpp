// The sync screen on a headless window running whole syncs against the loopback back end:
// taps reach the button by hit testing, and the engine reports to the screen.
#include "Common/ConfigManager.h"
#include "Common/Language.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/UserDefaults.h"
#include "Platform/UI/ActivityIndicator.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/Window.h"
#include "Protocol/DownloadRequest.h"
#include "Protocol/RequestLogin.h"
#include "Classes/Sync/ResourceUpdateView.h"
#include "Classes/Sync/SyncInfoItem.h"
#include "Protocol/SyncModel.h"
#include "Classes/Sync/SyncViewController.h"
#include "tests/Protocol/ProtocolTestSupport.h"
#include "tests/Support/DownloadLimits.h"

namespace {

class SyncScreenRunTest : public protocoltest::ProtocolTest {
protected:
    void SetUp() override
    {
        protocoltest::ProtocolTest::SetUp();
        auto login = LoginMode::sharedInstance();
        login->setDeviceID("dev-1");
        login->setPassword(RequestLogin::passwordDigest("s3cret!"));
        login->setLoginType(-1);
        SyncModel::freeInstance();
        ASSERT_TRUE(DataAccessManager::sharedDataModel());
        window = std::make_shared<ui::Window>();
        window->makeKeyAndVisible();
        driver = std::make_unique<ui::Driver>(*window);
    }
    void TearDown() override
    {
        ui::AlertView::dismissAllForTesting();
        driver.reset();
        window.reset();
        screen.reset();
        SyncModel::freeInstance();
        DataAccessManager::releaseDataModel();
        ConfigManager::freeInstance();
        protocoltest::ProtocolTest::TearDown();
    }

    void show(const std::string& modules)
    {
        ConfigManager::sharedInstance()->setModelDescArray(std::vector<std::string>{
            "1", modules.substr(0, 1), modules.substr(1, 1), "1", modules.substr(2, 1), "1", "1", "1"});
        screen = std::make_shared<SyncViewController>();
        window->setRootViewController(screen);
        panel = screen->resourceUpdateView();
    }
    std::vector<SyncInfoItem*> rows() const
    {
        return {panel->syncInfoProduc().get(), panel->syncInfoIcon().get(), panel->syncInfoCustomer().get()};
    }
    size_t commandCount(const std::string& command) const { return logged(command).size(); }
    // The sync's end, as the screen shows it with its button enabled again, waited for while
    // the back end serves the sync.
    ::testing::AssertionResult syncEnds()
    {
        return runWhileServed("the sync's end", [&] { return panel->btnsync()->isEnabled(); });
    }

    std::shared_ptr<ui::Window> window;
    std::unique_ptr<ui::Driver> driver;
    std::shared_ptr<SyncViewController> screen;
    std::shared_ptr<ResourceUpdateView> panel;
};

TEST_F(SyncScreenRunTest, TwoQuickTapsRunOneFullSyncToTheEnd)
{
    show("111");
    auto* button = driver->findByText(Language::stringWithName("GETUPDATES"));
    ASSERT_TRUE(driver->isOnScreen(button));
    // Two taps before the loop turns, as fast as a hand can; the driver's own tap waits.
    auto centre = button->convertPointToView(gfx::Point{63, 17}, nullptr);
    for (int i = 0; i < 2; ++i) {
        window->touchDown(1, centre);
        window->touchUp(1, centre);
    }
    EXPECT_FALSE(panel->btnsync()->isEnabled());
    EXPECT_EQ(panel->syncInfoProduc()->lbprogressTxt(), Language::stringWithName("CHECKING"));
    EXPECT_TRUE(screen->indicatorView()->isAnimating());

    ASSERT_TRUE(syncEnds());
    for (auto* row : rows())
        EXPECT_EQ(row->lbprogressTxt(), Language::stringWithName("COMPLETED"));
    EXPECT_EQ(commandCount("513"), 1u);
    EXPECT_FALSE(screen->indicatorView()->isAnimating());
    EXPECT_EQ(ui::AlertView::visibleAlert(), nullptr);
    // The stored time, shown as the English pattern wants it.
    auto stored = base::UserDefaults::standard()->stringForKey(LoginMode::sharedInstance()->clientID() + "-lastsync");
    ASSERT_TRUE(stored);
    EXPECT_EQ(panel->syncInfoIcon()->lbDatevalue()->text(), *stored);
    // Once it ended, the next tap starts the next one.
    EXPECT_TRUE(driver->tap(button));
    ASSERT_TRUE(syncEnds());
    EXPECT_EQ(commandCount("513"), 2u);
}

TEST_F(SyncScreenRunTest, EveryModuleOffEndsWithNothingToSyncAndAnEnabledButton)
{
    show("000");
    ASSERT_TRUE(driver->tap(driver->findByText(Language::stringWithName("GETUPDATES"))));
    ASSERT_TRUE(runUntil([&] { return ui::AlertView::visibleAlert() != nullptr; }));
    EXPECT_EQ(ui::AlertView::visibleAlert()->tag(), SyncViewController::BrokenAlert);
    EXPECT_EQ(ui::AlertView::visibleAlert()->message(), Language::stringWithName("NOTHINGTOSYNC"));
    EXPECT_TRUE(panel->btnsync()->isEnabled());
}

} // namespace

namespace {

TEST_F(SyncScreenRunTest, AFileStillMissingIsToldAfterTheRowsComplete)
{
    show("111");
    ASSERT_TRUE(backend().setFault("demo_c.jpg", "error500", 0));
    ASSERT_TRUE(driver->tap(driver->findByText(Language::stringWithName("GETUPDATES"))));
    ASSERT_TRUE(syncEnds());
    for (auto* row : rows())
        EXPECT_EQ(row->lbprogressTxt(), Language::stringWithName("COMPLETED"));
    auto notice = ui::AlertView::visibleAlert();
    ASSERT_NE(notice, nullptr);
    EXPECT_EQ(notice->title(), Language::stringWithName("NOTIFICATION"));
    std::string format = Language::stringWithName("SYNCFILESMISSING");
    EXPECT_EQ(notice->message(), format.replace(format.find("%d"), 2, "1"));
    // Its answer keeps the completed rows.
    ASSERT_TRUE(driver->tap(driver->findByText(Language::stringWithName("OK"))));
    EXPECT_EQ(panel->syncInfoIcon()->lbprogressTxt(), Language::stringWithName("COMPLETED"));
}

// A file whose answer was too large to take is told with the message every other road uses.
TEST_F(SyncScreenRunTest, AFileTooLargeToTakeIsToldWithTheTooLargeMessage)
{
    show("111");
    ASSERT_TRUE(backend().setFault("demo_c.jpg", "gzipBomb", 0, R"("inflatesTo": 314572800)"));
    ASSERT_TRUE(driver->tap(driver->findByText(Language::stringWithName("GETUPDATES"))));
    ASSERT_TRUE(syncEnds());
    auto notice = ui::AlertView::visibleAlert();
    ASSERT_NE(notice, nullptr);
    std::string format = Language::stringWithName("SYNCFILESMISSING");
    EXPECT_EQ(notice->message(),
              Language::stringWithName("ANSWERTOOLARGE") + "\n" + format.replace(format.find("%d"), 2, "1"));
    ASSERT_TRUE(driver->tap(driver->findByText(Language::stringWithName("OK"))));
}

// A disk at its reserve is named: the files would be refused again at the next sync.
TEST_F(SyncScreenRunTest, AFullDiskIsNamedInsteadOfTheNextSync)
{
    DownloadRequest::Limits disk;
    disk.diskReserve = UINT64_MAX / 2;
    testsupport::ScopedDownloadLimits scoped(disk);
    show("111");
    ASSERT_TRUE(driver->tap(driver->findByText(Language::stringWithName("GETUPDATES"))));
    ASSERT_TRUE(syncEnds());
    EXPECT_EQ(panel->syncInfoCustomer()->lbprogressTxt(), Language::stringWithName("COMPLETED"));
    auto notice = ui::AlertView::visibleAlert();
    ASSERT_NE(notice, nullptr);
    int missing = SyncModel::sharedInstance()->missingFileCount();
    EXPECT_GT(missing, 0);
    std::string format = Language::stringWithName("SYNCDISKFULL");
    EXPECT_EQ(notice->message(), format.replace(format.find("%d"), 2, std::to_string(missing)));
    ASSERT_TRUE(driver->tap(driver->findByText(Language::stringWithName("OK"))));
}

} // namespace
