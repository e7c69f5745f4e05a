#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include <netinet/in.h>

namespace net {

// Bits of a reachability flag word.
enum ReachabilityFlag : uint32_t {
    kReachabilityTransientConnection = 1u << 0,
    kReachabilityReachable = 1u << 1,
    kReachabilityConnectionRequired = 1u << 2,
    kReachabilityConnectionOnTraffic = 1u << 3,
    kReachabilityInterventionRequired = 1u << 4,
    kReachabilityConnectionOnDemand = 1u << 5,
    kReachabilityIsLocalAddress = 1u << 16,
    kReachabilityIsDirect = 1u << 17,
    kReachabilityIsWWAN = 1u << 18,
};

// Whether a host or address can be reached, as a flag word read from the Linux network
// state: reachable when a default route leaves through an interface that is up and not
// loopback; WWAN when that interface is a modem. Names are not resolved. A handle for a
// link-local address (169.254/16) is also direct when the route is not a modem's.
// BRIVANTA_NETWORK=none|wifi|carrier fixes the flags.
class ReachabilityHandle {
public:
    using Callback = std::function<void(uint32_t flags)>;

    // nullptr for a name or address that cannot be watched.
    static std::unique_ptr<ReachabilityHandle> createWithName(std::string_view hostName);
    static std::unique_ptr<ReachabilityHandle> createWithAddress(const sockaddr_in& address);
    ~ReachabilityHandle();
    ReachabilityHandle(const ReachabilityHandle&) = delete;
    ReachabilityHandle& operator=(const ReachabilityHandle&) = delete;

    // Read now, on the calling thread; nullopt when the network state cannot be read.
    std::optional<uint32_t> flags() const;

    // Reports go to the callback on the main run loop while the handle is scheduled.
    void setCallback(Callback callback);
    // Main thread only (the one run loop there is); false elsewhere or when changes
    // cannot be watched.
    bool schedule();
    void unschedule();

    // Tests: fixes every handle's flags (nullopt lets go) and reports to every scheduled one.
    static void injectFlags(std::optional<uint32_t> flags);

    struct State;

private:
    explicit ReachabilityHandle(bool linkLocal);
    std::shared_ptr<State> m_state;
};

} // namespace net
