#pragma once
#include "Platform/Base/NotificationCenter.h"
#include "Platform/UI/AlertView.h"
#include "Protocol/DownloadProgressDelegate.h"
#include "Protocol/LoginInfo.h"
#include "Protocol/NetworkRecDelegate.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class LoginRst;
class NetBaseRst;
class RequestInterfaceBase;

// The screen that started a login; every operation is optional.
class LoginModelDelegate {
public:
    virtual ~LoginModelDelegate() = default;
    virtual void loginSuccess() {}
    virtual void loginErroWithMessage(const std::string& message) {}
    virtual void changeLoginButState() {}
};

// The login state: who is logged in, to which client, and how; and the login roads (online,
// offline, demo), the configuration and skin that follow an online login, the device and
// version checks and the quiet re-login when the network returns. One shared instance,
// dropped at logout so that the next use starts clean. Main thread.
class LoginMode : public NetworkRecDelegate,
                  public DownloadProgressDelegate,
                  public ui::AlertViewDelegate,
                  public std::enable_shared_from_this<LoginMode> {
public:
    static constexpr int kStayOfflineAlertTag = 256;

    static std::shared_ptr<LoginMode> sharedInstance();
    static void freeInstance();
    ~LoginMode() override;

    // How long a login's wait box stays before it ends the login: 300 s, or the whole seconds
    // BRIVANTA_LOGIN_WAIT_SECONDS names (set only by the checks, to run that road in seconds).
    static double waitBoxSeconds();

    std::weak_ptr<LoginModelDelegate> delegate() const { return m_delegate; }
    void setDelegate(std::weak_ptr<LoginModelDelegate> delegate) { m_delegate = std::move(delegate); }

    // Texts are empty until a login sets them. The password is the digest the login command
    // sends (lower-case MD5 text), never the typed text.
    const std::string& acountID() const { return m_acountID; }
    void setAcountID(std::string v) { m_acountID = std::move(v); }
    const std::string& password() const { return m_password; }
    void setPassword(std::string v) { m_password = std::move(v); }
    const std::string& clientID() const { return m_clientID; }
    void setClientID(std::string v) { m_clientID = std::move(v); }
    const std::string& deviceID() const { return m_deviceID; }
    void setDeviceID(std::string v) { m_deviceID = std::move(v); }
    const std::string& email() const { return m_email; }
    void setEmail(std::string v) { m_email = std::move(v); }
    const std::string& companyName() const { return m_companyName; }
    void setCompanyName(std::string v) { m_companyName = std::move(v); }
    const std::string& companyLink() const { return m_companyLink; }
    void setCompanyLink(std::string v) { m_companyLink = std::move(v); }
    const std::string& sessionId() const { return m_sessionId; }
    void setSessionId(std::string v) { m_sessionId = std::move(v); }

    int vendorId() const { return m_vendorId; }
    void setVendorId(int v) { m_vendorId = v; }
    // 1 online, 2 offline, 3 demo, -1 not logged in.
    int loginType() const { return m_loginType; }
    void setLoginType(int v) { m_loginType = v; }
    bool checkLocalVersion() const { return m_checkLocalVersion; }
    void setCheckLocalVersion(bool v) { m_checkLocalVersion = v; }
    // YES while the network is reachable only through the carrier network.
    bool isNotWifi() const { return m_isNotWifi; }
    void setIsNotWifi(bool v) { m_isNotWifi = v; }
    bool fromInput() const { return m_fromInput; }
    void setFromInput(bool v) { m_fromInput = v; }
    bool autoLogin() const { return m_autoLogin; }
    bool needUpdate() const { return m_needUpdate; }
    void setNeedUpdate(bool v) { m_needUpdate = v; }
    bool needUpdateSkin() const { return m_needUpdateSkin; }
    void setNeedUpdateSkin(bool v) { m_needUpdateSkin = v; }
    int userAccess() const { return m_userAccess; }
    void setUserAccess(int v) { m_userAccess = v; }
    // A new record of the current account on every read.
    LoginInfo loginInfo() const;
    // A login is on its way (from login: to its last step); a second one is ignored meanwhile.
    bool isLoginPending() const { return m_loginPending; }

    // Online login with the form's (or a tile's) credentials; the caller has opened the wait
    // box. Ignored while another login is pending. Should the wait box close by its time-out
    // first, the login ends there (waitTimedOut).
    void login(const LoginInfo& info, bool fromInput, bool autoLogin);
    // The login's wait box closed by its time-out: its requests still out (the login, the
    // configuration, the skin archive) are cancelled, the failure of a network that did not
    // answer is told, and the form is given back; a later login starts afresh.
    void waitTimedOut();
    // The demo tenant's data, without a server.
    void loginWithDemo(const std::string& tenant);

    // Asks the server whether this device or user was locked; only after an online login.
    void checkDeviceStatus();
    // Asks the server for a newer version; `automatic` is NO when the user asked.
    void checkAppVersion(bool automatic);
    // Whether the answer of that update type may be shown now. A user-asked check always may;
    // an optional update the user put off (types 1 and 2) waits seven days.
    bool isNeedCheckVersionAlert(int updateType);
    // Online only: the user info (265) and the runtime configuration (261).
    void getUserinfo();
    void getRuntimeConfig();
    // Confirms a part of the sync (517), whatever the login type.
    void syncFinishedtype(const std::string& tableType);

    // A blocked account's local data: the client's folder, its saved login and sync flags.
    void removeBlockAccount();
    void removeAllSyncFlag();
    // Brings the saved-login list up to this login.
    void refreshLastLogininfo();
    // The per-client version stamp: a new version deletes the skin, upgrades the tables and
    // makes the download folders.
    void versionCompare();
    // The server's form of the client id, when it is one safe folder name; else the typed one
    // stays. Every sender of its own login command uses it.
    void takeServerClientID(const LoginRst& answer);

    // Wait box "SYNUSERCONFIG", then the configuration request 1.5 s later.
    void showRequestConfigTittle();
    void requestConfig();

    int ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>& result) override;
    void ReciveDownloadPercent(const DownLoadRequestInfo& info) override;
    void alertViewClickedButtonAtIndex(ui::AlertView& alert, int index) override;

    // "netconnect": a quiet re-login; "netUnconnect": offline unless in the demo.
    void netConnected();
    void netUnconnect();

private:
    LoginMode() = default;
    void observeNetwork();
    std::shared_ptr<LoginModelDelegate> liveDelegate() const { return m_delegate.lock(); }
    void sendLogin();
    void refreshSavedLogins(bool renewCredential);
    void loginAnswer(const LoginRst& answer);
    void quietLoginAnswer(const LoginRst& answer);
    // The state fields of a "200" login answer.
    void takeAcceptedLogin(const LoginRst& answer);
    void onlineLoginSucceeded(const LoginRst& answer);
    void offlineRefusal(const LoginRst& answer);
    void offlineCompletion(const std::string& notice);
    void configAnswer(const NetBaseRst& result);
    void skinAnswer(const NetBaseRst& result);
    // The skin folder is there and the server has not marked a newer one.
    bool skinIsCurrent() const;
    void requestSkin();
    void userInfoAnswer(const NetBaseRst& result);
    void runtimeConfigAnswer(const NetBaseRst& result);
    // Sets the module list from the configuration row; NO when it is missing or blank.
    bool takeModuleList();
    // Ends a login that goes no further with that message.
    void failLogin(const std::string& message);
    void finishLogin() { m_loginPending = false; }
    // Sends a command of the pending login, kept to be cancelled should its wait box time out.
    int sendForLogin(const std::shared_ptr<RequestInterfaceBase>& command);
    // What the login's wait box runs at its time-out.
    std::function<void()> waitTimeOutHandler();
    // Whether a delayed step still belongs to the login that scheduled it.
    std::function<bool()> stillThisLogin();
    std::optional<std::string> clientFolder() const;
    // A full resync keeps the work not yet sent: the old folder waits aside until it is copied.
    bool moveClientFolderAside();
    bool carryUnsentWork();
    void restoreClientFolder();
    void dropAsideFolder();

    std::weak_ptr<LoginModelDelegate> m_delegate;
    std::string m_acountID;
    std::string m_password;
    std::string m_clientID;
    std::string m_deviceID;
    std::string m_email;
    std::string m_companyName;
    std::string m_companyLink;
    std::string m_sessionId;
    int m_vendorId = 0;
    int m_loginType = -1;
    bool m_autoLogin = false;
    bool m_checkLocalVersion = false;
    bool m_isNotWifi = false;
    bool m_fromInput = false;
    bool m_needUpdate = false;
    bool m_needUpdateSkin = false;
    int m_userAccess = 0;

    bool m_loginPending = false;
    // Counts the logins begun and ended by a time-out: a delayed step of an earlier one does
    // nothing.
    int m_loginRound = 0;
    std::vector<std::weak_ptr<RequestInterfaceBase>> m_loginCommands;
    // The pending login is the quiet one of a returning network: it touches nothing open.
    bool m_quietLogin = false;
    bool m_quietConfig = false;
    bool m_quietSkin = false;
    std::optional<std::string> m_asideFolder;
    base::Value m_savedBeforeResync;
    base::ObserverToken m_netConnectObserver;
    base::ObserverToken m_netUnconnectObserver;
    std::weak_ptr<ui::AlertView> m_stayOfflineAlert;
};
