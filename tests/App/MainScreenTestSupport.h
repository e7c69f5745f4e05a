#pragma once
// A launched application on the manual clock, logged in as the demo tenant, with the main
// screen one call away; opened addresses are recorded instead of opened.
#include "AppTestSupport.h"

#include "App/BrivantaAppDelegate.h"
#include "App/TabBarItemButton.h"
#include "App/UITabBarControllerExt.h"
#include "Classes/Customer/CustomerDataModel.h"
#include "Classes/Library/SaleslibraryModel.h"
#include "Classes/Order/QuoteOrderStore.h"
#include "Common/ConfigManager.h"
#include "Common/MessageBox.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/Date.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Thread.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/BarButtonItem.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/Application.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/Window.h"
#include "Protocol/LoginMode.h"
#include "Protocol/SyncModel.h"
#include "Classes/Login/WeclomeViewController.h"
#include "Protocol/NetworkModel.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace apptest {

class MainScreenTest : public AppServiceTest {
protected:
    static constexpr const char* kDemoClient = "tolbernix_";

    MainScreenTest()
    {
        base::RunLoop::main().setManualClock(true);
        ui::View::setAnimationsEnabled(true);
        freeSharedModels();
        ui::Application::shared().resetForTesting();
        // The welcome screen unpacks the demo behind a wait box and checks the version as it
        // loads; these tests start once both are over, with the demo data left as it was.
        s_unpacked = false;
        WeclomeViewController::setDemoUnpack([] {
            s_unpacked = true;
            return true;
        });
        app = std::make_shared<BrivantaAppDelegate>();
        EXPECT_TRUE(ui::Application::shared().launch(app));
        ui::Application::shared().setURLRecorder([this](const std::string& url) { openedURLs.push_back(url); });
        waitForTheWelcomeScreen();
        driver = std::make_unique<ui::Driver>(*app->window());
        // The demo's one-time help would cover the bar; its own test clears this.
        base::UserDefaults::standard()->setBool(true, "HasShownHelpLogout");
    }
    ~MainScreenTest() override
    {
        ui::AlertView::dismissAllForTesting();
        MessageBox::sharedInstance()->dismissAllMsgBox();
        base::RunLoop::main().advance(10);
        ui::AlertView::dismissAllForTesting();
        driver.reset();
        app.reset();
        WeclomeViewController::setDemoUnpack({});
        ui::Application::shared().resetForTesting();
        ui::Application::shared().setURLRecorder({});
        freeSharedModels();
        base::Date::setFixedNow(std::nullopt);
        base::RunLoop::main().setManualClock(false);
    }

    // Until the welcome screen's demo unpacking is over and its box gone; its version check is dropped.
    void waitForTheWelcomeScreen()
    {
        // The unpacking runs on a worker: waited for in real time, as long as a loaded machine
        // needs (the bound only a stuck worker reaches), before the loop's clock moves the box on.
        auto& loop = base::RunLoop::main();
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(300);
        while ((!s_unpacked.load() || base::backgroundTaskCount() > 0) && std::chrono::steady_clock::now() < deadline) {
            if (!loop.runPending())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_TRUE(s_unpacked.load()) << "the demo was not unpacked";
        EXPECT_TRUE(loop.runUntil([] { return MessageBox::sharedInstance()->waitMsgBoxtag() == 0; }, 10));
        s_unpacked = false;
        NetworkModel::sharedInstance()->cancelAllRequests();
        settle(); // the box fades out
        if (auto left = ui::AlertView::visibleAlert())
            ADD_FAILURE() << "left on screen: " << left->title() << " / " << left->message();
    }

    static void freeSharedModels()
    {
        LoginMode::freeInstance();
        SyncModel::freeInstance();
        ConfigManager::freeInstance();
        QuoteOrderStore::freeInstance();
        CustomerDataModel::freeInstance();
        SaleslibraryModel::freeInstance();
        DataAccessManager::releaseDataModel();
    }

    // The demo tenant's login state over its database, with the module switches given.
    void loginAsDemo(const std::string& modules = "1,1,1,1,1,1,1", int loginType = 3,
                     const std::string& client = kDemoClient)
    {
        auto login = LoginMode::sharedInstance();
        login->setClientID(client);
        login->setAcountID("DEMO");
        login->setPassword(client);
        login->setDeviceID(client);
        login->setCompanyName("Demo Company");
        login->setLoginType(loginType);
        ConfigEntity row;
        row.clientid = client;
        row.configType = "configuration";
        row.desc = modules;
        ConfigManager::sharedInstance()->syncConfigData(std::vector<ConfigEntity>{row});
    }

    std::shared_ptr<UITabBarControllerExt> showMain()
    {
        app->showMainController();
        settle();
        return app->tabBarController();
    }

    // Lets running animations and short timers end, and the pictures read off the main thread
    // come back however slow the machine (a bound only a stuck read reaches).
    static void settle(double seconds = 0.6)
    {
        auto& loop = base::RunLoop::main();
        loop.advance(seconds);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (base::backgroundTaskCount() > 0 && std::chrono::steady_clock::now() < deadline) {
            if (!loop.runPending())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        loop.runPending();
    }

    std::filesystem::path documents() const { return m_home.path() / "Documents"; }

    std::shared_ptr<ui::AlertView> alert() const { return ui::AlertView::visibleAlert(); }
    // Answers the alert on screen by the button's text, as the user would.
    void answer(const std::string& buttonText)
    {
        auto shown = alert();
        ASSERT_NE(shown, nullptr) << "no alert for " << buttonText;
        for (int i = 0; i < shown->numberOfButtons(); ++i) {
            if (shown->buttonTitleAtIndex(i) == buttonText) {
                ASSERT_TRUE(driver->tap(driver->findByText(buttonText))) << buttonText;
                settle();
                return;
            }
        }
        FAIL() << "no button " << buttonText << " on " << shown->title();
    }

    static std::string text(const char* key) { return Language::stringWithName(key); }

    static inline std::atomic<bool> s_unpacked{false};
    basetest::ScopedEnv m_network{"BRIVANTA_NETWORK", "wifi"};
    std::shared_ptr<BrivantaAppDelegate> app;
    std::unique_ptr<ui::Driver> driver;
    std::vector<std::string> openedURLs;
};

} // namespace apptest
