#include "Platform/Base/NetworkInterfaces.h"

#include <algorithm>
#include <cstring>
#include <ifaddrs.h>
#include <linux/if_packet.h>
#include <map>
#include <mutex>
#include <net/if.h>

namespace base {

namespace {

std::mutex s_mutex;
std::optional<std::vector<NetworkInterface>> s_injected;

std::vector<NetworkInterface> systemList()
{
    std::map<std::string, NetworkInterface> byName;
    ifaddrs* addresses = nullptr;
    if (getifaddrs(&addresses) != 0)
        return {};
    for (ifaddrs* entry = addresses; entry; entry = entry->ifa_next) {
        if (!entry->ifa_name)
            continue;
        NetworkInterface& interface = byName[entry->ifa_name];
        interface.name = entry->ifa_name;
        interface.loopback = interface.loopback || (entry->ifa_flags & IFF_LOOPBACK);
        if (!entry->ifa_addr || entry->ifa_addr->sa_family != AF_PACKET)
            continue;
        const auto* link = reinterpret_cast<const sockaddr_ll*>(entry->ifa_addr);
        if (link->sll_halen != 6)
            continue;
        HardwareAddress address;
        std::memcpy(address.data(), link->sll_addr, address.size());
        interface.hardwareAddress = address;
    }
    freeifaddrs(addresses);
    std::vector<NetworkInterface> result;
    for (auto& [name, interface] : byName)
        result.push_back(std::move(interface));
    return result;
}

} // namespace

std::vector<NetworkInterface> NetworkInterfaces::list()
{
    {
        std::lock_guard lock(s_mutex);
        if (s_injected)
            return *s_injected;
    }
    return systemList();
}

void NetworkInterfaces::setList(std::optional<std::vector<NetworkInterface>> interfaces)
{
    std::lock_guard lock(s_mutex);
    s_injected = std::move(interfaces);
}

std::optional<NetworkInterface> NetworkInterfaces::primary()
{
    std::vector<NetworkInterface> interfaces = list();
    std::sort(interfaces.begin(), interfaces.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    for (const NetworkInterface& interface : interfaces) {
        if (interface.loopback || !interface.hardwareAddress)
            continue;
        const HardwareAddress& address = *interface.hardwareAddress;
        if (std::any_of(address.begin(), address.end(), [](uint8_t b) { return b != 0; }))
            return interface;
    }
    return std::nullopt;
}

} // namespace base
