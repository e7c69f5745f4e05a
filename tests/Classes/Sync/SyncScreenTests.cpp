// The sync tab through the window: taps by hit testing, texts read from the view tree, the
// engine's reports delivered to whatever the engine holds as its delegate.
#include "tests/App/MainScreenTestSupport.h"
#include "tests/App/ScreenCheckSupport.h"

#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Platform/Base/UserDefaults.h"
#include "Platform/UI/ActivityIndicator.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/ProgressView.h"
#include "Classes/Sync/ResourceUpdateView.h"
#include "Classes/Sync/SyncInfoItem.h"
#include "Classes/Sync/SyncViewController.h"

namespace {

using apptest::MainScreenTest;

class SyncScreenTest : public MainScreenTest {
protected:
    void open(const std::string& modules = "1,1,1,1,1,1,1", int loginType = 1)
    {
        loginAsDemo(modules, loginType);
        tabs = showMain();
        ASSERT_TRUE(tabs);
        ASSERT_TRUE(driver->tap(tabs->buttonWithTag(6)->btn().get()));
        settle();
        auto nav = std::dynamic_pointer_cast<ui::NavigationController>(tabs->viewControllers()[6]);
        screen = std::dynamic_pointer_cast<SyncViewController>(nav->viewControllers().front());
        ASSERT_TRUE(screen);
        panel = screen->resourceUpdateView();
    }
    // The engine's side of the screen.
    static std::shared_ptr<SyncModelDelegate> engineDelegate() { return SyncModel::sharedInstance()->delegate(); }
    void tapGetUpdates() { ASSERT_TRUE(driver->tap(driver->findByText(text("GETUPDATES")))); }

    std::shared_ptr<UITabBarControllerExt> tabs;
    std::shared_ptr<SyncViewController> screen;
    std::shared_ptr<ResourceUpdateView> panel;
};

TEST_F(SyncScreenTest, ProgressOfEachPhaseLandsOnItsRow)
{
    open();
    ASSERT_EQ(engineDelegate(), std::dynamic_pointer_cast<SyncModelDelegate>(screen));
    struct Case {
        int phase;
        float progress;
        bool finishedCall;
        SyncInfoItem* row;
        float expected;
        const char* textKey;
        std::string text;
    };
    const Case cases[] = {
        {1, 0.5f, false, panel->syncInfoProduc().get(), 0.5f, nullptr, "50 %"},
        {1, 1.0f, false, panel->syncInfoProduc().get(), 1.0f, "COMPLETED", ""},
        {3, 0.5f, false, panel->syncInfoIcon().get(), 0.1f, nullptr, "10%"},
        {3, 1.0f, false, panel->syncInfoIcon().get(), 0.2f, nullptr, "20%"},
        {4, 0.5f, false, panel->syncInfoIcon().get(), 0.6f, nullptr, "60%"},
        {4, 1.0f, false, panel->syncInfoIcon().get(), 1.0f, "COMPLETED", ""},
        {3, 0, true, panel->syncInfoIcon().get(), 0.2f, nullptr, "20%"},
        {4, 0, true, panel->syncInfoIcon().get(), 1.0f, "COMPLETED", ""},
        {1, 0, true, panel->syncInfoProduc().get(), 1.0f, "COMPLETED", ""},
    };
    for (const auto& c : cases) {
        panel->resetProgress();
        if (c.finishedCall)
            engineDelegate()->downloadimageFinished(c.phase);
        else
            engineDelegate()->setProgressImageTypeRemainTime(c.progress, c.phase, 30);
        SCOPED_TRACE(testing::Message() << "phase " << c.phase << " at " << c.progress << (c.finishedCall ? " (nothing to fetch)" : ""));
        EXPECT_NEAR(c.row->progress(), c.expected, 1e-6);
        EXPECT_EQ(c.row->lbprogressTxt(), c.textKey ? text(c.textKey) : c.text);
    }
    panel->resetProgress();
    engineDelegate()->getCustomerFinished();
    EXPECT_EQ(panel->syncInfoCustomer()->lbprogressTxt(), text("COMPLETED"));
    EXPECT_EQ(panel->syncInfoProduc()->lbprogressTxt(), "0%");
}

TEST_F(SyncScreenTest, RemainingTimeInMinutesRoundedUpAndFarEstimatesIgnored)
{
    open();
    auto minutes = [](int n) {
        std::string format = Language::stringWithName("TIMEREMAININGXXMINUTES");
        return format.replace(format.find("%d"), 2, std::to_string(n));
    };
    struct Case {
        int seconds;
        std::string shown;
    };
    const Case cases[] = {
        {60, text("TIMEREMAININGLESSAMINUTE")}, {61, minutes(2)}, {120, minutes(2)}, {121, minutes(3)},
        {60000, minutes(1000)}, {60001, minutes(1000)}, {5, text("TIMEREMAININGLESSAMINUTE")}, {90001, text("TIMEREMAININGLESSAMINUTE")},
    };
    for (const auto& c : cases) {
        engineDelegate()->setProgressImageTypeRemainTime(0.1f, 1, c.seconds);
        EXPECT_EQ(panel->lblRemainTime()->text(), c.shown) << c.seconds << " s";
    }
    EXPECT_TRUE(panel->activityIndicator()->isAnimating());
}

TEST_F(SyncScreenTest, RowsCloseUpForModulesThatAreOff)
{
    struct Case {
        const char* modules;
        bool product, materials, customers;
        double materialsY, customersY;
    };
    const Case cases[] = {
        {"1,1,1,1,1,1,1", true, true, true, 135, 200},
        {"1,1,0,1,1,1,1", true, true, false, 135, 200},
        {"1,0,1,1,1,1,1", false, true, true, 70, 135},
        {"1,1,1,1,0,1,1", true, false, true, 135, 135},
        {"1,0,1,1,0,1,1", false, false, true, 70, 70},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.modules);
        loginAsDemo(c.modules, 1);
        screen ? screen->loadByConfig() : open(c.modules);
        EXPECT_EQ(panel->syncInfoProduc()->isHidden(), !c.product);
        EXPECT_EQ(panel->syncInfoIcon()->isHidden(), !c.materials);
        EXPECT_EQ(panel->syncInfoCustomer()->isHidden(), !c.customers);
        EXPECT_EQ(panel->syncInfoProduc()->frame().y(), 70);
        EXPECT_EQ(panel->syncInfoIcon()->frame().y(), c.materialsY);
        EXPECT_EQ(panel->syncInfoCustomer()->frame().y(), c.customersY);
    }
}

TEST_F(SyncScreenTest, BreaksAreShownByKindAndAnswered)
{
    open();
    struct Case {
        int loginType;
        std::string message;
        int tag;
        std::string shown;
        std::vector<std::string> buttons;
    };
    const Case cases[] = {
        {-1, "Timed out. ", SyncViewController::LoginBrokenAlert, "Timed out. " + text("STAYOFFLINEORLOGIN"), {text("CANCEL"), text("OK")}},
        {1, text("101"), SyncViewController::LoginBrokenAlert, text("101"), {text("CANCEL"), text("LOGOUTSETTINGS")}},
        {1, text("NOTHINGTOSYNC"), SyncViewController::BrokenAlert, text("NOTHINGTOSYNC"), {text("OK")}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        LoginMode::sharedInstance()->setLoginType(c.loginType);
        engineDelegate()->setProgressImageTypeRemainTime(0.5f, 1, 30);
        engineDelegate()->breakSync(c.message);
        settle();
        ASSERT_NE(alert(), nullptr);
        EXPECT_EQ(alert()->tag(), c.tag);
        EXPECT_EQ(alert()->message(), c.shown);
        std::vector<std::string> buttons;
        for (int i = 0; i < alert()->numberOfButtons(); ++i)
            buttons.push_back(alert()->buttonTitleAtIndex(i));
        EXPECT_EQ(buttons, c.buttons);
        EXPECT_TRUE(panel->btnsync()->isEnabled());
        EXPECT_FALSE(SyncModel::sharedInstance()->isDownloading());
        answer(c.buttons.front());
        EXPECT_EQ(alert(), nullptr);
    }
    // The plain break's answer clears the rows.
    EXPECT_EQ(panel->syncInfoProduc()->lbprogressTxt(), "0%");

    // The stay-offline answer logs out.
    LoginMode::sharedInstance()->setLoginType(-1);
    engineDelegate()->breakSync("Timed out. ");
    settle();
    answer(text("OK"));
    EXPECT_STREQ(app->window()->rootViewController()->className(), "WeclomeViewController");
}

TEST_F(SyncScreenTest, TheDemoIsRefusedAndTheCarrierNetworkAsksFirst)
{
    open("1,1,1,1,1,1,1", 3);
    tapGetUpdates();
    settle();
    ASSERT_NE(alert(), nullptr);
    EXPECT_EQ(alert()->tag(), SyncViewController::DemoAlert);
    answer(text("SIGNUPNOW"));
    EXPECT_EQ(openedURLs, (std::vector<std::string>{BrivantaAppDelegate::kRegistrationPageAddress}));
    EXPECT_FALSE(SyncModel::sharedInstance()->isDownloading());
    EXPECT_TRUE(panel->btnsync()->isEnabled());

    LoginMode::sharedInstance()->setLoginType(1);
    LoginMode::sharedInstance()->setIsNotWifi(true);
    tapGetUpdates();
    settle();
    ASSERT_NE(alert(), nullptr);
    EXPECT_EQ(alert()->tag(), SyncViewController::WifiAlert);
    answer(text("CANCEL"));
    EXPECT_FALSE(SyncModel::sharedInstance()->isDownloading());
    EXPECT_TRUE(panel->btnsync()->isEnabled());

    // A start asked for elsewhere skips both questions, and only while one is pending.
    LoginMode::sharedInstance()->setLoginType(3);
    engineDelegate()->startSyncData();
    EXPECT_TRUE(panel->btnsync()->isEnabled());
    SyncModel::sharedInstance()->setNeedUpdate(true);
    engineDelegate()->startSyncData();
    EXPECT_EQ(alert(), nullptr);
    EXPECT_FALSE(SyncModel::sharedInstance()->needUpdate());
    EXPECT_TRUE(SyncModel::sharedInstance()->isDownloading());
    EXPECT_FALSE(panel->btnsync()->isEnabled());
    EXPECT_FALSE(panel->lblRemainTime()->isHidden());
    EXPECT_EQ(panel->syncInfoProduc()->lbprogressTxt(), text("CHECKING"));
    EXPECT_TRUE(screen->indicatorView()->isAnimating());
}

TEST_F(SyncScreenTest, TheFinishShowsTheDateAndTheHintComesAndGoes)
{
    open();
    auto rows = [&] {
        return std::vector<std::string>{panel->syncInfoProduc()->lbDatevalue()->text(), panel->syncInfoIcon()->lbDatevalue()->text(),
                                        panel->syncInfoCustomer()->lbDatevalue()->text()};
    };
    auto all = [](const std::string& v) { return std::vector<std::string>(3, v); };
    EXPECT_EQ(rows(), all(text("NORECORD")));
    auto defaults = base::UserDefaults::standard();
    std::string key = std::string(kDemoClient) + "-lastsync";

    // Bad stored values leave the rows alone.
    for (const char* bad : {"", "25:99 13/45/26", "yesterday", "09:30 12/07/2026x"}) {
        defaults->setString(bad, key);
        screen->getsyncdate();
        EXPECT_EQ(rows(), all(text("NORECORD"))) << bad;
    }

    SyncModel::sharedInstance()->setIsDownloading(true);
    panel->showHelp();
    base::RunLoop::main().advance(1.4);
    EXPECT_EQ(panel->labelBgDownload()->presentation().alpha, 0);
    base::RunLoop::main().advance(0.5);
    EXPECT_EQ(panel->labelBgDownload()->presentation().alpha, 1);

    defaults->setString("09:30 12/07/26", key);
    engineDelegate()->finishedSync();
    EXPECT_EQ(rows(), all("09:30 12/07/26"));
    EXPECT_EQ(panel->labelBgDownload()->alpha(), 0);
    EXPECT_EQ(panel->syncInfoIcon()->lbprogressTxt(), text("COMPLETED"));
    EXPECT_TRUE(panel->btnsync()->isEnabled());
    EXPECT_TRUE(panel->lblRemainTime()->isHidden());
    EXPECT_FALSE(SyncModel::sharedInstance()->isDownloading());
    EXPECT_EQ(alert(), nullptr);
    EXPECT_TRUE(driver->screenshot(reviewPath("sync_finished_en.png")));

    // Chinese: the date is kept, redrawn as "HH:mm yy/MM/dd" at once.
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    settle();
    EXPECT_EQ(rows(), all("09:30 26/12/07"));
    EXPECT_EQ(panel->title(), text("DATEUPDATES"));
    EXPECT_EQ(screen->titleLabel()->text(), text("SYNC_"));
    screen->getsyncdate();
    EXPECT_EQ(rows(), all("09:30 26/12/07"));
    EXPECT_TRUE(driver->screenshot(reviewPath("sync_finished_cn.png")));
}

TEST_F(SyncScreenTest, RenderedIdleAndRunningInBothLanguages)
{
    open();
    EXPECT_TRUE(driver->screenshot(reviewPath("sync_idle_en.png")));
    SyncModel::sharedInstance()->setNeedUpdate(true);
    LoginMode::sharedInstance()->setLoginType(3);
    engineDelegate()->startSyncData();
    engineDelegate()->setProgressImageTypeRemainTime(0.5f, 1, 200);
    engineDelegate()->setProgressImageTypeRemainTime(0.5f, 4, 200);
    settle(2);
    EXPECT_TRUE(driver->screenshot(reviewPath("sync_running_en.png")));
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    settle();
    EXPECT_EQ(panel->btnsync()->titleForState(ui::ControlStateNormal), text("GETUPDATES"));
    EXPECT_TRUE(driver->screenshot(reviewPath("sync_running_cn.png")));
}

TEST_F(SyncScreenTest, TheSpinnersTurnOnlyWhileASyncRunsAndCoverNoText)
{
    open();
    auto& title = *screen->indicatorView();
    auto shows = [](const ui::View& v) { return !v.isHidden() && v.window(); };
    EXPECT_FALSE(shows(title)) << "idle: no frozen spinner in the title bar";
    EXPECT_FALSE(title.isAnimating());

    SyncModel::sharedInstance()->setNeedUpdate(true);
    LoginMode::sharedInstance()->setLoginType(3);
    engineDelegate()->startSyncData();
    engineDelegate()->setProgressImageTypeRemainTime(0.5f, 1, 30);
    settle();
    EXPECT_TRUE(shows(title));
    EXPECT_TRUE(title.isAnimating());
    // The remaining time reads whole beside its own turning indicator.
    ASSERT_EQ(panel->lblRemainTime()->text(), text("TIMEREMAININGLESSAMINUTE"));
    auto& small = *panel->activityIndicator();
    EXPECT_TRUE(small.isAnimating());
    gfx::Rect spinner = small.convertRectToView(small.bounds(), app->window().get());
    gfx::Rect words = panel->lblRemainTime()->convertRectToView(screencheck::drawnTextRect(*panel->lblRemainTime()),
                                                                app->window().get());
    EXPECT_FALSE(spinner.intersects(words)) << "the indicator covers the text";
    EXPECT_TRUE(driver->screenshot(reviewPath("sync_spinner_en.png")));

    engineDelegate()->finishedSync();
    settle();
    EXPECT_FALSE(shows(title));
    EXPECT_FALSE(title.isAnimating());
}

} // namespace
