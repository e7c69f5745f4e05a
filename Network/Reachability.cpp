#include "Network/Reachability.h"

#include "Platform/Base/NotificationCenter.h"

#include <cstdio>

#include <arpa/inet.h>

using namespace net;

namespace {

constexpr char kInternetConnectionKey[] = "InternetConnection";
constexpr char kLocalWiFiConnectionKey[] = "LocalWiFiConnection";

std::shared_ptr<Reachability> withAddressKeyed(in_addr_t address, const char* key)
{
    sockaddr_in zero {};
    zero.sin_family = AF_INET;
    zero.sin_addr.s_addr = address;
    auto monitor = Reachability::reachabilityWithAddress(&zero);
    if (monitor)
        monitor->setKey(key);
    return monitor;
}

} // namespace

Reachability::Reachability(std::unique_ptr<ReachabilityHandle> ref) : m_reachabilityRef(std::move(ref)) {}

Reachability::~Reachability()
{
    stopNotifier();
}

std::shared_ptr<Reachability> Reachability::createWithReachabilityRef(std::unique_ptr<ReachabilityHandle> ref)
{
    return std::shared_ptr<Reachability>(new Reachability(std::move(ref)));
}

std::shared_ptr<Reachability> Reachability::reachabilityWithHostName(const std::string& hostName)
{
    auto ref = ReachabilityHandle::createWithName(hostName);
    if (!ref)
        return nullptr;
    auto monitor = createWithReachabilityRef(std::move(ref));
    monitor->setKey(hostName);
    return monitor;
}

std::shared_ptr<Reachability> Reachability::reachabilityWithAddress(const sockaddr_in* hostAddress)
{
    if (!hostAddress)
        return nullptr;
    auto ref = ReachabilityHandle::createWithAddress(*hostAddress);
    if (!ref)
        return nullptr;
    auto monitor = createWithReachabilityRef(std::move(ref));
    monitor->setKey(makeAddressKey(hostAddress->sin_addr.s_addr));
    return monitor;
}

std::shared_ptr<Reachability> Reachability::reachabilityForInternetConnection()
{
    return withAddressKeyed(htonl(INADDR_ANY), kInternetConnectionKey);
}

std::shared_ptr<Reachability> Reachability::reachabilityForLocalWiFi()
{
    return withAddressKeyed(htonl(0xA9FE0000u), kLocalWiFiConnectionKey); // 169.254.0.0
}

std::string Reachability::makeAddressKey(in_addr_t addr)
{
    // Network byte order: the first octet is the lowest-addressed byte.
    auto octets = reinterpret_cast<const unsigned char*>(&addr);
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", octets[0], octets[1], octets[2], octets[3]);
    return text;
}

std::string Reachability::key() const
{
    std::lock_guard lock(m_keyMutex);
    return m_key;
}

void Reachability::setKey(std::string key)
{
    std::lock_guard lock(m_keyMutex);
    m_key = std::move(key);
}

bool Reachability::startNotifier()
{
    if (!m_reachabilityRef)
        return false;
    // Weak: a report that arrives as the monitor goes away must not revive or touch it.
    std::weak_ptr<Reachability> weakSelf = weak_from_this();
    m_reachabilityRef->setCallback([weakSelf](uint32_t) {
        if (auto self = weakSelf.lock())
            base::NotificationCenter::defaultCenter().post(kReachabilityChangedNotification, self);
    });
    return m_reachabilityRef->schedule();
}

void Reachability::stopNotifier()
{
    if (m_reachabilityRef)
        m_reachabilityRef->unschedule();
}

std::optional<uint32_t> Reachability::readFlags() const
{
    if (!m_reachabilityRef)
        return std::nullopt;
    return m_reachabilityRef->flags();
}

NetworkStatus Reachability::networkStatusForFlags(uint32_t flags) const
{
    if (!(flags & kReachabilityReachable))
        return NotReachable;
    if (key() == kLocalWiFiConnectionKey)
        return (flags & kReachabilityIsDirect) ? ReachableViaWiFi : NotReachable;
    if (flags & kReachabilityIsWWAN)
        return ReachableViaWWAN;
    uint32_t rest = flags & ~uint32_t(kReachabilityReachable | kReachabilityIsLocalAddress | kReachabilityIsDirect);
    if (rest == (kReachabilityTransientConnection | kReachabilityConnectionRequired))
        return NotReachable; // the connection is down
    if (flags & kReachabilityTransientConnection)
        return ReachableViaWiFi;
    if (rest == 0)
        return ReachableViaWiFi;
    if (flags & kReachabilityConnectionRequired)
        return ReachableViaWiFi;
    return NotReachable;
}

NetworkStatus Reachability::currentReachabilityStatus() const
{
    auto flags = readFlags();
    return flags ? networkStatusForFlags(*flags) : NotReachable;
}

bool Reachability::isReachable() const
{
    return currentReachabilityStatus() != NotReachable;
}

bool Reachability::isReachableViaWWAN() const
{
    return currentReachabilityStatus() == ReachableViaWWAN;
}

bool Reachability::isReachableViaWiFi() const
{
    return currentReachabilityStatus() == ReachableViaWiFi;
}

bool Reachability::isConnectionRequired() const
{
    return reachabilityFlags() & kReachabilityConnectionRequired;
}

bool Reachability::connectionRequired() const
{
    return isConnectionRequired();
}

bool Reachability::isConnectionOnDemand() const
{
    uint32_t flags = reachabilityFlags();
    return (flags & kReachabilityConnectionRequired)
        && (flags & (kReachabilityConnectionOnTraffic | kReachabilityConnectionOnDemand));
}

bool Reachability::isInterventionRequired() const
{
    uint32_t flags = reachabilityFlags();
    return (flags & kReachabilityConnectionRequired) && (flags & kReachabilityInterventionRequired);
}

uint32_t Reachability::reachabilityFlags() const
{
    return readFlags().value_or(0);
}

bool Reachability::isEqual(const Reachability& other) const
{
    return key() == other.key();
}
