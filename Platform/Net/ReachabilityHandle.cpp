#include "Platform/Net/ReachabilityHandle.h"

#include "Platform/Base/Log.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Net/NetlinkWatcher.h"
#include "Platform/Net/RouteTable.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include <arpa/inet.h>

namespace net {

struct ReachabilityHandle::State {
    bool linkLocal = false;
    // Main thread only.
    Callback callback;
    bool scheduled = false;
    std::unique_ptr<NetlinkWatcher> watcher;
};

namespace {

// Test injection and the handles it reports to; shared by every thread.
struct Registry {
    std::mutex mutex;
    std::optional<uint32_t> injected;
    std::vector<std::weak_ptr<ReachabilityHandle::State>> scheduled;
};

Registry& registry()
{
    static Registry* instance = new Registry(); // watcher threads may outlive static destruction
    return *instance;
}

std::optional<uint32_t> injectedFlags()
{
    std::lock_guard lock(registry().mutex);
    return registry().injected;
}

uint32_t flagsForRoute(bool linkLocal, bool reachable, bool modem)
{
    if (!reachable)
        return 0;
    if (modem)
        return kReachabilityReachable | kReachabilityIsWWAN;
    return kReachabilityReachable | (linkLocal ? kReachabilityIsDirect : 0u);
}

// The flags fixed by BRIVANTA_NETWORK, when it holds a known value.
std::optional<uint32_t> fixedFlags(bool linkLocal)
{
    const char* value = std::getenv("BRIVANTA_NETWORK");
    if (!value || !*value)
        return std::nullopt;
    std::string mode(value);
    if (mode == "none")
        return flagsForRoute(linkLocal, false, false);
    if (mode == "wifi")
        return flagsForRoute(linkLocal, true, false);
    if (mode == "carrier")
        return flagsForRoute(linkLocal, true, true);
    static std::once_flag warned;
    std::call_once(warned, [&] { base::logf("BRIVANTA_NETWORK=%s is not none, wifi or carrier; ignored", value); });
    return std::nullopt;
}

std::optional<uint32_t> readFlags(const ReachabilityHandle::State& state)
{
    if (auto injected = injectedFlags())
        return injected;
    if (auto fixed = fixedFlags(state.linkLocal))
        return fixed;
    auto route = RouteTable::current();
    if (!route.readable)
        return std::nullopt;
    return flagsForRoute(state.linkLocal, !route.interfaceName.empty(), RouteTable::isModem(route.interfaceName));
}

// Hands a report to the main run loop; it reaches the callback only if the handle is
// still alive and scheduled by then.
void report(std::weak_ptr<ReachabilityHandle::State> weak)
{
    base::RunLoop::main().post([weak] {
        auto state = weak.lock();
        if (!state || !state->scheduled || !state->callback)
            return;
        auto callback = state->callback; // the callback may unschedule or drop the handle
        callback(readFlags(*state).value_or(0));
    });
}

bool usableHostName(std::string_view name)
{
    if (name.empty() || name.size() > 253)
        return false;
    return std::none_of(name.begin(), name.end(),
        [](char c) { return std::iscntrl(static_cast<unsigned char>(c)) || std::isspace(static_cast<unsigned char>(c)); });
}

} // namespace

ReachabilityHandle::ReachabilityHandle(bool linkLocal) : m_state(std::make_shared<State>())
{
    m_state->linkLocal = linkLocal;
}

ReachabilityHandle::~ReachabilityHandle()
{
    unschedule();
}

std::unique_ptr<ReachabilityHandle> ReachabilityHandle::createWithName(std::string_view hostName)
{
    if (!usableHostName(hostName))
        return nullptr;
    return std::unique_ptr<ReachabilityHandle>(new ReachabilityHandle(false));
}

std::unique_ptr<ReachabilityHandle> ReachabilityHandle::createWithAddress(const sockaddr_in& address)
{
    if (address.sin_family != AF_INET)
        return nullptr;
    bool linkLocal = (ntohl(address.sin_addr.s_addr) & 0xFFFF0000u) == 0xA9FE0000u;
    return std::unique_ptr<ReachabilityHandle>(new ReachabilityHandle(linkLocal));
}

std::optional<uint32_t> ReachabilityHandle::flags() const
{
    return readFlags(*m_state);
}

void ReachabilityHandle::setCallback(Callback callback)
{
    m_state->callback = std::move(callback);
}

bool ReachabilityHandle::schedule()
{
    if (!base::RunLoop::isMainThread())
        return false;
    if (m_state->scheduled)
        return true;
    // With fixed flags there is nothing to watch; only the test hook reports.
    if (!fixedFlags(m_state->linkLocal)) {
        std::weak_ptr<State> weak = m_state;
        m_state->watcher = NetlinkWatcher::start([weak] { report(weak); });
        if (!m_state->watcher)
            return false;
    }
    m_state->scheduled = true;
    std::lock_guard lock(registry().mutex);
    registry().scheduled.push_back(m_state);
    return true;
}

void ReachabilityHandle::unschedule()
{
    if (!m_state->scheduled)
        return;
    m_state->scheduled = false;
    m_state->watcher.reset();
    std::lock_guard lock(registry().mutex);
    auto& scheduled = registry().scheduled;
    std::erase_if(scheduled, [&](const std::weak_ptr<State>& weak) {
        auto state = weak.lock();
        return !state || state == m_state;
    });
}

void ReachabilityHandle::injectFlags(std::optional<uint32_t> flags)
{
    std::vector<std::weak_ptr<State>> targets;
    {
        std::lock_guard lock(registry().mutex);
        registry().injected = flags;
        targets = registry().scheduled;
    }
    for (auto& target : targets)
        report(target);
}

} // namespace net
