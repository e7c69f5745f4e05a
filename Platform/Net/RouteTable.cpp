#include "Platform/Net/RouteTable.h"

#include "Platform/Net/UniqueFd.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>

#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

namespace net {

namespace {

// Route flags as the kernel prints them in both tables.
constexpr uint32_t kRouteUp = 0x0001;
constexpr uint32_t kRouteReject = 0x0200;

std::optional<uint32_t> parseHex(std::string_view text)
{
    uint32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::vector<std::string> fields(const std::string& line)
{
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string field; in >> field;)
        out.push_back(field);
    return out;
}

bool usableFlags(std::optional<uint32_t> flags)
{
    return flags && (*flags & kRouteUp) && !(*flags & kRouteReject);
}

// Iface Destination Gateway Flags RefCnt Use Metric Mask ... (first line is a header)
void collectIPv4(std::string_view table, std::vector<DefaultRoute>& out)
{
    std::istringstream in{std::string(table)};
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        auto f = fields(line);
        if (f.size() < 8 || parseHex(f[1]) != 0u || parseHex(f[7]) != 0u || !usableFlags(parseHex(f[3])))
            continue;
        // Unlike the other columns, the kernel prints the metric in decimal.
        uint32_t metric = 0;
        auto [end, error] = std::from_chars(f[6].data(), f[6].data() + f[6].size(), metric, 10);
        if (error != std::errc() || end != f[6].data() + f[6].size())
            continue;
        out.push_back({f[0], metric});
    }
}

// dest prefix src srcprefix nexthop metric refcnt use flags iface, all hex, no header
void collectIPv6(std::string_view table, std::vector<DefaultRoute>& out)
{
    std::istringstream in{std::string(table)};
    for (std::string line; std::getline(in, line);) {
        auto f = fields(line);
        if (f.size() < 10 || parseHex(f[1]) != 0u || !usableFlags(parseHex(f[8])))
            continue;
        auto metric = parseHex(f[5]);
        if (!metric)
            continue;
        out.push_back({f[9], *metric});
    }
}

std::optional<std::string> readFile(const char* path)
{
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool isUpAndNotLoopback(int socketFd, const std::string& name)
{
    if (name.size() >= IFNAMSIZ)
        return false;
    ifreq request {};
    std::memcpy(request.ifr_name, name.data(), name.size());
    if (::ioctl(socketFd, SIOCGIFFLAGS, &request) != 0)
        return false;
    return (request.ifr_flags & IFF_UP) && !(request.ifr_flags & IFF_LOOPBACK);
}

} // namespace

std::vector<DefaultRoute> RouteTable::parseDefaultRoutes(std::string_view ipv4Table, std::string_view ipv6Table)
{
    std::vector<DefaultRoute> routes;
    collectIPv4(ipv4Table, routes);
    collectIPv6(ipv6Table, routes);
    std::stable_sort(routes.begin(), routes.end(),
        [](const DefaultRoute& a, const DefaultRoute& b) { return a.metric < b.metric; });
    return routes;
}

RouteTable::State RouteTable::current()
{
    auto ipv4 = readFile("/proc/net/route");
    auto ipv6 = readFile("/proc/net/ipv6_route"); // absent when IPv6 is disabled
    State state;
    if (!ipv4 && !ipv6)
        return state;
    // The socket's namespace is this thread's, like the tables just read.
    UniqueFd probe(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!probe)
        probe.reset(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!probe)
        return state;
    state.readable = true;
    for (auto& route : parseDefaultRoutes(ipv4.value_or(""), ipv6.value_or(""))) {
        if (isUpAndNotLoopback(probe.get(), route.interfaceName)) {
            state.interfaceName = route.interfaceName;
            break;
        }
    }
    return state;
}

bool RouteTable::isModem(std::string_view interfaceName)
{
    return interfaceName.starts_with("wwan") || interfaceName.starts_with("ppp");
}

} // namespace net
