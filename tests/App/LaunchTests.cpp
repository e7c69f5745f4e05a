#include "App/BrivantaAppDelegate.h"
#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Common/SkinManager.h"
#include "Platform/Base/Bundle.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/Base/PropertyList.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/UserDefaults.h"
#include "Platform/Net/ReachabilityHandle.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/Window.h"
#include "Protocol/LoginMode.h"
#include "Protocol/NetworkModel.h"
#include "Classes/Login/WeclomeViewController.h"
#include "tests/Platform/Base/FileTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace {

// A fresh home, a bundle of version 1.0 holding the built language tables, and a known locale.
class LaunchTest : public ::testing::Test {
protected:
    LaunchTest()
    {
        fs::path built = fs::path(base::Bundle::resourcePath());
        fs::create_directories(m_bundleDir.path());
        for (auto& entry : fs::directory_iterator(built))
            if (entry.path().extension() == ".plist" && entry.path().filename() != "Info.plist")
                fs::copy_file(entry.path(), m_bundleDir.path() / entry.path().filename());
        base::Dictionary info;
        info.set("ShortVersion", "1.0");
        base::PropertyList::writeFile((m_bundleDir.path() / "Info.plist").string(), info);
        m_bundle.emplace("BRIVANTA_BUNDLE", m_bundleDir.path().string());
        base::UserDefaults::resetStandard();
        LoginMode::freeInstance();
        LanguageManager::sharedInstance()->removeAllLanugageNotification();
        SkinManager::sharedInstance()->setNeedUpdateDemo(false);
        base::RunLoop::main().setManualClock(true);
    }
    ~LaunchTest() override
    {
        ui::Application::shared().resetForTesting();
        ui::Application::shared().setURLRecorder({});
        net::ReachabilityHandle::injectFlags(std::nullopt);
        base::RunLoop::main().advance(5);
        base::RunLoop::main().setManualClock(false);
        base::UserDefaults::resetStandard();
        LoginMode::freeInstance();
        Language::resetLanguageCache();
    }

    std::shared_ptr<BrivantaAppDelegate> launch()
    {
        base::UserDefaults::resetStandard();
        ui::Application::shared().resetForTesting();
        auto app = std::make_shared<BrivantaAppDelegate>();
        EXPECT_TRUE(ui::Application::shared().launch(app));
        return app;
    }
    static std::shared_ptr<base::UserDefaults> store()
    {
        base::UserDefaults::resetStandard(); // read what is on disk
        return base::UserDefaults::standard();
    }
    fs::path documents() const { return m_home.path() / "Documents"; }

    basetest::TempHome m_home;
    basetest::TempDir m_bundleDir;
    std::optional<basetest::ScopedEnv> m_bundle;
    basetest::ScopedEnv m_network{"BRIVANTA_NETWORK", "wifi"};
    basetest::ScopedEnv m_language{"LANGUAGE", std::nullopt};
    basetest::ScopedEnv m_all{"LC_ALL", std::nullopt};
    basetest::ScopedEnv m_messages{"LC_MESSAGES", std::nullopt};
    basetest::ScopedEnv m_lang{"LANG", "zh_CN.UTF-8"};
};

TEST_F(LaunchTest, FirstLaunchStoresVersionShortcutsLanguageAndServerDefaults)
{
    auto app = launch();
    auto s = store();
    EXPECT_EQ(s->stringForKey("App_version"), "1.0");
    EXPECT_EQ(s->objectForKey("Z_KORV_SHORTCUT"), base::Value(true));
    EXPECT_EQ(s->objectForKey("WENDLOFT_SHORTCUT"), base::Value(true));
    EXPECT_EQ(s->integerForKey("language"), 2);
    EXPECT_EQ(s->stringForKey("IP"), "localhost");
    EXPECT_EQ(s->stringForKey("ImageIP"), "localhost");
    EXPECT_EQ(s->integerForKey("Port"), 58080);
    EXPECT_EQ(s->stringForKey("Path"), "BrivantaSaas");
    EXPECT_EQ(s->integerForKey("ImagePort"), 580);
    EXPECT_EQ(s->stringForKey("ImagePath"), "brivanta_saas");
    EXPECT_EQ(app->currentVersion(), "1.0");
    // The welcome screen took the demo unpacking on as it appeared.
    EXPECT_FALSE(SkinManager::sharedInstance()->needUpdateDemo());
    ASSERT_NE(app->window(), nullptr);
    EXPECT_NE(dynamic_cast<WeclomeViewController*>(app->window()->rootViewController().get()), nullptr);
    EXPECT_EQ(ui::Window::keyWindow(), app->window().get());
}

TEST_F(LaunchTest, TraditionalChineseLocaleGivesEnglish)
{
    basetest::ScopedEnv lang("LANG", "zh_TW.UTF-8");
    launch();
    EXPECT_EQ(store()->integerForKey("language"), 1);
}

TEST_F(LaunchTest, SameVersionLowerCasesClientFoldersAndKeepsSettings)
{
    {
        auto s = base::UserDefaults::standard();
        s->setString("1.0", "App_version");
        s->setInteger(9000, "Port");
        s->setBool(false, "Z_KORV_SHORTCUT");
        s->setBool(true, "WENDLOFT_SHORTCUT");
    }
    fs::create_directories(documents() / "AbC");
    launch();
    EXPECT_TRUE(fs::is_directory(documents() / "abc"));
    EXPECT_FALSE(fs::exists(documents() / "AbC"));
    auto s = store();
    EXPECT_EQ(s->integerForKey("Port"), 9000);
    EXPECT_EQ(s->objectForKey("Z_KORV_SHORTCUT"), base::Value(false)); // a stored NO is kept
    EXPECT_FALSE(SkinManager::sharedInstance()->needUpdateDemo());

    s->removeObjectForKey("WENDLOFT_SHORTCUT");
    launch();
    s = store();
    EXPECT_EQ(s->objectForKey("Z_KORV_SHORTCUT"), base::Value(true));
    EXPECT_EQ(s->objectForKey("WENDLOFT_SHORTCUT"), base::Value(true));
}

TEST_F(LaunchTest, NewVersionResetsSettingsAndMovesOnlyFolders)
{
    {
        auto s = base::UserDefaults::standard();
        s->setString("0.9", "App_version");
        s->setInteger(9000, "Port");
    }
    fs::create_directories(m_home.path() / "tmp" / "XyZ");
    std::ofstream(m_home.path() / "tmp" / "partial.download") << "half";
    launch();
    auto s = store();
    EXPECT_EQ(s->integerForKey("Port"), 58080);
    EXPECT_EQ(s->stringForKey("App_version"), "1.0");
    EXPECT_TRUE(fs::is_directory(documents() / "xyz"));
    EXPECT_TRUE(fs::exists(m_home.path() / "tmp" / "partial.download"));
    EXPECT_FALSE(fs::exists(documents() / "partial.download"));

    // Blanks are no version at all.
    store()->setString("   ", "App_version");
    SkinManager::sharedInstance()->setNeedUpdateDemo(false);
    launch();
    EXPECT_EQ(store()->stringForKey("App_version"), "1.0");
    // Set again by the new version, and taken on by the welcome screen as it appeared.
    EXPECT_FALSE(SkinManager::sharedInstance()->needUpdateDemo());
}

TEST_F(LaunchTest, ReachabilityReportsBecomeConnectionNotifications)
{
    auto app = launch();
    std::vector<std::string> seen;
    auto& center = base::NotificationCenter::defaultCenter();
    auto up = center.addObserver("netconnect", nullptr, [&](const base::Notification&) {
        seen.push_back(std::string("netconnect wifi=") + (LoginMode::sharedInstance()->isNotWifi() ? "NO" : "YES"));
    });
    auto down = center.addObserver("netUnconnect", nullptr, [&](const base::Notification&) {
        seen.push_back(std::string("netUnconnect notWifi=") + (LoginMode::sharedInstance()->isNotWifi() ? "YES" : "NO"));
    });
    net::ReachabilityHandle::injectFlags(net::kReachabilityReachable);
    base::RunLoop::main().advance(0.1);
    net::ReachabilityHandle::injectFlags(net::kReachabilityReachable | net::kReachabilityIsWWAN);
    base::RunLoop::main().advance(0.1);
    net::ReachabilityHandle::injectFlags(0u);
    base::RunLoop::main().advance(0.1);
    EXPECT_EQ(seen, (std::vector<std::string>{"netconnect wifi=YES", "netconnect wifi=NO", "netUnconnect notWifi=YES"}));
}

TEST_F(LaunchTest, BackgroundAndForegroundPostInOrderAfterTheDeviceCheck)
{
    // What an earlier test left on its way is not this launch's.
    NetworkModel::sharedInstance()->cancelAllRequests();
    auto app = launch();
    ui::Driver driver(*app->window());
    std::vector<std::string> seen;
    auto& center = base::NotificationCenter::defaultCenter();
    auto bg = center.addObserver("AppWillEnterBackgound", nullptr, [&](const base::Notification&) { seen.push_back("background"); });
    // What was sent since the background, told by the requests' own log lines: the count of
    // requests still pending would depend on how soon the launch's own check was answered.
    std::unique_ptr<base::ScopedLogCapture> sent;
    auto fg = center.addObserver("AppWillEnterForegroud", nullptr, [&](const base::Notification&) {
        std::string codes;
        for (const auto& line : sent->lines())
            for (const char* code : {"262", "263"})
                if (line.find(std::string("request id is ") + code) != std::string::npos)
                    codes += std::string(codes.empty() ? "" : " ") + code;
        seen.push_back("foreground after " + codes);
    });
    // Online: the device check and the version check go out before the notice.
    LoginMode::sharedInstance()->setLoginType(1);
    driver.enterBackground();
    sent = std::make_unique<base::ScopedLogCapture>();
    driver.enterForeground();
    NetworkModel::sharedInstance()->cancelAllRequests();
    EXPECT_EQ(seen, (std::vector<std::string>{"background", "foreground after 262 263"}));
}

TEST_F(LaunchTest, UncaughtExceptionReportIsLoggedAndMailed)
{
    std::string url = BrivantaAppDelegate::exceptionMailURL("std::runtime_error", "boom", "a<br>b");
    EXPECT_EQ(url.rfind("mailto://support@brivanta.app?subject=bug%20report&body=Thanks%20to%20your%20help!%3Cbr%3E", 0), 0u)
        << url;
    EXPECT_NE(url.find("%3Cbr%3E" + std::string(26, '-') + "%3Cbr%3Eboom%3Cbr%3E" + std::string(21, '-') + "%3Cbr%3Ea%3Cbr%3Eb"),
              std::string::npos)
        << url;

    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            launch();
            ui::Application::shared().setURLRecorder([](const std::string& u) { std::fprintf(stderr, "opened %s\n", u.c_str()); });
            std::thread([] { throw std::runtime_error("boom"); }).join();
        },
        "the name is std::runtime_error,the reason is boom,the arr is .*\n(.*\n)*opened mailto://support@brivanta.app");
}

TEST_F(LaunchTest, HeadlessScriptShowsTheWelcomeScreen)
{
    auto app = launch();
    ui::Driver driver(*app->window());
    EXPECT_NE(driver.findByClass("LoginCheckBox"), nullptr);
}

} // namespace
