#include "App/BrivantaAppDelegate.h"

#include "Classes/Order/QuoteOrderStore.h"
#include "Common/LanguageManager.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Database/QuoteOrderModel.h"
#include "Network/Reachability.h"
#include "Platform/Base/Bundle.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/UserDefaults.h"
#include "Platform/UI/TerminateHook.h"
#include "Platform/UI/Window.h"
#include "Protocol/LoginMode.h"
#include "Protocol/WeclomeViewController.h"

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
    static const std::string keep = "-._~:/?&=@!$'()*+,;";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || keep.find(static_cast<char>(c)) != std::string::npos) {
            out.push_back(static_cast<char>(c));
        } else {
            static const char* hex = "0123456789ABCDEF";
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        }
    }
    return out;
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
}

std::shared_ptr<BrivantaAppDelegate> BrivantaAppDelegate::sharedAppDelegate()
{
    return std::dynamic_pointer_cast<BrivantaAppDelegate>(ui::Application::shared().delegate());
}

bool BrivantaAppDelegate::didFinishLaunching(ui::Application&)
{
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
    QuoteOrderModel::setCustomerOnShowHook([] { return QuoteOrderStore::sharedQuoteOrderStore()->isCustomerOnShow(); });

    m_window->setRootViewController(std::make_shared<WeclomeViewController>());
    m_window->makeKeyAndVisible();
    return true;
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

void BrivantaAppDelegate::showViewOnRoot(const std::shared_ptr<ui::View>& view)
{
    // The main tab bar arrives with the navigation between login and main screen.
    (void)view;
}

std::string BrivantaAppDelegate::exceptionLogLine(const std::string& name, const std::string& reason, const std::string& stack)
{
    return "the name is " + name + ",the reason is " + reason + ",the arr is " + stack;
}

std::string BrivantaAppDelegate::exceptionMailURL(const std::string& name, const std::string& reason, const std::string& stack)
{
    std::string text = std::string("mailto://") + kSupportAddress +
                       "?subject=bug report&body=Thanks to your help!<br><br><br>error detail:<br>" + name +
                       "<br>--------------------------<br>" + reason + "<br>---------------------<br>" + stack;
    return escapeForURL(text);
}
