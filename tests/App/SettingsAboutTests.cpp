#include "MainScreenTestSupport.h"

#include "App/AboutViewController.h"
#include "App/SettingsViewController.h"
#include "App/SwitchTableViewCell.h"
#include "Classes/Customer/CustomerViewController.h"
#include "Common/PublicFunction.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/Switch.h"
#include "Protocol/NetworkModel.h"
#include "Classes/Sync/SyncViewController.h"

namespace {

using apptest::MainScreenTest;

class SettingsAboutTest : public MainScreenTest {
protected:
    std::shared_ptr<UITabBarControllerExt> tabs;

    void openSheet(const std::string& modules = "1,1,1,1,1,1,1", int loginType = 3)
    {
        loginAsDemo(modules, loginType);
        tabs = showMain();
        ASSERT_TRUE(driver->tap(tabs->buttonWithTag(7)->btn().get()));
        settle();
    }
    ui::NavigationController* sheet() const
    {
        return dynamic_cast<ui::NavigationController*>(tabs->presentedViewController().get());
    }
    std::shared_ptr<ui::ViewController> topPage() const { return sheet() ? sheet()->topViewController() : nullptr; }
    void tapText(const std::string& label)
    {
        ui::View* view = driver->findByText(label);
        ASSERT_NE(view, nullptr) << label;
        ASSERT_TRUE(driver->tap(view)) << label;
        settle();
    }
    template <typename Screen>
    std::shared_ptr<Screen> tabScreen(int tag) const
    {
        auto nav = std::dynamic_pointer_cast<ui::NavigationController>(tabs->viewControllers()[static_cast<size_t>(tag)]);
        return std::dynamic_pointer_cast<Screen>(nav->viewControllers().front());
    }
};

TEST_F(SettingsAboutTest, TheSheetOpensClosesAndSwitchesTheLanguage)
{
    openSheet();
    ASSERT_NE(sheet(), nullptr);
    EXPECT_TRUE(tabs->buttonWithTag(7)->isSelected());
    EXPECT_EQ(topPage()->title(), text("SETTINGSTITLE"));
    EXPECT_NE(driver->findByText(text("SHOWALLCUSTOMER")), nullptr);
    auto logoutCell = dynamic_cast<ui::TableViewCell*>(driver->findByText(text("LOGOUTSETTINGS"))->superview()->superview());
    ASSERT_NE(logoutCell, nullptr);
    EXPECT_EQ(logoutCell->reuseIdentifier(), "LogoutCell");
    EXPECT_EQ(logoutCell->backgroundColor(), gfx::Color::fromRgb(57, 120, 235));
    EXPECT_EQ(logoutCell->textLabel().textAlignment(), gfx::TextAlignment::Center);
    EXPECT_TRUE(driver->screenshot(reviewPath("settings.png")));

    tabs->setBadgeValueTabBarItemTagAnimated(text("NEWUPDATE"), 6, false);
    SyncModel::sharedInstance()->setShowUpdate(true);
    tapText(text("SWITCHLANGUAGES"));
    auto languages = std::dynamic_pointer_cast<SettingsViewController>(topPage());
    ASSERT_NE(languages, nullptr);
    EXPECT_EQ(languages->settingPage(), SettingsViewController::LanguagePage);
    auto checked = [&](int row) {
        return languages->tableView().cellForRowAtIndexPath({0, row})->accessoryType() == ui::TableViewCellAccessoryType::Checkmark;
    };
    EXPECT_TRUE(checked(0));
    tapText("中文");
    EXPECT_EQ(LanguageManager::sharedInstance()->currentLanguage(), 2);
    EXPECT_TRUE(checked(1));
    EXPECT_FALSE(checked(0));
    EXPECT_EQ(languages->title(), text("SWITCHLANGUAGES"));
    EXPECT_EQ(languages->doneItem()->title(), text("DONE"));
    EXPECT_EQ(tabs->buttonWithTag(1)->title(), text("CATALOG"));
    EXPECT_EQ(tabs->buttonWithTag(6)->badgeLabel()->text(), text("NEWUPDATE"));
    EXPECT_NE(text("DONE"), "Done");
    sheet()->popViewController(false);
    EXPECT_NE(driver->findByText(text("FULLSYNC")), nullptr);
    EXPECT_EQ(topPage()->title(), text("SETTINGSTITLE"));

    tapText(text("DONE"));
    EXPECT_EQ(sheet(), nullptr);
    EXPECT_FALSE(tabs->buttonWithTag(7)->isSelected());
}

TEST_F(SettingsAboutTest, UpDownAndReturnPickFromTheSheetsListAndEscapeClosesIt)
{
    openSheet();
    auto highlighted = [](ui::TableView& table) {
        auto ip = table.indexPathForSelectedRow();
        auto* cell = ip ? table.cellForRowAtIndexPath(*ip) : nullptr;
        return cell ? cell->textLabel().text() : std::string();
    };
    auto settings = std::dynamic_pointer_cast<SettingsViewController>(topPage());
    ASSERT_NE(settings, nullptr);
    for (int presses = 0; highlighted(settings->tableView()) != text("SWITCHLANGUAGES") && presses < 30; ++presses)
        driver->pressKey("down");
    ASSERT_EQ(highlighted(settings->tableView()), text("SWITCHLANGUAGES"));
    driver->pressKey("up");
    EXPECT_NE(highlighted(settings->tableView()), text("SWITCHLANGUAGES"));
    driver->pressKey("down");
    driver->pressKey("\n");
    settle();
    auto languages = std::dynamic_pointer_cast<SettingsViewController>(topPage());
    ASSERT_NE(languages, nullptr);
    ASSERT_EQ(languages->settingPage(), SettingsViewController::LanguagePage);
    driver->pressKey("down");
    driver->pressKey("down");
    EXPECT_EQ(highlighted(languages->tableView()), "中文");
    driver->pressKey("\n");
    settle();
    EXPECT_EQ(LanguageManager::sharedInstance()->currentLanguage(), 2);
    driver->pressKey("escape");
    settle();
    EXPECT_EQ(sheet(), nullptr);
}

TEST_F(SettingsAboutTest, TheShowAllSwitchIsStoredPerUserAndTold)
{
    openSheet();
    auto customers = tabScreen<CustomerViewController>(2);
    auto* control = dynamic_cast<ui::Switch*>(driver->findByClass("Switch"));
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(control->isOn());
    ASSERT_TRUE(driver->tap(control));
    settle();
    EXPECT_FALSE(control->isOn());
    base::UserDefaults::resetStandard();
    auto stored = base::UserDefaults::standard()->objectForKey("DEMO_tolbernix__showAllCustomer");
    ASSERT_TRUE(stored);
    EXPECT_FALSE(stored->toBool(true));
    EXPECT_EQ(customers->settingsSwitchChanges(), 1);
}

TEST_F(SettingsAboutTest, FullSyncIsRefusedInTheDemoAndAskedTwiceOnTheCarrierNetwork)
{
    openSheet();
    tapText(text("FULLSYNC"));
    ASSERT_NE(alert(), nullptr);
    EXPECT_EQ(alert()->tag(), SettingsViewController::DemoAlert);
    answer(text("SIGNUPNOW"));
    EXPECT_EQ(openedURLs, (std::vector<std::string>{BrivantaAppDelegate::kRegistrationPageAddress}));
    EXPECT_FALSE(SyncModel::sharedInstance()->needUpdate());
    EXPECT_FALSE(SyncModel::sharedInstance()->isSyncAllData());
    tapText(text("DONE"));

    // Online over the carrier network.
    LoginMode::sharedInstance()->setLoginType(1);
    LoginMode::sharedInstance()->setIsNotWifi(true);
    auto sync = tabScreen<SyncViewController>(6);
    ASSERT_TRUE(driver->tap(tabs->buttonWithTag(7)->btn().get()));
    settle();
    tapText(text("FULLSYNC"));
    EXPECT_EQ(alert()->tag(), SettingsViewController::FullSyncAlert);
    answer(text("UPDATE"));
    EXPECT_EQ(alert()->tag(), SettingsViewController::CarrierNetworkAlert);
    answer(text("OK"));
    EXPECT_EQ(tabs->selectedIndex(), 6u);
    EXPECT_TRUE(SyncModel::sharedInstance()->isSyncAllData());
    EXPECT_EQ(sync->startSyncDataCalls(), 1); // a tenth of a second after the tab showed
    // The sync screen took the request and started, without asking about the network again.
    EXPECT_FALSE(SyncModel::sharedInstance()->needUpdate());
    EXPECT_TRUE(SyncModel::sharedInstance()->isDownloading());
    EXPECT_EQ(alert(), nullptr);
    EXPECT_EQ(sheet(), nullptr);
    EXPECT_FALSE(tabs->buttonWithTag(7)->isSelected());
}

TEST_F(SettingsAboutTest, TheAccountPageOpensTheBackOfficeAndTheAccountPage)
{
    openSheet();
    auto login = LoginMode::sharedInstance();
    login->setAcountID("a b&c");
    login->setClientID("X1");
    login->setUserAccess(0);
    std::string expected = "http://" + PublicFunction::GetServer()->imageUrlStr()
        + "/administrator/index.php?option=com_login&username=a%20b%26c&client_id=X1&lang=en-GB";
    EXPECT_EQ(SettingsViewController::cmsURL("h", "a+b #", "c", 2),
              "http://h/administrator/index.php?option=com_login&username=a%2Bb%20%23&client_id=c&lang=zh-CN");
    tapText(text("ACCOUNTMANAGEMENT"));
    auto account = std::dynamic_pointer_cast<SettingsViewController>(topPage());
    ASSERT_NE(account, nullptr);
    EXPECT_EQ(account->title(), text("ACCOUNTMANAGEMENT"));
    EXPECT_NE(driver->findByText("Demo Company"), nullptr);
    tapText(text("OPENCMS"));
    EXPECT_EQ(alert(), nullptr);
    ASSERT_EQ(openedURLs.size(), 1u);
    EXPECT_EQ(openedURLs[0], expected);

    login->setUserAccess(1);
    tapText(text("OPENCMS"));
    ASSERT_NE(alert(), nullptr);
    EXPECT_EQ(alert()->title(), text("NOCMSACCESS"));
    EXPECT_EQ(openedURLs.size(), 1u);
    ASSERT_TRUE(driver->tap(alert()->viewWithTag(0) ? driver->findByText(text("OPENCMS")) : nullptr));
    settle();
    EXPECT_EQ(openedURLs.size(), 2u);
    EXPECT_EQ(openedURLs.back(), expected);

    auto* user = account->tableView().cellForRowAtIndexPath({0, 1});
    ASSERT_NE(user, nullptr);
    ASSERT_NE(user->accessoryView(), nullptr);
    ASSERT_TRUE(driver->tap(user->accessoryView().get()));
    EXPECT_EQ(openedURLs.back(), PublicFunction::editUserUrl());
}

TEST_F(SettingsAboutTest, VersionAboutAndLogoutRows)
{
    app->setCurrentVersion("2.4.1");
    openSheet();
    auto login = LoginMode::sharedInstance();
    login->setCheckLocalVersion(true);
    size_t before = NetworkModel::sharedInstance()->pendingRequestCount();
    tapText(text("CHECKVERSION"));
    EXPECT_FALSE(login->checkLocalVersion());
    EXPECT_EQ(NetworkModel::sharedInstance()->pendingRequestCount(), before + 1);
    NetworkModel::sharedInstance()->cancelAllRequests();
    EXPECT_NE(driver->findByText("2.4.1"), nullptr);

    tapText(text("ABOUT"));
    auto about = std::dynamic_pointer_cast<AboutViewController>(topPage());
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->viewWidth(), 540);
    EXPECT_EQ(about->lblAppVersion()->text(), "2.4.1");
    EXPECT_EQ(about->imageViewAppIcon()->frame(), gfx::Rect(234, 90, 72, 72));
    EXPECT_EQ(about->lblAppName()->frame(), gfx::Rect(152.5, 230, 235, 30));
    EXPECT_EQ(about->lblAppVersionTitle()->frame(), gfx::Rect(215, 280, 60, 30));
    EXPECT_EQ(about->lblAppVersion()->frame(), gfx::Rect(275, 280, 50, 30));
    EXPECT_EQ(about->lblRights()->frame(), gfx::Rect(130, 460, 280, 30));
    EXPECT_EQ(about->lblComapny()->text(), text("COMPANYNAMEINFO"));
    EXPECT_TRUE(driver->screenshot(reviewPath("about.png")));
    sheet()->popViewController(false);
    settle();

    tapText(text("LOGOUTSETTINGS"));
    ASSERT_NE(alert(), nullptr);
    EXPECT_EQ(alert()->message(), text("SURELOGOUT"));
    answer(text("SURE"));
    EXPECT_STREQ(app->window()->rootViewController()->className(), "WeclomeViewController");
    EXPECT_EQ(tabs->presentedViewController(), nullptr);
}

TEST_F(SettingsAboutTest, UnplacedRowsAndTheTextPage)
{
    openSheet("1,1,0,1,1,1,1");
    auto settings = SettingsViewController::create();
    settings->setCheckForUpdates(std::string("Version 2.0 is available."));
    settings->view();
    EXPECT_EQ(settings->numberOfSectionsInTableView(settings->tableView()), 1);
    EXPECT_EQ(settings->numberOfRowsInSection(settings->tableView(), 0), 1);
    EXPECT_EQ(settings->cellForRowAtIndexPath(settings->tableView(), {0, 0})->textLabel().text(), "Version 2.0 is available.");
    settings->indexOfSection({2, 1});
    EXPECT_EQ(settings->itemIndex(), 4);
    settings->indexOfSection({3, 0});
    EXPECT_EQ(settings->itemIndex(), 7);
    // Without the customer module the second section holds the full sync only.
    auto top = SettingsViewController::create();
    EXPECT_EQ(top->groups().at(1).size(), 1u);
    EXPECT_EQ(top->groups().at(1)[0]->cellTitle, "FULLSYNC");
}

} // namespace
