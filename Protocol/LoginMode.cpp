#include "Protocol/LoginMode.h"

#include "Common/AppSession.h"
#include "Common/ConfigManager.h"
#include "Common/Language.h"
#include "Common/MessageBox.h"
#include "Common/PublicFunction.h"
#include "Common/SkinManager.h"
#include "Database/DataAccessManager.h"
#include "Database/UnsentWork.h"
#include "Platform/Base/Bundle.h"
#include "Platform/Base/Date.h"
#include "Platform/Base/Digest.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Paths.h"
#include "Platform/Base/Text.h"
#include "Platform/Base/Timer.h"
#include "Platform/Base/UserDefaults.h"
#include "Platform/UI/Window.h"
#include "Protocol/CheckAppVersionRst.h"
#include "Protocol/ConfigRst.h"
#include "Protocol/DownLoadRequestInfo.h"
#include "Protocol/GetUserinfoRst.h"
#include "Protocol/LoginRst.h"
#include "Protocol/NetworkModel.h"
#include "Protocol/RequestCheckDeviceStatus.h"
#include "Protocol/RequestCheckVersion.h"
#include "Protocol/RequestConfig.h"
#include "Protocol/RequestDownload.h"
#include "Protocol/RequestGetUserinfo.h"
#include "Protocol/RequestLogin.h"
#include "Protocol/RequestRuntimeConfig.h"
#include "Protocol/RequestSyncDataFinish.h"
#include "Protocol/SavedLogins.h"
#include "Protocol/ServerCommands.h"
#include "Protocol/SyncModel.h"
#include "Classes/Login/WeclomeViewController.h"

#include <cstdlib>
#include <mutex>

namespace {

// How long an optional update the user put off stays quiet.
constexpr double kSnoozeSeconds = 604800;
// The pause before the configuration request, so the wait text can be read.
constexpr double kConfigDelay = 1.5;
constexpr const char* kSkinArchive = "SkinImages.zip";
constexpr const char* kSyncFlags[] = {"FileSynced", "ProductSynced", "CustomerSynced", "IconSynced"};

// Never destroyed: a picture load on a background worker asks for the mode (the client's folder)
// and may still run while the process ends, after static objects are gone.
struct Instance {
    std::mutex mutex;
    std::shared_ptr<LoginMode> mode;
};
Instance& instance()
{
    static auto* kept = new Instance();
    return *kept;
}

bool isBlank(const std::string& text)
{
    return base::trimmingWhitespace(text).empty();
}

std::vector<std::string> splitModules(const std::string& desc)
{
    std::vector<std::string> parts;
    size_t from = 0;
    while (true) {
        size_t comma = desc.find(',', from);
        parts.push_back(desc.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
        if (comma == std::string::npos)
            return parts;
        from = comma + 1;
    }
}

void send(const std::shared_ptr<RequestInterfaceBase>& command, const std::shared_ptr<LoginMode>& receiver)
{
    command->setReceiveDelegete(std::static_pointer_cast<NetworkRecDelegate>(receiver));
    NetworkModel::sharedInstance()->sendRequest(command);
}

// Later on the main loop, while the login state lives and the same login runs.
void afterDelay(const std::shared_ptr<LoginMode>& self, double seconds, void (LoginMode::*step)(),
                std::function<bool()> stillWanted)
{
    std::weak_ptr<LoginMode> weak = self;
    base::Timer::scheduled(seconds, false, [weak, step, stillWanted = std::move(stillWanted)](base::Timer&) {
        if (auto login = weak.lock(); login && stillWanted())
            ((*login).*step)();
    });
}

std::string currentVersion()
{
    if (auto app = AppSession::shared(); app && !app->currentVersion().empty())
        return app->currentVersion();
    return base::Bundle::shortVersion();
}

bool welcomeScreenIsRoot()
{
    auto app = AppSession::shared();
    if (!app || !app->window())
        return false;
    return std::dynamic_pointer_cast<WeclomeViewController>(app->window()->rootViewController()) != nullptr;
}

} // namespace

std::shared_ptr<LoginMode> LoginMode::sharedInstance()
{
    auto& shared = instance();
    std::lock_guard lock(shared.mutex);
    if (!shared.mode) {
        shared.mode = std::shared_ptr<LoginMode>(new LoginMode());
        shared.mode->observeNetwork();
    }
    return shared.mode;
}

void LoginMode::freeInstance()
{
    std::shared_ptr<LoginMode> dropped;
    {
        std::lock_guard lock(instance().mutex);
        dropped = std::move(instance().mode);
    }
    // Destroyed outside the lock, so a destructor that asks for the instance cannot deadlock.
}

LoginMode::~LoginMode()
{
    if (auto alert = m_stayOfflineAlert.lock())
        alert->setDelegate(static_cast<ui::AlertViewDelegate*>(nullptr));
}

void LoginMode::observeNetwork()
{
    std::weak_ptr<LoginMode> weak = weak_from_this();
    auto& center = base::NotificationCenter::defaultCenter();
    m_netConnectObserver = center.addObserver("netconnect", nullptr, [weak](const base::Notification&) {
        if (auto self = weak.lock())
            self->netConnected();
    });
    m_netUnconnectObserver = center.addObserver("netUnconnect", nullptr, [weak](const base::Notification&) {
        if (auto self = weak.lock())
            self->netUnconnect();
    });
}

LoginInfo LoginMode::loginInfo() const
{
    LoginInfo info;
    info.accountId = m_acountID;
    info.passWord = m_password;
    info.clientId = m_clientID;
    info.deviceId = m_deviceID;
    info.email = m_email;
    info.companyName = m_companyName;
    info.companyLink = m_companyLink;
    info.userAccess = m_userAccess;
    return info;
}

std::optional<std::string> LoginMode::clientFolder() const
{
    return PublicFunction::clientFolderPath(m_clientID);
}

// --- Online login ----------------------------------------------------------------------------

void LoginMode::login(const LoginInfo& info, bool fromInput, bool autoLogin)
{
    // A second tap while the first answer is on its way would run the whole road twice.
    if (m_loginPending) {
        base::log("a login is already on its way, this one is ignored");
        // A wait box opened for this one stands for the login on its way now.
        if (!m_quietLogin)
            MessageBox::sharedInstance()->setWaitTimeOutHandler(waitTimeOutHandler());
        return;
    }
    m_fromInput = fromInput;
    m_acountID = info.accountId.value_or("");
    m_clientID = info.clientId.value_or("");
    m_password = info.passWord.value_or("");
    m_deviceID = info.deviceId.value_or("");
    m_autoLogin = autoLogin;
    m_loginPending = true;
    m_quietLogin = false;
    ++m_loginRound;
    m_loginCommands.clear();
    // The wait box the caller opened ends this login should it close by its time-out.
    MessageBox::sharedInstance()->setWaitTimeOutHandler(waitTimeOutHandler());
    sendLogin();
}

double LoginMode::waitBoxSeconds()
{
    constexpr double kWaitBoxSeconds = 300;
    const char* given = std::getenv("BRIVANTA_LOGIN_WAIT_SECONDS");
    if (!given || !*given)
        return kWaitBoxSeconds;
    char* end = nullptr;
    long seconds = std::strtol(given, &end, 10);
    if (*end || seconds < 1 || seconds > long(kWaitBoxSeconds)) {
        static std::once_flag warned;
        std::call_once(warned, [&] { base::logf("BRIVANTA_LOGIN_WAIT_SECONDS=%s is not 1 to 300; ignored", given); });
        return kWaitBoxSeconds;
    }
    return double(seconds);
}

std::function<void()> LoginMode::waitTimeOutHandler()
{
    std::weak_ptr<LoginMode> weak = weak_from_this();
    int round = m_loginRound;
    return [weak, round] {
        if (auto login = weak.lock(); login && login->m_loginRound == round)
            login->waitTimedOut();
    };
}

int LoginMode::sendForLogin(const std::shared_ptr<RequestInterfaceBase>& command)
{
    std::erase_if(m_loginCommands, [](const auto& sent) { return sent.expired(); });
    m_loginCommands.push_back(command);
    return NetworkModel::sharedInstance()->sendRequest(command);
}

void LoginMode::waitTimedOut()
{
    if (!m_loginPending || m_quietLogin)
        return;
    base::log("the login's wait box closed by its time-out: the login ends, its requests are cancelled");
    ++m_loginRound;
    auto network = NetworkModel::sharedInstance();
    for (const auto& sent : m_loginCommands) {
        if (auto command = sent.lock())
            network->cancelRequest(command);
    }
    m_loginCommands.clear();
    // As a login the network never answered: nothing of it stays open, and the form is back.
    m_loginType = -1;
    m_quietConfig = false;
    m_quietSkin = false;
    DataAccessManager::releaseDataModel();
    finishLogin();
    auto delegate = liveDelegate();
    if (delegate) {
        delegate->changeLoginButState();
        delegate->loginErroWithMessage(Language::stringWithName(std::string(kStatusNetworkError)));
    }
    m_delegate.reset();
}

void LoginMode::sendLogin()
{
    auto command = std::make_shared<RequestLogin>();
    command->setReceiveDelegete(std::static_pointer_cast<NetworkRecDelegate>(shared_from_this()));
    sendForLogin(command);
}

void LoginMode::takeServerClientID(const LoginRst& answer)
{
    const std::string served = answer.clientId.value_or("");
    // A blank or path-like id would point the folder rules at Documents itself.
    if (isBlank(served) || !PublicFunction::clientFolderPath(served)) {
        base::logf("the login answer's client id \"%s\" is not usable, keeping \"%s\"", served.c_str(),
                   m_clientID.c_str());
        return;
    }
    m_clientID = served;
}

void LoginMode::loginAnswer(const LoginRst& answer)
{
    if (m_quietLogin) {
        quietLoginAnswer(answer);
        return;
    }
    if (answer.status == "200") {
        onlineLoginSucceeded(answer);
        return;
    }
    if (answer.status == "999" || answer.status == "402" || answer.status == "403") {
        offlineRefusal(answer);
        return;
    }
    m_loginType = -1;
    auto delegate = liveDelegate();
    if (delegate)
        delegate->changeLoginButState();
    DataAccessManager::releaseDataModel();
    MessageBox::sharedInstance()->EndBlockWait();
    finishLogin();
    // "101" is written for a session that expired; on the form it is a refusal of what was typed.
    bool refusedForm = answer.status == "101" && m_fromInput;
    if (delegate)
        delegate->loginErroWithMessage(refusedForm ? Language::stringWithName("LOGINREFUSED") : answer.message);
    m_delegate.reset();
}

void LoginMode::takeAcceptedLogin(const LoginRst& answer)
{
    m_needUpdate = answer.needUpdate;
    m_needUpdateSkin = answer.needUpdateSkin;
    m_loginType = 1;
    m_sessionId = answer.sessionId.value_or("");
    m_vendorId = static_cast<int>(base::Value(answer.vendor_id.value_or("")).toInt());
    takeServerClientID(answer);
    m_email = answer.email.value_or("");
    m_companyName = answer.companyName.value_or("");
    m_companyLink = answer.companyLink.value_or("");
    m_userAccess = answer.userAccess;
}

void LoginMode::onlineLoginSucceeded(const LoginRst& answer)
{
    takeAcceptedLogin(answer);

    ConfigManager::sharedInstance()->resetUserData();
    if (answer.needSyncAll) {
        if (!moveClientFolderAside()) {
            restoreClientFolder();
            failLogin(Language::stringWithName("SYNCDBERROR"));
            return;
        }
        removeBlockAccount();
    }
    // A form login the server accepted also renews the saved credential and device id, so a
    // tile made before a password change logs in again.
    if (m_fromInput)
        refreshSavedLogins(true);
    DataAccessManager::sharedDataModel()->saveUserInfo(loginInfo());
    if (answer.needSyncAll) {
        if (!carryUnsentWork()) {
            restoreClientFolder();
            failLogin(Language::stringWithName("SYNCDBERROR"));
            return;
        }
        dropAsideFolder();
    }
    versionCompare();
    if (answer.needSyncAll) {
        // The form's wait box is still up: a second one would stay behind it until its time-out.
        auto box = MessageBox::sharedInstance();
        if (box->waitMsgBoxtag() != 0)
            box->ChangeWaitMessage(Language::stringWithName("LOGINSUCCESSANDBOUND"));
        else
            box->BeginBlockWaitTimeout(Language::stringWithName("LOGINSUCCESSANDBOUND"), waitBoxSeconds(),
                                       waitTimeOutHandler());
        afterDelay(shared_from_this(), kConfigDelay, &LoginMode::showRequestConfigTittle, stillThisLogin());
    } else {
        showRequestConfigTittle();
    }
}

void LoginMode::offlineRefusal(const LoginRst& answer)
{
    auto delegate = liveDelegate();
    if (delegate)
        delegate->changeLoginButState();
    DataAccessManager::releaseDataModel();
    MessageBox::sharedInstance()->EndBlockWait();
    auto folder = clientFolder();
    bool hasFolder = folder && base::FileManager::isDirectory(*folder);
    if (answer.status == "999") {
        if (!hasFolder) {
            finishLogin();
            if (delegate)
                delegate->loginErroWithMessage(Language::stringWithName("FIRSTLOGINNETWORKERRO"));
            return;
        }
        std::string code = DataAccessManager::sharedDataModel()->checkLocalUserInfo(loginInfo());
        if (code != "200") {
            finishLogin();
            if (delegate)
                delegate->loginErroWithMessage(Language::stringWithName(code));
            return;
        }
        offlineCompletion(Language::stringWithName("USINGOFFLINE"));
        return;
    }
    if (hasFolder && DataAccessManager::sharedDataModel()->checkLocalUserInfo(loginInfo()) == "200") {
        offlineCompletion(answer.message);
        return;
    }
    finishLogin();
    if (delegate)
        delegate->loginErroWithMessage(answer.message);
}

void LoginMode::offlineCompletion(const std::string& notice)
{
    if (auto saved = DataAccessManager::sharedDataModel()->getUserInfo(m_acountID)) {
        m_email = saved->email.value_or("");
        m_companyLink = saved->companyLink.value_or("");
        m_companyName = saved->companyName.value_or("");
    }
    refreshLastLogininfo();
    if (auto delegate = liveDelegate())
        delegate->loginErroWithMessage(notice);
    // Without a usable module list there is no main screen to show: say so instead of stopping
    // without a word.
    if (!takeModuleList()) {
        failLogin(Language::stringWithName("CONFIGRATIONINFOERROR"));
        return;
    }
    finishLogin();
    if (auto delegate = liveDelegate()) {
        m_loginType = 2;
        delegate->loginSuccess();
        m_delegate.reset();
    }
}

void LoginMode::failLogin(const std::string& message)
{
    MessageBox::sharedInstance()->EndBlockWait();
    finishLogin();
    if (auto delegate = liveDelegate())
        delegate->loginErroWithMessage(message);
}

bool LoginMode::takeModuleList()
{
    auto row = ConfigManager::sharedInstance()->queryConfig();
    if (!row || !row->desc || isBlank(*row->desc))
        return false;
    ConfigManager::sharedInstance()->setModelDescArray(splitModules(*row->desc));
    return true;
}

// --- Configuration and skin ------------------------------------------------------------------

void LoginMode::showRequestConfigTittle()
{
    auto box = MessageBox::sharedInstance();
    if (box->waitMsgBoxtag() != 0)
        box->ChangeWaitMessage(Language::stringWithName("SYNUSERCONFIG"));
    else
        box->BeginBlockWaitTimeout(Language::stringWithName("SYNUSERCONFIG"), waitBoxSeconds(), waitTimeOutHandler());
    afterDelay(shared_from_this(), kConfigDelay, &LoginMode::requestConfig, stillThisLogin());
}

std::function<bool()> LoginMode::stillThisLogin()
{
    std::weak_ptr<LoginMode> weak = weak_from_this();
    int round = m_loginRound;
    return [weak, round] {
        auto login = weak.lock();
        return login && login->m_loginRound == round;
    };
}

void LoginMode::requestConfig()
{
    auto command = std::make_shared<RequestConfig>();
    command->setClientId(sharedInstance()->clientID());
    command->setReceiveDelegete(std::static_pointer_cast<NetworkRecDelegate>(shared_from_this()));
    int code = sendForLogin(command);
    base::logf("the rst is %d", code);
}

void LoginMode::configAnswer(const NetBaseRst& result)
{
    if (m_quietConfig) {
        // The quiet re-login only refreshes the stored rows; the running screens stay.
        m_quietConfig = false;
        auto config = dynamic_cast<const ConfigRst*>(&result);
        if (!config || result.status != "200") {
            base::log("quiet re-login: the configuration could not be read again");
            return;
        }
        ConfigManager::sharedInstance()->syncConfigData(config->configTable);
        if (!skinIsCurrent()) {
            m_quietSkin = true;
            requestSkin();
        }
        return;
    }
    if (result.status != "200") {
        failLogin(result.message);
        return;
    }
    if (auto config = dynamic_cast<const ConfigRst*>(&result))
        ConfigManager::sharedInstance()->syncConfigData(config->configTable);
    if (skinIsCurrent()) {
        if (!takeModuleList()) {
            failLogin(Language::stringWithName("CONFIGRATIONINFOERROR"));
            return;
        }
        finishLogin();
        if (auto delegate = liveDelegate())
            delegate->loginSuccess();
        else
            MessageBox::sharedInstance()->EndBlockWait();
        return;
    }
    requestSkin();
}

bool LoginMode::skinIsCurrent() const
{
    auto folder = clientFolder();
    return folder && base::FileManager::isDirectory(*folder + "/SkinImages") && !m_needUpdateSkin;
}

void LoginMode::requestSkin()
{
    auto download = std::make_shared<RequestDownload>();
    download->setFileNameList(std::vector<std::string>{kSkinArchive});
    download->setImgType(kSkinArchiveType);
    download->setProgressType(kProgressTypeSingle);
    download->setReceiveDelegete(std::static_pointer_cast<NetworkRecDelegate>(shared_from_this()));
    sendForLogin(download);
    base::logf("the downloadId is %d", download->downloadId());
}

void LoginMode::skinAnswer(const NetBaseRst& result)
{
    if (result.status == "200") {
        // Swapped in only once it unpacked whole: a damaged archive keeps the skin there is,
        // and the update stays pending for the next login.
        if (SkinManager::sharedInstance()->replaceSkinImage()) {
            m_needUpdateSkin = false;
            syncFinishedtype("skin");
            base::log("request download finish success!");
        }
    } else {
        base::logf("the skin archive did not arrive (%s), the previous skin stays", result.status.c_str());
    }
    if (m_quietSkin) {
        // Another screen's wait box may be up: the quiet road leaves it alone.
        m_quietSkin = false;
        SkinManager::sharedInstance()->initializeSkinImage();
        takeModuleList();
        return;
    }
    if (!liveDelegate())
        MessageBox::sharedInstance()->EndBlockWait();
    SkinManager::sharedInstance()->initializeSkinImage();
    if (!takeModuleList()) {
        failLogin(Language::stringWithName("CONFIGRATIONINFOERROR"));
        return;
    }
    finishLogin();
    if (auto delegate = liveDelegate()) {
        delegate->loginSuccess();
        m_delegate.reset();
    }
}

// --- Full resync without losing unsent work ----------------------------------------------------

bool LoginMode::moveClientFolderAside()
{
    m_asideFolder.reset();
    auto defaults = base::UserDefaults::standard();
    // What the wipe removes from the store comes back if the login cannot finish.
    base::Dictionary kept;
    for (const char* flag : kSyncFlags) {
        std::string key = m_clientID + "-" + flag;
        if (auto value = defaults->objectForKey(key))
            kept.set(key, *value);
    }
    if (auto list = defaults->objectForKey(SavedLogins::kKey))
        kept.set(SavedLogins::kKey, *list);
    m_savedBeforeResync = base::Value(std::move(kept));

    auto folder = clientFolder();
    if (!folder || !base::FileManager::exists(*folder))
        return true;
    // The folder says whose it is, so that a launch after a kill can carry its work or put it back.
    if (!UnsentWork::markAsideOrigin(*folder)) {
        base::logf("cannot mark %s before the full sync", folder->c_str());
        return false;
    }
    std::string aside = base::Paths::documents() + "/" + UnsentWork::kAsidePrefix + base::Digest::uuidString();
    if (!base::FileManager::moveItem(*folder, aside)) {
        base::logf("cannot move %s aside for the full sync", folder->c_str());
        return false;
    }
    m_asideFolder = aside;
    return true;
}

bool LoginMode::carryUnsentWork()
{
    if (!m_asideFolder)
        return true;
    std::string oldDatabase = *m_asideFolder + "/brivanta_lite.sqlite";
    if (!base::FileManager::exists(oldDatabase))
        return true;
    // The new database must exist before the rows go into it.
    if (!DataAccessManager::sharedDataModel()->hasModels())
        return false;
    return UnsentWork::copyFromDatabase(oldDatabase);
}

void LoginMode::restoreClientFolder()
{
    ConfigManager::sharedInstance()->resetUserData();
    auto folder = clientFolder();
    if (m_asideFolder && folder) {
        if (base::FileManager::exists(*folder))
            base::FileManager::removeRecursively(*folder, base::Paths::documents());
        if (!base::FileManager::moveItem(*m_asideFolder, *folder))
            base::logf("the old client folder stays at %s", m_asideFolder->c_str());
        else
            base::FileManager::removeItem(*folder + "/" + UnsentWork::kAsideOriginFile);
    }
    m_asideFolder.reset();
    auto defaults = base::UserDefaults::standard();
    if (m_savedBeforeResync.isDictionary()) {
        for (const auto& [key, value] : m_savedBeforeResync.asDictionary())
            defaults->setObject(value, key);
    }
    defaults->synchronize();
    m_loginType = -1;
    if (auto delegate = liveDelegate())
        delegate->changeLoginButState();
}

void LoginMode::dropAsideFolder()
{
    if (m_asideFolder)
        base::FileManager::removeRecursively(*m_asideFolder, base::Paths::documents());
    m_asideFolder.reset();
    m_savedBeforeResync = base::Value();
}

// --- Quiet re-login ----------------------------------------------------------------------------

void LoginMode::netConnected()
{
    if (welcomeScreenIsRoot() || (m_loginType != 1 && m_loginType != 2))
        return;
    if (SyncModel::sharedInstance()->isDownloading() || m_loginPending) {
        base::log("network back while a sync or a login runs: no re-login");
        return;
    }
    m_loginPending = true;
    m_quietLogin = true;
    sendLogin();
}

void LoginMode::quietLoginAnswer(const LoginRst& answer)
{
    m_quietLogin = false;
    finishLogin();
    if (answer.status == "200") {
        // The whole online road but for what would pull the open database or the running
        // screens away: nothing is closed, moved or deleted, and no wait box shows.
        takeAcceptedLogin(answer);
        if (answer.needSyncAll) {
            auto sync = SyncModel::sharedInstance();
            sync->setIsSyncAllData(true);
            sync->setNeedUpdate(true);
        }
        // Table upgrades run on the open connection; the skin, if this removed it, comes back
        // with the configuration.
        versionCompare();
        m_quietConfig = true;
        requestConfig();
        return;
    }
    if (answer.status == "999" || answer.status == "402" || answer.status == "403") {
        // Without a delegate the offline road ends before it would set a type: the login stays
        // as it was.
        base::logf("quiet re-login answered %s: the login type stays %d", answer.status.c_str(), m_loginType);
        return;
    }
    std::string message = answer.message + Language::stringWithName("STAYOFFLINEORLOGIN");
    auto alert = std::make_shared<ui::AlertView>(Language::stringWithName("NOTIFICATION"), message, nullptr,
                                                 Language::stringWithName("CANCEL"),
                                                 std::vector<std::string>{Language::stringWithName("OK")});
    alert->setTag(kStayOfflineAlertTag);
    std::shared_ptr<ui::AlertViewDelegate> self = shared_from_this();
    alert->setDelegate(std::weak_ptr<ui::AlertViewDelegate>(self));
    m_stayOfflineAlert = alert;
    alert->show();
}

void LoginMode::alertViewClickedButtonAtIndex(ui::AlertView& alert, int index)
{
    if (alert.tag() != kStayOfflineAlertTag || index != 1)
        return;
    if (auto app = AppSession::shared())
        app->showLoginPage();
}

void LoginMode::netUnconnect()
{
    if (m_loginType != 3)
        m_loginType = 2;
}

// --- Demo --------------------------------------------------------------------------------------

void LoginMode::loginWithDemo(const std::string& tenant)
{
    m_clientID = tenant;
    m_acountID = "DEMO";
    m_password = tenant;
    m_deviceID = tenant;
    m_companyName = "Demo Company";
    DataAccessManager::releaseDataModel();
    auto row = ConfigManager::sharedInstance()->queryConfig();
    if (row && row->desc)
        ConfigManager::sharedInstance()->setModelDescArray(splitModules(*row->desc));
    if (auto delegate = liveDelegate()) {
        m_loginType = 3;
        delegate->loginSuccess();
        m_delegate.reset();
    }
}

// --- Saved logins, version stamp, local data -----------------------------------------------------

void LoginMode::refreshLastLogininfo()
{
    refreshSavedLogins(false);
}

void LoginMode::refreshSavedLogins(bool renewCredential)
{
    bool renew = renewCredential;
    SavedLogins::Login login{m_acountID, m_password, m_clientID, m_deviceID};
    SavedLogins::store(SavedLogins::afterLogin(SavedLogins::stored(), login, m_autoLogin, renew));
}

void LoginMode::versionCompare()
{
    if (m_clientID.empty())
        return;
    auto defaults = base::UserDefaults::standard();
    std::string key = m_clientID + "-App_version";
    std::string current = currentVersion();
    auto stored = defaults->stringForKey(key);
    if (stored && !isBlank(*stored) && *stored == current)
        return;
    if (auto folder = clientFolder(); folder && base::FileManager::exists(*folder + "/SkinImages"))
        base::FileManager::removeRecursively(*folder + "/SkinImages", *folder);
    DataAccessManager::sharedDataModel()->updateVersion();
    SyncModel::sharedInstance()->createAllDirectorys();
    defaults->setString(current, key);
    defaults->synchronize();
}

void LoginMode::removeBlockAccount()
{
    // Only through the client-folder rule: a blank or path-like id must not reach Documents
    // itself or beyond it.
    if (auto folder = clientFolder()) {
        if (base::FileManager::exists(*folder))
            base::FileManager::removeRecursively(*folder, base::Paths::documents());
    } else {
        base::logf("not a client folder, nothing removed: %s", m_clientID.c_str());
    }

    if (base::UserDefaults::standard()->arrayForKey(SavedLogins::kKey))
        SavedLogins::store(SavedLogins::afterRemoval(SavedLogins::stored(), m_acountID, m_clientID));
    removeAllSyncFlag();
}

void LoginMode::removeAllSyncFlag()
{
    auto defaults = base::UserDefaults::standard();
    for (const char* name : kSyncFlags)
        defaults->removeObjectForKey(m_clientID + "-" + name);
    defaults->synchronize();
}

// --- Checks and small commands -------------------------------------------------------------------

void LoginMode::checkDeviceStatus()
{
    if (m_loginType != 1)
        return;
    send(std::make_shared<RequestCheckDeviceStatus>(), shared_from_this());
    checkAppVersion(true);
}

void LoginMode::checkAppVersion(bool automatic)
{
    m_checkLocalVersion = automatic;
    send(std::make_shared<RequestCheckVersion>(), shared_from_this());
}

bool LoginMode::isNeedCheckVersionAlert(int updateType)
{
    if (!m_checkLocalVersion)
        return true;
    const char* key = nullptr;
    switch (updateType) {
    case 0:
        return false;
    case 1:
        key = "UpdateVersionSign";
        break;
    case 2:
        key = "UpdateVersionSuggest";
        break;
    default:
        return true;
    }
    auto defaults = base::UserDefaults::standard();
    auto putOff = defaults->dateForKey(key);
    if (!putOff)
        return true;
    if (base::Date::now().timeIntervalSince(*putOff) > kSnoozeSeconds) {
        defaults->removeObjectForKey(key);
        return true;
    }
    return false;
}

void LoginMode::getUserinfo()
{
    if (m_loginType != 1)
        return;
    send(std::make_shared<RequestGetUserinfo>(), shared_from_this());
}

void LoginMode::getRuntimeConfig()
{
    if (m_loginType != 1)
        return;
    auto command = std::make_shared<RequestRuntimeConfig>();
    command->setClientId(m_clientID);
    send(command, shared_from_this());
}

void LoginMode::syncFinishedtype(const std::string& tableType)
{
    auto command = std::make_shared<RequestSyncDataFinish>();
    command->setTableType(tableType);
    command->setReceiveDelegete(std::static_pointer_cast<NetworkRecDelegate>(shared_from_this()));
    int code = NetworkModel::sharedInstance()->sendRequest(command);
    base::logf("the request is %d", code);
}

void LoginMode::userInfoAnswer(const NetBaseRst& result)
{
    auto info = dynamic_cast<const GetUserinfoRst*>(&result);
    if (!info || result.status != "200")
        return;
    m_email = info->email.value_or("");
    m_companyName = info->companyName.value_or("");
    m_companyLink = info->companyLink.value_or("");
    m_userAccess = info->userAccess;
    DataAccessManager::sharedDataModel()->saveUserInfo(loginInfo());
}

void LoginMode::runtimeConfigAnswer(const NetBaseRst& result)
{
    auto config = dynamic_cast<const ConfigRst*>(&result);
    if (config && result.status == "200")
        ConfigManager::sharedInstance()->syncConfigData(config->configTable);
    else
        base::log("get runtime config error!");
}

// --- Answers -------------------------------------------------------------------------------------

int LoginMode::ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>& result)
{
    if (!result)
        return 0;
    auto keep = shared_from_this();
    switch (result->cmdCode) {
    case kCmdLogin:
        if (auto answer = std::dynamic_pointer_cast<LoginRst>(result))
            loginAnswer(*answer);
        break;
    case kCmdConfig:
        configAnswer(*result);
        break;
    case kCmdRuntimeConfig:
        runtimeConfigAnswer(*result);
        break;
    case kCmdCheckDeviceStatus:
        if (auto app = AppSession::shared())
            app->logoutWithLockedUserMessage(result->status, result->message);
        break;
    case kCmdCheckVersion:
        if (auto app = AppSession::shared()) {
            if (auto version = std::dynamic_pointer_cast<CheckAppVersionRst>(result))
                app->CheckAppVersionReturn(*version);
        }
        break;
    case kCmdGetUserinfo:
        userInfoAnswer(*result);
        break;
    case kCmdDownload:
        skinAnswer(*result);
        break;
    default:
        break;
    }
    return 0;
}

void LoginMode::ReciveDownloadPercent(const DownLoadRequestInfo& info)
{
    base::logf("the filename is %s,the percent is %f", info.fileName().c_str(),
               static_cast<double>(info.downloadPercent()));
}
