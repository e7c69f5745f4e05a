#pragma once
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace base {

using HardwareAddress = std::array<uint8_t, 6>;

struct NetworkInterface {
    std::string name;
    bool loopback = false;
    std::optional<HardwareAddress> hardwareAddress; // link-level address, when it has one
};

// The machine's network interfaces and their hardware addresses.
class NetworkInterfaces {
public:
    // The injected list when a test has set one, else the system's, sorted by name.
    static std::vector<NetworkInterface> list();
    // Tests: replaces the list until reset with nullopt.
    static void setList(std::optional<std::vector<NetworkInterface>> interfaces);

    // The machine's own address: the first interface by name that is not loopback and has a
    // non-zero hardware address; nothing when there is none.
    static std::optional<NetworkInterface> primary();
};

} // namespace base
