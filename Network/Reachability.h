#pragma once
#include "Platform/Net/ReachabilityHandle.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <netinet/in.h>

enum NetworkStatus : int {
    NotReachable = 0,
    ReachableViaWWAN = 1,
    ReachableViaWiFi = 2,
};

// Posted with the monitor as object on every report of a started monitor.
inline constexpr char kReachabilityChangedNotification[] = "NetworkReachabilityChangedNotification";

// Watches whether a host or the network can be reached, and how. Monitors are shared
// objects: the notification carries the monitor itself.
class Reachability : public std::enable_shared_from_this<Reachability> {
public:
    // Each gives nullptr when the platform cannot watch what was asked.
    static std::shared_ptr<Reachability> reachabilityWithHostName(const std::string& hostName);
    static std::shared_ptr<Reachability> reachabilityWithAddress(const sockaddr_in* hostAddress);
    static std::shared_ptr<Reachability> reachabilityForInternetConnection();
    static std::shared_ptr<Reachability> reachabilityForLocalWiFi();
    static std::shared_ptr<Reachability> createWithReachabilityRef(std::unique_ptr<net::ReachabilityHandle> ref);

    // Dotted text of an IPv4 address in network byte order, octets in address order.
    static std::string makeAddressKey(in_addr_t addr);

    ~Reachability();
    Reachability(const Reachability&) = delete;
    Reachability& operator=(const Reachability&) = delete;

    std::string key() const;
    void setKey(std::string key);

    // Reports arrive on the main run loop; true only when the monitor is watching.
    bool startNotifier();
    void stopNotifier();

    NetworkStatus currentReachabilityStatus() const;
    NetworkStatus networkStatusForFlags(uint32_t flags) const;
    bool isReachable() const;
    bool isReachableViaWWAN() const;
    bool isReachableViaWiFi() const;
    bool isConnectionRequired() const;
    bool connectionRequired() const;
    bool isConnectionOnDemand() const;
    bool isInterventionRequired() const;
    uint32_t reachabilityFlags() const;
    bool isEqual(const Reachability& other) const;

private:
    explicit Reachability(std::unique_ptr<net::ReachabilityHandle> ref);
    std::optional<uint32_t> readFlags() const;

    mutable std::mutex m_keyMutex;
    std::string m_key;
    std::unique_ptr<net::ReachabilityHandle> m_reachabilityRef;
};
