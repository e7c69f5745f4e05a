#pragma once
#include <memory>
#include <string>

// The screen that started a login; every operation is optional.
class LoginModelDelegate {
public:
    virtual ~LoginModelDelegate() = default;
    virtual void loginSuccess() {}
    virtual void loginErroWithMessage(const std::string& message) {}
    virtual void changeLoginButState() {}
};

// The login state: who is logged in, to which client, and how. One shared instance, dropped
// at logout so that the next use starts clean.
class LoginMode {
public:
    static std::shared_ptr<LoginMode> sharedInstance();
    static void freeInstance();

    std::weak_ptr<LoginModelDelegate> delegate() const { return m_delegate; }
    void setDelegate(std::weak_ptr<LoginModelDelegate> delegate) { m_delegate = std::move(delegate); }

    // Texts are empty until a login sets them.
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
    bool needUpdate() const { return m_needUpdate; }
    void setNeedUpdate(bool v) { m_needUpdate = v; }
    bool needUpdateSkin() const { return m_needUpdateSkin; }
    void setNeedUpdateSkin(bool v) { m_needUpdateSkin = v; }
    int userAccess() const { return m_userAccess; }
    void setUserAccess(int v) { m_userAccess = v; }

    // Asks the server whether this device or user was locked; only after an online login.
    void checkDeviceStatus();
    // Every call, and the calls that went on to ask the server (the launch and its tests
    // watch these until the device-status command is built).
    int checkDeviceStatusCalls() const { return m_checkDeviceStatusCalls; }
    int deviceStatusRequests() const { return m_deviceStatusRequests; }

    // Asks the server for a newer version; `automatic` is NO when the user asked.
    void checkAppVersion(bool automatic);
    int versionCheckRequests() const { return m_versionCheckRequests; }
    // Whether the answer of that update type may be shown now. A user-asked check always may;
    // an optional update the user put off (types 1 and 2) waits seven days.
    bool isNeedCheckVersionAlert(int updateType);

    // A blocked account's local data: the client's folder, its saved login and sync flags.
    void removeBlockAccount();
    void removeAllSyncFlag();

private:
    void sendCheckDeviceStatus();

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

    int m_checkDeviceStatusCalls = 0;
    int m_deviceStatusRequests = 0;
    int m_versionCheckRequests = 0;
};
