#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace net {

struct DefaultRoute {
    std::string interfaceName;
    uint32_t metric = 0;
};

// What the kernel's routing tables say about the way out of this machine (of this network
// namespace: the tables are read through the calling thread's view of /proc).
class RouteTable {
public:
    struct State {
        bool readable = false;     // false when neither table could be read
        std::string interfaceName; // the usable default route's interface; empty when none
    };

    // The default routes listed in the text of /proc/net/route and /proc/net/ipv6_route,
    // best first (lowest metric; IPv4 before IPv6 on a tie). Routes that are down or
    // reject traffic are left out.
    static std::vector<DefaultRoute> parseDefaultRoutes(std::string_view ipv4Table, std::string_view ipv6Table);

    // The best default route that leaves through an interface that is up and not loopback.
    static State current();

    // Carrier data links: wwan* and ppp*.
    static bool isModem(std::string_view interfaceName);
};

} // namespace net
