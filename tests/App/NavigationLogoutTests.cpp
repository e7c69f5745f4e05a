#include "MainScreenTestSupport.h"

#include "Classes/Customer/CustomerViewController.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/Base/Text.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/PopoverController.h"
#include "Protocol/CheckAppVersionRst.h"
#include "Classes/Login/LoginCheckBox.h"
#include "Classes/Login/LoginPopController.h"
#include "Protocol/NetworkModel.h"
#include "Classes/Sync/SyncViewController.h"
#include "Classes/Login/WeclomeViewController.h"

#include <fstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

using apptest::MainScreenTest;

// A version-check answer as the decoder makes it; the tests run in English.
CheckAppVersionRst versionAnswer(const std::string& status, const std::string& message, int type,
                                 const std::string& version, const std::string& url, const std::string& text)
{
    CheckAppVersionRst result;
    result.status = status;
    result.message = message;
    result.updateType = type;
    result.appVersion = version;
    result.appUrl = url;
    result.msgEnglish = text;
    return result;
}

// Database files this process holds open.
int openDatabaseFiles()
{
    int count = 0;
    for (auto& entry : fs::directory_iterator("/proc/self/fd")) {
        std::error_code error;
        fs::path target = fs::read_symlink(entry.path(), error);
        if (!error && target.string().find("brivanta_lite.sqlite") != std::string::npos)
            ++count;
    }
    return count;
}

class NavigationLogoutTest : public MainScreenTest {
protected:
    void touch(const fs::path& folder)
    {
        fs::create_directories(folder);
        std::ofstream(folder / "data.txt") << "x";
    }
    static base::Value savedLogin(const std::string& user, const std::string& client)
    {
        base::Dictionary login;
        login.set("Input_UserID", user);
        login.set("Input_ClientID", client);
        return base::Value(login);
    }
    void lockAlertAnsweredOK()
    {
        ASSERT_NE(alert(), nullptr);
        EXPECT_EQ(alert()->tag(), BrivantaAppDelegate::LockedAlert);
        answer(text("OK"));
    }
};

TEST_F(NavigationLogoutTest, TheLogoPopoverLogsOutReleasingEverySharedModelInOrder)
{
    loginAsDemo();
    auto tabs = showMain();
    std::weak_ptr<UITabBarControllerExt> oldTabs = tabs;
    auto oldLogin = LoginMode::sharedInstance();
    auto oldConfig = ConfigManager::sharedInstance();
    auto oldData = DataAccessManager::sharedDataModel();
    auto oldStore = QuoteOrderStore::sharedQuoteOrderStore();
    auto oldCustomers = CustomerDataModel::sharedInstance();
    auto oldSync = SyncModel::sharedInstance();
    auto oldLibrary = SaleslibraryModel::sharedInstance();
    std::weak_ptr<LoginMode> weakLogin = oldLogin;
    std::weak_ptr<SaleslibraryModel> weakLibrary = oldLibrary;
    std::weak_ptr<SyncModel> weakSync = oldSync;
    oldLogin.reset();
    oldLibrary.reset();
    oldSync.reset();
    EXPECT_GT(openDatabaseFiles(), 0);

    // Each step has taken effect, and none of the later ones, when it reports.
    std::vector<std::string> steps;
    app->setLogoutStepObserver([&](std::string_view step) {
        steps.emplace_back(step);
        if (step == "LoginMode") {
            EXPECT_TRUE(weakLogin.expired());
        }
        if (step == "SaleslibraryModel") {
            EXPECT_TRUE(weakLibrary.expired());
        }
        if (step == "SyncModel") {
            EXPECT_TRUE(weakSync.expired());
            EXPECT_GT(openDatabaseFiles(), 0); // the database goes next
        }
        if (step == "DataAccessManager") {
            EXPECT_EQ(openDatabaseFiles(), 0);
        }
    });

    driver->longPress(driver->centerOf(tabs->btnLogo().get()));
    settle();
    ASSERT_NE(tabs->logoutPopController(), nullptr);
    EXPECT_TRUE(tabs->logoutPopController()->isPopoverVisible());
    ui::View* logout = driver->findByText(text("GOBACKTOLOGIN"));
    ASSERT_NE(logout, nullptr);
    ASSERT_TRUE(driver->tap(logout));
    settle();

    EXPECT_EQ(steps, (std::vector<std::string>{"LoginMode", "SaleslibraryModel", "PdfThumbQueue", "NetworkModel", "SyncModel",
                                               "DataAccessManager", "ConfigManager", "MasterViewController", "QuoteOrderStore",
                                               "CustomerDataModel", "LanguageManager"}));
    EXPECT_NE(std::dynamic_pointer_cast<WeclomeViewController>(app->window()->rootViewController()), nullptr);
    EXPECT_FALSE(tabs->logoutPopController()->isPopoverVisible());
    // The tab bar stays referenced, but hears no language change any more.
    EXPECT_EQ(app->tabBarController(), tabs);
    LanguageManager::sharedInstance()->setCurrentLanguage(2);
    EXPECT_EQ(tabs->buttonWithTag(0)->title(), "Home");
    LanguageManager::sharedInstance()->setCurrentLanguage(1);

    EXPECT_NE(LoginMode::sharedInstance(), nullptr);
    EXPECT_NE(ConfigManager::sharedInstance(), oldConfig);
    EXPECT_NE(QuoteOrderStore::sharedQuoteOrderStore(), oldStore);
    EXPECT_NE(CustomerDataModel::sharedInstance(), oldCustomers);
    EXPECT_TRUE(weakLogin.expired() && weakSync.expired() && weakLibrary.expired());

    // Old screens hearing the application's notifications open no database again.
    oldData.reset();
    auto& center = base::NotificationCenter::defaultCenter();
    center.post("netconnect");
    center.post("AppWillEnterForegroud");
    center.post("SETTINGS_SWITCH_CHANGE_NOTIFATION");
    settle();
    EXPECT_EQ(openDatabaseFiles(), 0);
    EXPECT_FALSE(oldTabs.expired());
}

TEST_F(NavigationLogoutTest, OptionalUpdatesCanBePutOffForSevenDays)
{
    base::Date::setFixedNow(base::Date(1'700'000'000));
    auto login = LoginMode::sharedInstance();
    login->checkAppVersion(true);
    // The answer is fed by hand: the real request must not answer too.
    NetworkModel::sharedInstance()->cancelAllRequests();
    CheckAppVersionRst result = versionAnswer("200", "", 1, "2.0", "https://example.com/app", "Faster sync.");
    app->CheckAppVersionReturn(result);
    ASSERT_NE(alert(), nullptr);
    EXPECT_EQ(alert()->tag(), BrivantaAppDelegate::OptionalUpdateAlert);
    EXPECT_EQ(alert()->title(), text("NEWVERSIONFOUND") + " 2.0");
    EXPECT_EQ(alert()->message(), "Faster sync.");
    answer(text("LATER"));
    ASSERT_NE(alert(), nullptr);
    EXPECT_EQ(alert()->message(), text("CANCELUPDATEMSG"));
    answer(text("OK"));
    ASSERT_TRUE(base::UserDefaults::standard()->dateForKey("UpdateVersionSign"));

    auto checkAt = [&](double seconds) {
        base::Date::setFixedNow(base::Date(1'700'000'000 + seconds));
        app->CheckAppVersionReturn(result);
        bool shown = alert() != nullptr;
        ui::AlertView::dismissAllForTesting();
        return shown;
    };
    EXPECT_FALSE(checkAt(86400));
    EXPECT_FALSE(checkAt(604800));
    // Type 2 has its own key, so it is not put off.
    result.updateType = 2;
    EXPECT_TRUE(checkAt(604800));
    result.updateType = 1;
    EXPECT_TRUE(checkAt(604801));
    EXPECT_FALSE(base::UserDefaults::standard()->dateForKey("UpdateVersionSign"));

    // "LATER" on type 2 stores its own key.
    result.updateType = 2;
    app->CheckAppVersionReturn(result);
    EXPECT_EQ(alert()->tag(), BrivantaAppDelegate::SuggestedUpdateAlert);
    answer(text("LATER"));
    EXPECT_TRUE(base::UserDefaults::standard()->dateForKey("UpdateVersionSuggest"));
    answer(text("OK"));

    // "UPDATENOW" opens the link.
    result.updateType = 1;
    app->CheckAppVersionReturn(result);
    answer(text("UPDATENOW"));
    EXPECT_EQ(openedURLs, (std::vector<std::string>{"https://example.com/app"}));
}

// The update news over the login form takes every key: the user's name, password and company
// typed while it is up reach none of the fields (the password never shows in the name's
// field); once it is answered the form has the keys again.
TEST_F(NavigationLogoutTest, TheUpdateAlertOverTheLoginFormTakesTheKeys)
{
    std::function<LoginCheckBox*(ui::View&)> findForm = [&](ui::View& view) -> LoginCheckBox* {
        if (auto* form = dynamic_cast<LoginCheckBox*>(&view))
            return form;
        for (const auto& sub : view.subviews())
            if (auto* form = findForm(*sub))
                return form;
        return nullptr;
    };
    LoginCheckBox* form = findForm(*app->window());
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(driver->tap(&form->userNameInputText()));
    driver->type("al");
    ASSERT_TRUE(form->userNameInputText().isFirstResponder());

    app->CheckAppVersionReturn(versionAnswer("200", "", 1, "2.0", "https://example.com/app", "Faster sync."));
    ASSERT_NE(alert(), nullptr);
    settle();
    driver->type("ice\ts3cret!\tAcmeCo");
    driver->pressKey("\b");
    EXPECT_EQ(form->userNameInputText().text(), "al");
    EXPECT_EQ(form->passWordInputText().text(), "");
    EXPECT_EQ(form->clientIDInputText().text(), "");
    EXPECT_NE(alert(), nullptr) << "Tab and text answer no alert";

    answer(text("LATER"));
    answer(text("OK"));
    ASSERT_EQ(alert(), nullptr);
    ASSERT_TRUE(form->userNameInputText().isFirstResponder());
    driver->type("ice\ts3cret!");
    EXPECT_EQ(form->userNameInputText().text(), "alice");
    EXPECT_EQ(form->passWordInputText().text(), "s3cret!");
}

TEST_F(NavigationLogoutTest, MandatoryUpdatesFailuresAndUserAskedChecks)
{
    auto login = LoginMode::sharedInstance();
    login->checkAppVersion(true);
    // The answer is fed by hand: the real request must not answer too.
    NetworkModel::sharedInstance()->cancelAllRequests();
    CheckAppVersionRst mandatory = versionAnswer("200", "", 3, "3.0", "https://example.com/app", "Required.");
    app->CheckAppVersionReturn(mandatory);
    ASSERT_NE(alert(), nullptr);
    EXPECT_EQ(alert()->numberOfButtons(), 1);
    answer(text("UPDATENOW"));
    EXPECT_EQ(openedURLs.size(), 1u);
    mandatory.appUrl = "   ";
    app->CheckAppVersionReturn(mandatory);
    answer(text("UPDATENOW"));
    EXPECT_EQ(openedURLs.size(), 1u);

    // Automatic checks stay silent on failure and when nothing is new.
    for (const char* status : {"999", "115"}) {
        app->CheckAppVersionReturn(versionAnswer(status, Language::stringWithName(status), 0, "", "", ""));
        EXPECT_EQ(alert(), nullptr) << status;
    }
    app->CheckAppVersionReturn(versionAnswer("200", "", 0, "1.0", "", ""));
    EXPECT_EQ(alert(), nullptr);

    // The user who asked hears why a check failed, and that nothing is new.
    login->checkAppVersion(false);
    // The answer is fed by hand: the real request must not answer too.
    NetworkModel::sharedInstance()->cancelAllRequests();
    for (const char* status : {"999", "115"}) {
        app->CheckAppVersionReturn(versionAnswer(status, Language::stringWithName(status), 0, "", "", ""));
        ASSERT_NE(alert(), nullptr) << status;
        EXPECT_EQ(alert()->message(), Language::stringWithName(status));
        EXPECT_NE(alert()->message(), text("LATESTVERSIONMSG"));
        answer(text("OK"));
    }
    app->CheckAppVersionReturn(versionAnswer("200", "", 0, "1.0", "", ""));
    ASSERT_NE(alert(), nullptr);
    EXPECT_EQ(alert()->message(), text("LATESTVERSIONMSG"));
}

TEST_F(NavigationLogoutTest, ABlockedAccountLosesItsLocalDataAndReturnsToLogin)
{
    loginAsDemo("1,1,1,1,1,1,1", 1);
    auto login = LoginMode::sharedInstance();
    login->setClientID("Acme");
    login->setAcountID("ann");
    touch(documents() / "acme");
    touch(documents() / "other");
    auto defaults = base::UserDefaults::standard();
    defaults->setObject(base::Value(base::Array{savedLogin("bob", "Acme"), savedLogin("ann", "Acme"), savedLogin("ann", "Other")}),
                        "Login_Info_Array");
    for (const char* flag : {"FileSynced", "ProductSynced", "CustomerSynced", "IconSynced"})
        defaults->setString("synced", std::string("Acme-") + flag);
    defaults->setString("synced", "Other-ProductSynced");
    auto tabs = showMain();

    app->logoutWithLockedUserMessage("11411", "Your account is blocked.");
    ASSERT_NE(alert(), nullptr);
    EXPECT_EQ(alert()->message(), "Your account is blocked.");
    lockAlertAnsweredOK();
    EXPECT_FALSE(fs::exists(documents() / "acme"));
    EXPECT_TRUE(fs::exists(documents() / "other"));
    auto saved = defaults->arrayForKey("Login_Info_Array");
    ASSERT_TRUE(saved);
    ASSERT_EQ(saved->size(), 2u);
    EXPECT_EQ((*saved)[0]["Input_UserID"].toString(), "bob");
    EXPECT_EQ((*saved)[1]["Input_ClientID"].toString(), "Other");
    for (const char* flag : {"FileSynced", "ProductSynced", "CustomerSynced", "IconSynced"})
        EXPECT_FALSE(defaults->objectForKey(std::string("Acme-") + flag)) << flag;
    EXPECT_TRUE(defaults->objectForKey("Other-ProductSynced"));
    EXPECT_NE(std::dynamic_pointer_cast<WeclomeViewController>(app->window()->rootViewController()), nullptr);
}

TEST_F(NavigationLogoutTest, LockedDevicesAndTheWaitBoxDuringLogin)
{
    loginAsDemo();
    showMain();
    // No message: only the status is kept.
    app->logoutWithLockedUserMessage("207", std::nullopt);
    EXPECT_EQ(alert(), nullptr);
    EXPECT_EQ(app->deviceStatus(), "207");
    touch(documents() / kDemoClient);
    app->logoutWithLockedUserMessage("207", "Device locked.");
    lockAlertAnsweredOK();
    EXPECT_TRUE(fs::exists(documents() / kDemoClient));
    EXPECT_NE(std::dynamic_pointer_cast<WeclomeViewController>(app->window()->rootViewController()), nullptr);
    waitForTheWelcomeScreen(); // its own demo unpacking box is not the login's

    // Locked during login: the welcome screen stays, only its wait box closes.
    auto welcome = app->window()->rootViewController();
    app->logoutWithLockedUserMessage("207", "Device locked.");
    MessageBox::sharedInstance()->BeginBlockWaitTimeout("Logging in", 300);
    ASSERT_NE(MessageBox::sharedInstance()->waitMsgBoxtag(), 0);
    lockAlertAnsweredOK();
    EXPECT_EQ(app->window()->rootViewController(), welcome);
    EXPECT_EQ(MessageBox::sharedInstance()->waitMsgBoxtag(), 0);
}

TEST_F(NavigationLogoutTest, AWipeOrderedWhileALockAlertIsOpenRemovesOnlyRealClientFolders)
{
    loginAsDemo();
    showMain();
    touch(documents() / "acme");
    touch(documents() / "beta");
    touch(documents() / kDemoClient);
    touch(documents() / "wendloft_");
    touch(m_home.path() / "outside");
    auto defaults = base::UserDefaults::standard();
    defaults->setObject(base::Value(base::Array{savedLogin("a", "ACME"), savedLogin("b", "beta"), savedLogin("c", ""),
                                                savedLogin("d", ".."), savedLogin("e", "  ")}),
                        "Login_Info_Array");
    defaults->setString("x", "language-unrelated");

    app->logoutWithLockedUserMessage("11411", "Blocked.");
    app->logoutWithLockedUserMessage("114", "Wipe.");
    EXPECT_EQ(app->deviceStatus(), "114");
    lockAlertAnsweredOK();
    EXPECT_FALSE(fs::exists(documents() / "acme"));
    EXPECT_FALSE(fs::exists(documents() / "beta"));
    EXPECT_TRUE(fs::exists(documents()));
    EXPECT_TRUE(fs::exists(documents() / kDemoClient));
    EXPECT_TRUE(fs::exists(documents() / "wendloft_"));
    EXPECT_TRUE(fs::exists(m_home.path() / "outside" / "data.txt"));
    base::UserDefaults::resetStandard();
    EXPECT_FALSE(base::UserDefaults::standard()->objectForKey("Login_Info_Array"));
    EXPECT_FALSE(base::UserDefaults::standard()->objectForKey("language-unrelated"));
    EXPECT_NE(std::dynamic_pointer_cast<WeclomeViewController>(app->window()->rootViewController()), nullptr);
}

TEST_F(NavigationLogoutTest, ShowingTheSyncTabStartsThePendingSyncATenthOfASecondLater)
{
    loginAsDemo();
    auto tabs = showMain();
    auto sync = std::dynamic_pointer_cast<SyncViewController>(
        std::dynamic_pointer_cast<ui::NavigationController>(tabs->viewControllers()[6])->viewControllers().front());
    ASSERT_NE(sync, nullptr);
    EXPECT_EQ(SyncModel::sharedInstance()->delegate(), sync);
    double start = base::RunLoop::main().now();
    app->showSyncController();
    EXPECT_EQ(tabs->selectedIndex(), 6u);
    base::RunLoop::main().advance(0.099);
    EXPECT_EQ(sync->startSyncDataCalls(), 0);
    base::RunLoop::main().advance(start + 0.1 + 1e-6 - base::RunLoop::main().now());
    EXPECT_EQ(sync->startSyncDataCalls(), 1);

    // A screen that will not give up what is being typed in it keeps its tab, and no sync starts.
    struct Typing : BaseViewController {
        bool takeTyping(bool) override { return false; }
    };
    tabs->selectTab(5);
    auto orders = std::dynamic_pointer_cast<ui::NavigationController>(tabs->viewControllers()[5]);
    ASSERT_NE(orders, nullptr);
    orders->pushViewController(std::make_shared<Typing>(), false);
    app->showSyncController();
    EXPECT_EQ(tabs->selectedIndex(), 5u);
    base::RunLoop::main().advance(0.2);
    EXPECT_EQ(sync->startSyncDataCalls(), 1);
}

} // namespace
