#include "App/BrivantaAppDelegate.h"

#include "App/UITabBarControllerExt.h"
#include "Classes/Catalog/DetailViewController.h"
#include "Classes/Catalog/ProductDetailController.h"
#include "Classes/Catalog/MasterViewController.h"
#include "Classes/Customer/CustomerDataModel.h"
#include "Classes/Customer/CustomerViewController.h"
#include "Classes/Library/Reader/PdfThumbOperation.h"
#include "Classes/Library/Reader/PdfThumbQueue.h"
#include "Classes/Library/SaleslibraryModel.h"
#include "Classes/Order/QuoteOrderStore.h"
#include "Common/BrivantaNavigationController.h"
#include "Common/ConfigManager.h"
#include "Common/Language.h"
#include "Common/LanguageManager.h"
#include "Common/MessageBox.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Database/DataAccessManager.h"
#include "Database/QuoteOrderModel.h"
#include "Database/UnsentWork.h"
#include "Network/BRHTTPRequest.h"
#include "Network/Reachability.h"
#include "Platform/Base/Bundle.h"
#include "Platform/Base/Date.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Paths.h"
#include "Platform/Base/Text.h"
#include "Platform/Base/Timer.h"
#include "Platform/Base/UserDefaults.h"
#include "Platform/Net/URL.h"
#include "Platform/UI/TerminateHook.h"
#include "Platform/UI/Window.h"
#include "Protocol/CheckAppVersionRst.h"
#include "Protocol/LoginMode.h"
#include "Protocol/NetworkModel.h"
#include "Protocol/SyncModel.h"
#include "Classes/Login/WeclomeViewController.h"

#include <algorithm>
#include <cctype>

namespace {

std::string trimmed(const std::string& text)
{
    auto first = std::find_if_not(text.begin(), text.end(), [](unsigned char c) { return std::isspace(c); });
    auto last = std::find_if_not(text.rbegin(), text.rend(), [](unsigned char c) { return std::isspace(c); }).base();
    return first < last ? std::string(first, last) : std::string();
}

// Escapes what may not stand in an address, keeping its delimiters (UTF-8, upper-case hex).
std::string escapeForURL(const std::string& text)
{
    return net::percentEncode(text, ":/?&=@!$'()*+,;");
}

void reportUncaughtException(const ui::UncaughtException& exception)
{
    std::string stack;
    for (size_t i = 0; i < exception.callStack.size(); ++i)
        stack += (i ? "<br>" : "") + exception.callStack[i];
    base::log(BrivantaAppDelegate::exceptionLogLine(exception.name, exception.reason, stack));
    ui::Application::shared().openURL(BrivantaAppDelegate::exceptionMailURL(exception.name, exception.reason, stack));
}

} // namespace

BrivantaAppDelegate::BrivantaAppDelegate() : m_window(std::make_shared<ui::Window>()) {}

BrivantaAppDelegate::~BrivantaAppDelegate()
{
    if (m_hostReach)
        m_hostReach->stopNotifier();
    for (auto& weak : m_alerts)
        if (auto alert = weak.lock())
            alert->setDelegate(nullptr);
}

std::shared_ptr<BrivantaAppDelegate> BrivantaAppDelegate::sharedAppDelegate()
{
    return std::dynamic_pointer_cast<BrivantaAppDelegate>(ui::Application::shared().delegate());
}

bool BrivantaAppDelegate::didFinishLaunching(ui::Application&)
{
    // The catalogue's grid, search and popups open product pages through this.
    ProductDetailController::installPageMaker();
    auto defaults = base::UserDefaults::standard();
    LanguageManager::sharedInstance()->setCurrentLanguage(static_cast<int>(defaults->integerForKey("language")));

    std::string version = base::Bundle::shortVersion();
    std::optional<std::string> stored = defaults->stringForKey("App_version");
    bool hasKorv = defaults->objectForKey("Z_KORV_SHORTCUT").has_value();
    bool hasWendloft = defaults->objectForKey("WENDLOFT_SHORTCUT").has_value();
    if (!hasKorv || !hasWendloft) {
        defaults->setBool(true, "Z_KORV_SHORTCUT");
        defaults->setBool(true, "WENDLOFT_SHORTCUT");
        defaults->synchronize();
    }

    if (stored && !trimmed(*stored).empty() && *stored == version) {
        PublicFunction::changeAllClientFolderToLower();
    } else {
        defaults->setString(version, "App_version");
        PublicFunction::resetUserSetting();
        defaults->synchronize();
        PublicFunction::moveAllClientFolderToDocuments();
        SkinManager::sharedInstance()->setNeedUpdateDemo(true);
    }

    // Before any database opens: unsent work a full sync cut short left aside.
    UnsentWork::recoverAsideFolders();
    // Before any request: what transfers and cookie writes cut short left behind.
    BRHTTPRequest::removeLeftoverTemporaryFiles();

    PublicFunction::GetServer();
    m_currentVersion = version;

    std::weak_ptr<BrivantaAppDelegate> weak = weak_from_this();
    m_reachabilityObserver = base::NotificationCenter::defaultCenter().addObserver(
        kReachabilityChangedNotification, nullptr, [weak](const base::Notification& note) {
            if (auto self = weak.lock())
                self->reachabilityChanged(note);
        });
    m_hostReach = Reachability::reachabilityWithHostName(kWatchedHostName);
    if (m_hostReach)
        m_hostReach->startNotifier();

    ui::setUncaughtExceptionHandler(reportUncaughtException);
    ui::Application::shared().setOpenURLFailureHandler(reportUnopenedURL);
    QuoteOrderModel::setCustomerOnShowHook([] { return QuoteOrderStore::sharedQuoteOrderStore()->isCustomerOnShow(); });
    CustomerDataModel::installOrderUploadHook();

    m_window->setRootViewController(std::make_shared<WeclomeViewController>());
    m_window->makeKeyAndVisible();
    return true;
}

void BrivantaAppDelegate::reportUnopenedURL(const std::string& url)
{
    MessageBox::sharedInstance()->showMessageBoxWithTitleMessageDelegateCancelButtonTitleMsgBoxType(
        Language::stringWithName("NOTIFICATION"), Language::stringWithName("CANNOTOPENURL") + "\n" + url, nullptr,
        Language::stringWithName("OK"), MessageBox::Alert);
}

void BrivantaAppDelegate::reachabilityChanged(const base::Notification& notification)
{
    auto monitor = std::static_pointer_cast<Reachability>(notification.object);
    if (!monitor)
        return;
    auto& center = base::NotificationCenter::defaultCenter();
    switch (monitor->currentReachabilityStatus()) {
    case 2:
        LoginMode::sharedInstance()->setIsNotWifi(false);
        center.post("netconnect");
        break;
    case 1:
        LoginMode::sharedInstance()->setIsNotWifi(true);
        center.post("netconnect");
        break;
    case 0:
        center.post("netUnconnect");
        break;
    default:
        break;
    }
}

void BrivantaAppDelegate::didEnterBackground(ui::Application&)
{
    base::NotificationCenter::defaultCenter().post("AppWillEnterBackgound");
}

void BrivantaAppDelegate::willEnterForeground(ui::Application&)
{
    LoginMode::sharedInstance()->checkDeviceStatus();
    base::NotificationCenter::defaultCenter().post("AppWillEnterForegroud");
}

void BrivantaAppDelegate::willTerminate(ui::Application&)
{
    // Closing the window is how a day ends on a desktop.
    keepOpenWork();
}

void BrivantaAppDelegate::keepOpenWork()
{
    // Whatever screen is up, a document over the tab bar included: each editor keeps only
    // into the database it was made under, so one a logout left behind stores nothing into
    // whoever logs in next. The customer first, as an order may name it.
    CustomerViewController::keepOpenForm();
    QuoteOrderStore::keepOpenOrder();
}

bool BrivantaAppDelegate::isMainScreenShown() const
{
    // The tab bar stays the main screen while documents are pushed above it.
    auto root = m_window->rootViewController();
    auto nav = std::dynamic_pointer_cast<ui::NavigationController>(root);
    return std::dynamic_pointer_cast<UITabBarControllerExt>(root)
           || (nav && !nav->viewControllers().empty()
               && std::dynamic_pointer_cast<UITabBarControllerExt>(nav->viewControllers().front()));
}

void BrivantaAppDelegate::showViewOnRoot(const std::shared_ptr<ui::View>& view)
{
    if (m_tabBarController && view)
        m_tabBarController->view()->addSubview(view);
}

void BrivantaAppDelegate::showMainController()
{
    if (isMainScreenShown())
        return;
    auto tabs = UITabBarControllerExt::create();
    auto mainRoot = std::make_shared<BrivantaNavigationController>(tabs);
    mainRoot->setNavigationBarHidden(true);
    setTabBarController(tabs);
    m_window->setRootViewController(mainRoot);
}

void BrivantaAppDelegate::showSyncController()
{
    if (m_tabBarController) {
        m_tabBarController->selectTab(6);
        // The shown screen refused to give up what is being typed: it stays, and no sync
        // starts beneath it.
        if (m_tabBarController->selectedIndex() != 6)
            return;
    }
    // Later, so that the sync screen is on screen when it is asked to start.
    std::weak_ptr<BrivantaAppDelegate> weak = weak_from_this();
    base::Timer::scheduled(0.1, false, [weak](base::Timer&) {
        if (auto self = weak.lock())
            self->startSync();
    });
}

void BrivantaAppDelegate::startSync()
{
    SyncModel::sharedInstance()->startSyncData();
}

void BrivantaAppDelegate::showLoginPage()
{
    logOut(true);
}

void BrivantaAppDelegate::logOut(bool keepWork)
{
    static const std::pair<const char*, void (*)()> kReleaseSteps[] = {
        {"LoginMode", [] { LoginMode::freeInstance(); }},
        {"SaleslibraryModel", [] { SaleslibraryModel::freeInstance(); }},
        // The documents of the user leaving are drawn no further.
        {"PdfThumbQueue", [] { PdfThumbQueue::sharedInstance().cancelAllOperations(); PdfThumbReleaseRenderDocument(); }},
        {"NetworkModel", [] { NetworkModel::sharedInstance()->cancelAllRequests(); }},
        {"SyncModel", [] { SyncModel::freeInstance(); }},
        {"DataAccessManager", [] { DataAccessManager::releaseDataModel(); }},
        {"ConfigManager", [] { ConfigManager::freeInstance(); }},
        {"MasterViewController", [] { MasterViewController::resetCurrentState(); DetailViewController::resetSharedState(); }},
        {"QuoteOrderStore", [] { QuoteOrderStore::freeInstance(); }},
        {"CustomerDataModel", [] { CustomerDataModel::freeInstance(); }},
        {"LanguageManager", [] { LanguageManager::sharedInstance()->removeAllLanugageNotification(); }},
    };
    auto keep = shared_from_this();
    // Stored as the program's end stores it, while the leaving user's database is still the
    // open one.
    if (keepWork)
        keepOpenWork();
    // What is being typed ends while the user's data is still there, not once it is gone.
    if (m_tabBarController)
        m_tabBarController->shownScreenTakesTyping(true);
    for (auto& [name, release] : kReleaseSteps) {
        release();
        if (m_logoutStepObserver)
            m_logoutStepObserver(name);
    }
    m_window->setRootViewController(std::make_shared<WeclomeViewController>());
}

void BrivantaAppDelegate::showAlert(int tag, const std::string& title, const std::string& message, const std::string& cancel,
                                    const std::vector<std::string>& others, bool withDelegate)
{
    auto alert = std::make_shared<ui::AlertView>(title, message, withDelegate ? this : nullptr, cancel, others);
    alert->setTag(tag);
    if (withDelegate) {
        std::erase_if(m_alerts, [](auto& weak) { return weak.expired(); });
        m_alerts.push_back(alert);
    }
    if (tag >= OptionalUpdateAlert)
        PublicFunction::setTextAlignmentForAlertView(gfx::TextAlignment::Left, alert.get());
    alert->show();
}

void BrivantaAppDelegate::logoutWithLockedUserMessage(const std::string& status, const std::optional<std::string>& message)
{
    m_deviceStatus = status;
    if (message && (status == "11411" || status == "207"))
        showAlert(LockedAlert, Language::stringWithName("NOTIFICATION"), *message, Language::stringWithName("OK"), {}, true);
}

void BrivantaAppDelegate::CheckAppVersionReturn(const CheckAppVersionRst& result)
{
    auto login = LoginMode::sharedInstance();
    bool automatic = login->checkLocalVersion();
    // A failed check is no news of a version: the user who asked hears why, an automatic
    // check stays silent.
    if (result.status != "200") {
        if (!automatic)
            showAlert(0, Language::stringWithName("NOTIFICATION"), result.message, Language::stringWithName("OK"), {}, false);
        return;
    }
    if (!login->isNeedCheckVersionAlert(result.updateType))
        return;
    std::string title = Language::stringWithName("NEWVERSIONFOUND") + " " + result.appVersion;
    m_appUrl = result.appUrl;
    switch (result.updateType) {
    case 3:
        showAlert(MandatoryUpdateAlert, title, result.updateMessage(), Language::stringWithName("UPDATENOW"), {}, true);
        break;
    case 2:
    case 1:
        showAlert(result.updateType == 1 ? OptionalUpdateAlert : SuggestedUpdateAlert, title, result.updateMessage(),
                  Language::stringWithName("LATER"), {Language::stringWithName("UPDATENOW")}, true);
        break;
    default:
        if (!automatic)
            showAlert(0, Language::stringWithName("NOTIFICATION"), Language::stringWithName("LATESTVERSIONMSG"),
                      Language::stringWithName("OK"), {}, false);
        break;
    }
}

void BrivantaAppDelegate::openUpdateLink()
{
    if (!trimmed(m_appUrl).empty())
        ui::Application::shared().openURL(m_appUrl);
}

void BrivantaAppDelegate::wipeLockedDevice()
{
    auto defaults = base::UserDefaults::standard();
    if (auto saved = defaults->arrayForKey("Login_Info_Array")) {
        for (auto& login : *saved) {
            std::string client = login["Input_ClientID"].toString();
            // Only through the client-folder rule: a blank or path-like id must not reach
            // Documents itself or beyond it.
            auto folder = PublicFunction::clientFolderPath(client);
            if (!folder) {
                base::logf("not a client folder, nothing removed: %s", client.c_str());
                continue;
            }
            if (base::FileManager::exists(*folder))
                base::FileManager::removeRecursively(*folder, base::Paths::documents());
        }
    }
    PublicFunction::clearUserDefault();
}

void BrivantaAppDelegate::alertViewClickedButtonAtIndex(ui::AlertView& alert, int index)
{
    auto keep = shared_from_this();
    switch (alert.tag()) {
    case OptionalUpdateAlert:
    case SuggestedUpdateAlert:
        if (index == 1) {
            openUpdateLink();
        } else if (index == 0) {
            auto defaults = base::UserDefaults::standard();
            defaults->setObject(base::Value(base::Date::now()),
                                alert.tag() == OptionalUpdateAlert ? "UpdateVersionSign" : "UpdateVersionSuggest");
            defaults->synchronize();
            showAlert(0, Language::stringWithName("NOTIFICATION"), Language::stringWithName("CANCELUPDATEMSG"),
                      Language::stringWithName("OK"), {}, false);
        }
        break;
    case MandatoryUpdateAlert:
        openUpdateLink();
        break;
    case LockedAlert: {
        // The account's data is gone: what is being written goes with it.
        bool dataRemoved = m_deviceStatus == "114" || m_deviceStatus == "11411";
        if (m_deviceStatus == "114")
            wipeLockedDevice();
        else if (m_deviceStatus == "11411")
            LoginMode::sharedInstance()->removeBlockAccount();
        if (!std::dynamic_pointer_cast<WeclomeViewController>(m_window->rootViewController()))
            logOut(!dataRemoved);
        else
            MessageBox::sharedInstance()->EndBlockWait();
        break;
    }
    default:
        break;
    }
}

std::string BrivantaAppDelegate::exceptionLogLine(const std::string& name, const std::string& reason, const std::string& stack)
{
    return "the name is " + name + ",the reason is " + reason + ",the arr is " + stack;
}

std::string BrivantaAppDelegate::exceptionMailURL(const std::string& name, const std::string& reason, const std::string& stack)
{
    // Appended piece by piece: a chain of + on literals trips a false array-bounds warning in gcc 12.
    std::string text = "mailto://";
    text += kSupportAddress;
    text += "?subject=bug report&body=Thanks to your help!<br><br><br>error detail:<br>";
    text += name;
    text += "<br>--------------------------<br>";
    text += reason;
    text += "<br>---------------------<br>";
    text += stack;
    return escapeForURL(text);
}
