#include "Platform/Net/RouteTable.h"

#include <gtest/gtest.h>

using net::RouteTable;

namespace {

std::vector<std::string> names(const std::vector<net::DefaultRoute>& routes)
{
    std::vector<std::string> out;
    for (auto& route : routes)
        out.push_back(route.interfaceName);
    return out;
}

TEST(RouteTable, DefaultRoutesAreFoundInBothTablesBestMetricFirst)
{
    // Only the 0.0.0.0/0 and ::/0 routes that are up and not reject routes count; the IPv4
    // metric is decimal (a hex reading would put eth1's 10 above wlan0's 16).
    const char* ipv4 =
        "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n"
        "eth0\t00000000\t010200C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n"
        "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"
        "eth1\t00000000\t0101A8C0\t0003\t0\t0\t16\t00000000\t0\t0\t0\n"
        "eth2\t00000000\t0101A8C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n"
        "eth3\t00000000\t00000000\t0001\t0\t0\t0\t00000080\t0\t0\t0\n";
    const char* ipv6 =
        "fd000000000000000000000000000000 40 00000000000000000000000000000000 00 "
        "00000000000000000000000000000000 00000100 00000001 00000000 00000001     eth0\n"
        "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
        "fd000000000000000000000000000001 00000010 00000002 00000000 00000003    wlan0\n"
        "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
        "00000000000000000000000000000000 ffffffff 00000001 00000000 00200200       lo\n";
    auto routes = RouteTable::parseDefaultRoutes(ipv4, ipv6);
    EXPECT_EQ(names(routes), (std::vector<std::string>{"eth1", "wlan0", "eth0"}));
    ASSERT_EQ(routes.size(), 3u);
    EXPECT_EQ(routes[0].metric, 16u);
    EXPECT_EQ(routes[1].metric, 16u);
    EXPECT_EQ(routes[2].metric, 100u);

    EXPECT_TRUE(RouteTable::parseDefaultRoutes("", "").empty());
    EXPECT_TRUE(RouteTable::parseDefaultRoutes("garbage line\nnot a route\n", "short line\n").empty());
}

TEST(RouteTable, TheLiveTablesCanBeRead)
{
    auto state = RouteTable::current();
    EXPECT_TRUE(state.readable);
    EXPECT_NE(state.interfaceName, "lo");
}

} // namespace
