#include "Protocol/LoginMode.h"

#include "Common/PublicFunction.h"
#include "Platform/Base/Date.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Paths.h"
#include "Platform/Base/Text.h"
#include "Platform/Base/UserDefaults.h"
#include "Protocol/SavedLogins.h"

#include <mutex>

namespace {

// How long an optional update the user put off stays quiet.
constexpr double kSnoozeSeconds = 604800;

std::mutex g_instanceMutex;
std::shared_ptr<LoginMode> g_instance;

} // namespace

std::shared_ptr<LoginMode> LoginMode::sharedInstance()
{
    std::lock_guard lock(g_instanceMutex);
    if (!g_instance)
        g_instance = std::make_shared<LoginMode>();
    return g_instance;
}

void LoginMode::freeInstance()
{
    std::shared_ptr<LoginMode> dropped;
    {
        std::lock_guard lock(g_instanceMutex);
        dropped = std::move(g_instance);
    }
    // Destroyed outside the lock, so a destructor that asks for the instance cannot deadlock.
}

void LoginMode::checkDeviceStatus()
{
    ++m_checkDeviceStatusCalls;
    if (m_loginType != 1)
        return;
    sendCheckDeviceStatus();
}

void LoginMode::sendCheckDeviceStatus()
{
    // The device-status command and the version check that follows it are built with the
    // login flows; until then the request is only counted.
    ++m_deviceStatusRequests;
    base::logf("check device status for %s of %s", m_acountID.c_str(), m_clientID.c_str());
}

void LoginMode::checkAppVersion(bool automatic)
{
    m_checkLocalVersion = automatic;
    // The version-check command comes with the login flows; until then it is only counted.
    ++m_versionCheckRequests;
    base::logf("check app version, automatic %d", automatic ? 1 : 0);
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

void LoginMode::removeBlockAccount()
{
    // Only through the client-folder rule: a blank or path-like id must not reach Documents
    // itself or beyond it.
    if (auto folder = PublicFunction::clientFolderPath(m_clientID)) {
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
    for (const char* name : {"FileSynced", "ProductSynced", "CustomerSynced", "IconSynced"})
        defaults->removeObjectForKey(m_clientID + "-" + name);
    defaults->synchronize();
}
