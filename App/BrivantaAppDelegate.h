#pragma once
#include "Common/AppSession.h"
#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Application.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ui {
class View;
class Window;
}
class Reachability;
class UITabBarControllerExt;
class CheckAppVersionRst;

// The application delegate and the holder of the application-wide state.
class BrivantaAppDelegate : public ui::ApplicationDelegate,
                            public ui::AlertViewDelegate,
                            public AppSession,
                            public std::enable_shared_from_this<BrivantaAppDelegate> {
public:
    // The host the reachability monitor watches, and where error reports go.
    static constexpr const char* kWatchedHostName = "www.example.com";
    static constexpr const char* kSupportAddress = "support@brivanta.app";

    enum AlertTag { LockedAlert = 8000, OptionalUpdateAlert = 8001, SuggestedUpdateAlert = 8002, MandatoryUpdateAlert = 8003 };

    BrivantaAppDelegate();
    ~BrivantaAppDelegate() override;

    // The running application's delegate; null before launch.
    static std::shared_ptr<BrivantaAppDelegate> sharedAppDelegate();

    bool didFinishLaunching(ui::Application& application) override;
    void didEnterBackground(ui::Application& application) override;
    void willEnterForeground(ui::Application& application) override;
    void willTerminate(ui::Application& application) override;

    void reachabilityChanged(const base::Notification& notification);
    // Adds the view on top of the main tab bar's view, when there is one.
    void showViewOnRoot(const std::shared_ptr<ui::View>& view);

    // The main tab bar becomes the root, unless it already is.
    void showMainController() override;
    // The sync tab, then startSync a moment later, once its screen is up.
    void showSyncController();
    void startSync();
    // Logout: the order being written and the customer form are kept as the program's end
    // keeps them, then every per-login service is released and a new welcome screen is the root.
    void showLoginPage() override;
    // Told after each release step of the logout, by name (tests follow the order).
    void setLogoutStepObserver(std::function<void(std::string_view)> observer) { m_logoutStepObserver = std::move(observer); }
    // Records the status; "11411" and "207" with a message are shown, and answering them
    // leads back to the login screen.
    void logoutWithLockedUserMessage(const std::string& status, const std::optional<std::string>& message) override;
    void CheckAppVersionReturn(const CheckAppVersionRst& result) override;
    void alertViewClickedButtonAtIndex(ui::AlertView& alert, int index) override;

    // Tells the user that no program could open the address, and shows it so that it can be
    // typed into a browser by hand.
    static void reportUnopenedURL(const std::string& url);

    // The report an uncaught exception produces: the log line and the mail address opened.
    static std::string exceptionLogLine(const std::string& name, const std::string& reason, const std::string& stack);
    static std::string exceptionMailURL(const std::string& name, const std::string& reason, const std::string& stack);

    std::shared_ptr<ui::Window> window() const override { return m_window; }
    void setWindow(std::shared_ptr<ui::Window> window) { m_window = std::move(window); }
    std::shared_ptr<UITabBarControllerExt> tabBarController() const { return m_tabBarController; }
    void setTabBarController(std::shared_ptr<UITabBarControllerExt> controller) { m_tabBarController = std::move(controller); }
    const std::string& currentVersion() const override { return m_currentVersion; }
    void setCurrentVersion(const std::string& version) { m_currentVersion = version; }
    const std::string& deviceStatus() const { return m_deviceStatus; }
    void setDeviceStatus(const std::string& status) { m_deviceStatus = status; }
    const std::string& appUrl() const { return m_appUrl; }
    void setAppUrl(const std::string& url) { m_appUrl = url; }
    bool isDisplayFiveColum() const { return m_isDisplayFiveColum; }
    void setIsDisplayFiveColum(bool on) { m_isDisplayFiveColum = on; }
    bool isFileDisPlayTwoColumn() const { return m_isFileDisPlayTwoColumn; }
    void setIsFileDisPlayTwoColumn(bool on) override { m_isFileDisPlayTwoColumn = on; }
    bool EditStatus() const { return m_editStatus; }
    void setEditStatus(bool on) { m_editStatus = on; }
    std::shared_ptr<Reachability> hostReach() const { return m_hostReach; }

private:
    void showAlert(int tag, const std::string& title, const std::string& message, const std::string& cancel,
                   const std::vector<std::string>& others, bool withDelegate);
    void openUpdateLink();
    void wipeLockedDevice();
    // KEEPWORK NO: a lock removed the account's data, and nothing is stored.
    void logOut(bool keepWork);
    // The customer form and the order being written stored, asking nothing.
    void keepOpenWork();
    bool isMainScreenShown() const;

    bool m_isDisplayFiveColum = false;
    bool m_isFileDisPlayTwoColumn = false;
    bool m_editStatus = false;
    std::shared_ptr<Reachability> m_hostReach;
    std::string m_currentVersion;
    std::string m_deviceStatus;
    std::string m_appUrl;
    std::shared_ptr<UITabBarControllerExt> m_tabBarController;
    std::shared_ptr<ui::Window> m_window;
    base::ObserverToken m_reachabilityObserver;
    std::function<void(std::string_view)> m_logoutStepObserver;
    std::vector<std::weak_ptr<ui::AlertView>> m_alerts;
};
