#include "MainScreenTestSupport.h"

#include "App/HomeViewController.h"
#include "Common/PublicFunction.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/PopoverController.h"
#include "Protocol/LinkLabel.h"
#include "Protocol/LoginPopController.h"

namespace {

using apptest::MainScreenTest;

class HomeScreenTest : public MainScreenTest {
protected:
    std::shared_ptr<HomeViewController> home() const
    {
        return std::dynamic_pointer_cast<HomeViewController>(app->tabBarController()->viewControllers().front());
    }
    std::string syncBadge() const
    {
        auto sync = app->tabBarController()->buttonWithTag(6);
        return sync->badgeView()->isHidden() ? std::string() : sync->badgeLabel()->text();
    }
    // An online login that reported new data, on Wi-Fi or the carrier network.
    void loginOnlineWithUpdate(bool carrier)
    {
        loginAsDemo("1,1,1,1,1,1,1", 1);
        LoginMode::sharedInstance()->setNeedUpdate(true);
        LoginMode::sharedInstance()->setIsNotWifi(carrier);
    }
};

TEST_F(HomeScreenTest, AnOnlineLoginWithNewDataOffersTheUpdateOnce)
{
    loginOnlineWithUpdate(false);
    app->showMainController(); // the offer comes while the main screen is built
    ASSERT_NE(alert(), nullptr);
    EXPECT_EQ(alert()->tag(), HomeViewController::kUpdateAlertTag);
    EXPECT_EQ(alert()->message(), text("HAVEUPDATE"));
    EXPECT_TRUE(SyncModel::sharedInstance()->needUpdate());
    settle();
    answer(text("UPDATE_NOTNOW"));
    EXPECT_EQ(syncBadge(), text("NEWUPDATE"));

    // The badge follows the language while the offer stands.
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    EXPECT_EQ(syncBadge(), text("NEWUPDATE"));
    EXPECT_NE(syncBadge(), "New");
    LanguageManager::sharedInstance()->setCurrentLanguage(1);

    // Appearing again does not offer it again.
    auto root = app->window()->rootViewController();
    root->beginAppearanceTransition(false);
    root->endAppearanceTransition();
    root->beginAppearanceTransition(true);
    root->endAppearanceTransition();
    settle();
    EXPECT_EQ(alert(), nullptr);
}

TEST_F(HomeScreenTest, OnTheCarrierNetworkTheUpdateAsksAgain)
{
    loginOnlineWithUpdate(true);
    showMain();
    answer(text("UPDATE_YES"));
    ASSERT_NE(alert(), nullptr);
    EXPECT_EQ(alert()->message(), text("WIFIALERT"));
    answer(text("CANCEL"));
    EXPECT_EQ(syncBadge(), text("NEWUPDATE"));
    EXPECT_EQ(app->tabBarController()->selectedIndex(), 0u);

    home()->showAlertViewWithMessageWithButtons(HomeViewController::kWifiAlertTag, text("WIFIALERT"),
                                               {text("OK"), text("CANCEL")});
    answer(text("OK"));
    EXPECT_EQ(app->tabBarController()->selectedIndex(), 6u);
}

TEST_F(HomeScreenTest, OfflineAndDemoLoginsNeverOfferTheUpdate)
{
    for (int type : {2, 3}) {
        loginAsDemo("1,1,1,1,1,1,1", type);
        LoginMode::sharedInstance()->setNeedUpdate(true);
        auto main = app->window()->rootViewController();
        app->showMainController();
        EXPECT_EQ(alert(), nullptr) << type;
        EXPECT_FALSE(SyncModel::sharedInstance()->showUpdate());
        ui::AlertView::dismissAllForTesting();
        app->window()->setRootViewController(main); // the next round builds a new main screen
        settle();
    }
}

TEST_F(HomeScreenTest, TheDemoHelpShowsOnceAfterTheFadeAndHomeLooksRight)
{
    base::UserDefaults::standard()->removeObjectForKey("HasShownHelpLogout");
    loginAsDemo();
    app->showMainController();
    auto screen = home();
    ASSERT_NE(screen, nullptr);
    EXPECT_NEAR(screen->view()->presentation().alpha, 0.5, 1e-6);
    EXPECT_EQ(screen->helpPopController(), nullptr);
    base::RunLoop::main().advance(0.26);
    EXPECT_EQ(screen->view()->presentation().alpha, 1);
    ASSERT_NE(screen->helpPopController(), nullptr);
    EXPECT_TRUE(screen->helpPopController()->isPopoverVisible());
    auto help = std::dynamic_pointer_cast<LoginPopController>(screen->helpPopController()->contentViewController());
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->gobackButton()->currentTitle(), text("HELPLOGOUT"));
    EXPECT_FALSE(help->gobackButton()->isEnabled());
    EXPECT_TRUE(HomeViewController::hasShownHelpLogout());
    EXPECT_TRUE(screen->linklblWebsite()->isHidden()); // the demo company has no link
    EXPECT_TRUE(driver->screenshot("/tmp/brivanta_home.png"));

    // A restart: a new application over the same home folder.
    screen->helpPopController()->dismissPopoverAnimated(false);
    app.reset();
    freeSharedModels();
    ui::Application::shared().resetForTesting();
    app = std::make_shared<BrivantaAppDelegate>();
    ASSERT_TRUE(ui::Application::shared().launch(app));
    driver = std::make_unique<ui::Driver>(*app->window());
    base::UserDefaults::resetStandard();
    loginAsDemo();
    showMain();
    EXPECT_EQ(home()->helpPopController(), nullptr);
}

TEST_F(HomeScreenTest, TheCompanyLinkOpensWithAScheme)
{
    loginAsDemo();
    auto tap = [&](const std::string& link) {
        LoginMode::sharedInstance()->setCompanyLink(link);
        home()->viewWillAppear(false);
        auto label = home()->linklblWebsite();
        if (label->isHidden())
            return std::string("<hidden>");
        openedURLs.clear();
        EXPECT_TRUE(driver->tap(label.get()));
        return openedURLs.empty() ? std::string("<nothing>") : openedURLs.back();
    };
    LoginMode::sharedInstance()->setCompanyLink("www.example.com");
    showMain();
    auto label = home()->linklblWebsite();
    EXPECT_EQ(label->text(), "www.example.com");
    EXPECT_EQ(label->font().families().substr(0, 11), "DejaVu Sans");
    EXPECT_EQ(label->lineBreakMode(), gfx::LineBreakMode::TruncateMiddle);
    EXPECT_EQ(label->textAlignment(), gfx::TextAlignment::Right);
    EXPECT_EQ(tap("www.example.com"), "http://www.example.com");
    EXPECT_EQ(tap("HTTP://Example.com"), "HTTP://Example.com");
    EXPECT_EQ(tap("https://example.com"), "https://example.com");
    EXPECT_EQ(tap(""), "<hidden>");
}

TEST_F(HomeScreenTest, TheUnconnectedActionsOpenTheAccountPageAndLogOut)
{
    loginAsDemo();
    showMain();
    home()->userEditBtnClick();
    ASSERT_EQ(openedURLs.size(), 1u);
    EXPECT_EQ(openedURLs[0], PublicFunction::editUserUrl());
    home()->logoutBtnClick();
    EXPECT_STREQ(app->window()->rootViewController()->className(), "WeclomeViewController");
}

} // namespace
