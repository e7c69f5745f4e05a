#include "Protocol/LoginMode.h"

#include "Platform/Base/Log.h"

#include <mutex>

namespace {

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
