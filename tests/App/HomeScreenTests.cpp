#include "MainScreenTestSupport.h"

#include "App/HomeViewController.h"
#include "Common/PublicFunction.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/PopoverController.h"
#include "Widgets/LinkLabel.h"
#include "Classes/Login/LoginPopController.h"

#include <algorithm>
#include <fstream>

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
        waitForTheWelcomeScreen();                 // back on screen, it unpacks the demo again
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
    EXPECT_TRUE(driver->screenshot(reviewPath("home_demo_help.png")));

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
    // What may not stand in an address is escaped; delimiters and escapes already made stay.
    EXPECT_EQ(tap("  www.example.com/a b\n"), "http://www.example.com/a%20b");
    EXPECT_EQ(tap("\xE4\xBE\x8B.cn/?q=1&r=[2]#top"), "http://%E4%BE%8B.cn/?q=1&r=[2]#top");
    EXPECT_EQ(tap("x.com/%41%zz%4\"<>"), "http://x.com/%41%25zz%254%22%3C%3E");
}

TEST_F(HomeScreenTest, AHeadlessRunRecordsTheLinkAndAScriptChecksIt)
{
    // As the headless back end sets it up: no opener is started, the address is kept.
    ui::Application::shared().setURLRecorder({});
    ui::Application::shared().setRecordsOpenedURLs(true);
    loginAsDemo();
    LoginMode::sharedInstance()->setCompanyLink("www.example.com/sales team");
    showMain();
    ui::ScriptRunner runner(*driver);
    EXPECT_TRUE(runner.runText("tap \"www.example.com/sales team\"\n"
                               "expect-opened \"http://www.example.com/sales%20team\"\n"))
        << runner.error();
    EXPECT_EQ(driver->openedURLs(), (std::vector<std::string>{"http://www.example.com/sales%20team"}));
    // Each check takes an address opened since the last one it found.
    EXPECT_FALSE(runner.runText("expect-opened \"http://www.example.com/sales%20team\"\n"));
    EXPECT_EQ(runner.error(), "line 1: expected \"http://www.example.com/sales%20team\" to be opened; opened: nothing");
    EXPECT_EQ(alert(), nullptr);
}

TEST_F(HomeScreenTest, WhenNoOpenerCanOpenTheLinkTheUserIsShownTheAddress)
{
    loginAsDemo();
    LoginMode::sharedInstance()->setCompanyLink("www.example.com/a b");
    showMain();
    ui::Application::shared().setURLRecorder({});
    basetest::TempDir bin;
    basetest::ScopedEnv path("PATH", bin.path().string());
    const std::string expected = text("CANNOTOPENURL") + "\nhttp://www.example.com/a%20b";

    // No opener installed: told at once.
    ASSERT_TRUE(driver->tap(home()->linklblWebsite().get()));
    ASSERT_NE(alert(), nullptr);
    EXPECT_EQ(alert()->title(), text("NOTIFICATION"));
    EXPECT_EQ(alert()->message(), expected);
    EXPECT_NE(driver->findByText("http://www.example.com/a%20b"), nullptr);
    answer(text("OK"));
    EXPECT_EQ(alert(), nullptr);

    // An opener that finds nothing to open with: told once it has ended.
    std::ofstream(bin / "xdg-open") << "#!/bin/sh\nexit 3\n";
    std::filesystem::permissions(bin / "xdg-open", std::filesystem::perms::owner_all);
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    ASSERT_TRUE(driver->tap(home()->linklblWebsite().get()));
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return alert() != nullptr; }, 30));
    EXPECT_EQ(alert()->message(), text("CANNOTOPENURL") + "\nhttp://www.example.com/a%20b");
    settle();
    EXPECT_TRUE(driver->screenshot(reviewPath("cannot_open_cn.png")));
    EXPECT_NE(text("CANNOTOPENURL"), expected.substr(0, expected.find('\n')));
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
}

TEST_F(HomeScreenTest, ThePictureFillsTheViewDownToTheBarInBothLanguagesAndScales)
{
    loginAsDemo();
    auto tabs = showMain();
    auto screen = home();
    const double barTop = UITabBarControllerExt::kBarTop;
    EXPECT_EQ(screen->homeBg()->frame(), gfx::Rect(0, 0, 1024, barTop));
    // Laid out from the view, not fixed: it follows the view's size.
    screen->view()->setFrame({0, 0, 1000, 700});
    EXPECT_EQ(screen->homeBg()->frame(), gfx::Rect(0, 0, 1000, 700 - UITabBarControllerExt::kBarHeight));
    screen->view()->setFrame({0, 0, 1024, 768});
    EXPECT_EQ(screen->homeBg()->frame(), gfx::Rect(0, 0, 1024, barTop));

    gfx::Image picture = screen->homeBg()->image();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.size(), (gfx::Size{1024, barTop})); // made for this screen: nothing is cropped
    for (int language : {1, 2}) {
        LanguageManager::sharedInstance()->setCurrentLanguage(language);
        for (int scale : {1, 2}) {
            app->window()->setScale(scale);
            gfx::Image shot = app->window()->snapshot();
            ASSERT_EQ(shot.pixelWidth(), 1024 * scale);
            EXPECT_TRUE(shot.writePng(reviewPath("home_" + std::string(language == 1 ? "en" : "cn") + "@"
                                                 + std::to_string(scale) + "x.png"))
                        == nullptr);
            // The row just above the bar is the picture's, not a white band.
            int row = static_cast<int>(barTop) * scale - 1;
            for (int x = 0; x < 1024; x += 64) {
                gfx::Color shown = shot.colorAt(x * scale, row);
                gfx::Color drawn = picture.colorAt(x, static_cast<int>(barTop) - 1);
                EXPECT_LT(std::min({shown.r, shown.g, shown.b}), 0.97) << x << " @" << scale;
                EXPECT_NEAR(shown.r, drawn.r, 0.03) << x << " @" << scale;
                EXPECT_NEAR(shown.b, drawn.b, 0.03) << x << " @" << scale;
            }
            // The bar's own top line follows at once.
            EXPECT_NE(shot.pixelAt(512 * scale, static_cast<int>(barTop) * scale),
                      shot.pixelAt(512 * scale, row));
        }
    }
    app->window()->setScale(1);
    LanguageManager::sharedInstance()->setCurrentLanguage(1);
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
