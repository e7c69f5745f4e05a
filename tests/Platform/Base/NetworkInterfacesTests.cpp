#include "Platform/Base/NetworkInterfaces.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

using namespace base;

namespace {

struct InjectedInterfaces {
    explicit InjectedInterfaces(std::vector<NetworkInterface> list) { NetworkInterfaces::setList(std::move(list)); }
    ~InjectedInterfaces() { NetworkInterfaces::setList(std::nullopt); }
};

NetworkInterface make(std::string name, HardwareAddress address, bool loopback = false)
{
    return NetworkInterface {std::move(name), loopback, address};
}

TEST(NetworkInterfaces, PrimaryIsTheFirstByNameNotLoopbackWithANonZeroAddress)
{
    InjectedInterfaces injected({
        make("wlan0", {2, 2, 2, 2, 2, 2}),
        make("eth1", {1, 1, 1, 1, 1, 1}),
        make("a-lo", {9, 9, 9, 9, 9, 9}, true),
        make("dummy", {0, 0, 0, 0, 0, 0}),
        NetworkInterface {"bare", false, std::nullopt},
    });
    auto primary = NetworkInterfaces::primary();
    ASSERT_TRUE(primary);
    EXPECT_EQ(primary->name, "eth1");
    EXPECT_EQ(primary->hardwareAddress, (HardwareAddress {1, 1, 1, 1, 1, 1}));
}

TEST(NetworkInterfaces, NoPrimaryWithoutAUsableInterface)
{
    {
        InjectedInterfaces injected({});
        EXPECT_FALSE(NetworkInterfaces::primary());
    }
    InjectedInterfaces injected({make("lo", {0, 0, 0, 0, 0, 0}, true), make("x", {0, 0, 0, 0, 0, 0})});
    EXPECT_FALSE(NetworkInterfaces::primary());
}

// The system list agrees with what the kernel shows in sysfs.
TEST(NetworkInterfaces, SystemListMatchesSysfs)
{
    namespace fs = std::filesystem;
    std::vector<NetworkInterface> list = NetworkInterfaces::list();
    for (const NetworkInterface& interface : list) {
        fs::path folder = fs::path("/sys/class/net") / interface.name;
        if (!fs::exists(folder / "address"))
            continue;
        std::ifstream file(folder / "address");
        std::string sysfsAddress;
        file >> sysfsAddress;
        if (interface.hardwareAddress) {
            const HardwareAddress& a = *interface.hardwareAddress;
            char text[18];
            std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", a[0], a[1], a[2], a[3], a[4], a[5]);
            EXPECT_EQ(sysfsAddress, text) << interface.name;
        }
        if (interface.name == "lo") {
            EXPECT_TRUE(interface.loopback);
        }
    }
}

} // namespace
