#include "Network/Reachability.h"

#include "Platform/Base/NotificationCenter.h"
#include "Platform/Base/RunLoop.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

using namespace net;

namespace {

class ReachabilityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const char* value = std::getenv("BRIVANTA_NETWORK"))
            m_savedNetwork = value;
        // Fixed flags: the machine's own network changes must not reach these tests.
        setenv("BRIVANTA_NETWORK", "wifi", 1);
        base::RunLoop::main().runPending();
    }
    void TearDown() override
    {
        ReachabilityHandle::injectFlags(std::nullopt);
        base::RunLoop::main().runPending();
        if (m_savedNetwork)
            setenv("BRIVANTA_NETWORK", m_savedNetwork->c_str(), 1);
        else
            unsetenv("BRIVANTA_NETWORK");
    }

private:
    std::optional<std::string> m_savedNetwork;
};

constexpr uint32_t R = kReachabilityReachable;
constexpr uint32_t T = kReachabilityTransientConnection;
constexpr uint32_t C = kReachabilityConnectionRequired;
constexpr uint32_t O = kReachabilityConnectionOnTraffic;
constexpr uint32_t I = kReachabilityInterventionRequired;
constexpr uint32_t D = kReachabilityConnectionOnDemand;
constexpr uint32_t L = kReachabilityIsLocalAddress;
constexpr uint32_t Direct = kReachabilityIsDirect;
constexpr uint32_t W = kReachabilityIsWWAN;

TEST_F(ReachabilityTest, FlagWordsClassifyIntoStatuses)
{
    struct Case {
        const char* name;
        uint32_t flags;
        bool localWiFi;
        int status;
    };
    const Case cases[] = {
        {"reachable only", R, false, 2},
        {"reachable over WWAN", R | W, false, 1},
        {"transient + required: link down", R | T | C, false, 0},
        {"link down, direct and local bits ignored", R | T | C | Direct | L, false, 0},
        {"required + on traffic", R | C | O, false, 2},
        {"intervention without required", R | I, false, 0},
        {"required + intervention", R | C | I, false, 2},
        {"on demand without required", R | D, false, 0},
        {"transient alone (VPN)", R | T, false, 2},
        {"direct local address", R | Direct | L, false, 2},
        {"not reachable whatever else", T | C | W | Direct | L, false, 0},
        {"local Wi-Fi direct", R | Direct, true, 2},
        {"local Wi-Fi not direct", R, true, 0},
        {"local Wi-Fi over WWAN", R | W, true, 0},
        {"local Wi-Fi direct beats WWAN", R | W | Direct, true, 2},
        {"local Wi-Fi not reachable", Direct, true, 0},
    };
    auto host = Reachability::reachabilityWithHostName("sales.example.com");
    auto local = Reachability::reachabilityForLocalWiFi();
    ASSERT_TRUE(host && local);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto& monitor = c.localWiFi ? *local : *host;
        EXPECT_EQ(monitor.networkStatusForFlags(c.flags), c.status);
        // The same word read from the platform goes through the same steps.
        ReachabilityHandle::injectFlags(c.flags);
        EXPECT_EQ(monitor.reachabilityFlags(), c.flags);
        EXPECT_EQ(monitor.currentReachabilityStatus(), c.status);
        EXPECT_EQ(monitor.isReachable(), c.status != 0);
        EXPECT_EQ(monitor.isReachableViaWWAN(), c.status == 1);
        EXPECT_EQ(monitor.isReachableViaWiFi(), c.status == 2);
    }
}

TEST_F(ReachabilityTest, ConnectionQueriesNeedTheRequiredBit)
{
    struct Case {
        uint32_t flags;
        bool required, onDemand, intervention;
    };
    const Case cases[] = {
        {R, false, false, false},
        {R | C, true, false, false},
        {R | C | O, true, true, false},
        {R | C | D, true, true, false},
        {R | O | D | I, false, false, false},
        {R | C | I, true, false, true},
    };
    auto monitor = Reachability::reachabilityForInternetConnection();
    ASSERT_TRUE(monitor);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        ReachabilityHandle::injectFlags(c.flags);
        EXPECT_EQ(monitor->isConnectionRequired(), c.required);
        EXPECT_EQ(monitor->connectionRequired(), c.required);
        EXPECT_EQ(monitor->isConnectionOnDemand(), c.onDemand);
        EXPECT_EQ(monitor->isInterventionRequired(), c.intervention);
    }
}

TEST_F(ReachabilityTest, KeysNameWhatIsWatched)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    ASSERT_EQ(inet_pton(AF_INET, "192.168.1.20", &address.sin_addr), 1);
    EXPECT_EQ(Reachability::makeAddressKey(address.sin_addr.s_addr), "192.168.1.20");

    auto byAddress = Reachability::reachabilityWithAddress(&address);
    auto host = Reachability::reachabilityWithHostName("sales.example.com");
    auto sameHost = Reachability::reachabilityWithHostName("sales.example.com");
    auto internet = Reachability::reachabilityForInternetConnection();
    auto local = Reachability::reachabilityForLocalWiFi();
    ASSERT_TRUE(byAddress && host && sameHost && internet && local);
    EXPECT_EQ(byAddress->key(), "192.168.1.20");
    EXPECT_EQ(host->key(), "sales.example.com");
    EXPECT_EQ(internet->key(), "InternetConnection");
    EXPECT_EQ(local->key(), "LocalWiFiConnection");
    EXPECT_TRUE(host->isEqual(*sameHost));
    EXPECT_FALSE(host->isEqual(*internet));

    // What the platform cannot watch gives no monitor.
    sockaddr_in ipv6Family {};
    ipv6Family.sin_family = AF_INET6;
    EXPECT_EQ(Reachability::reachabilityWithAddress(&ipv6Family), nullptr);
    EXPECT_EQ(Reachability::reachabilityWithAddress(nullptr), nullptr);
    EXPECT_EQ(Reachability::reachabilityWithHostName(""), nullptr);
    EXPECT_EQ(Reachability::reachabilityWithHostName("bad host"), nullptr);
    EXPECT_EQ(Reachability::createWithReachabilityRef(nullptr)->currentReachabilityStatus(), NotReachable);
}

TEST_F(ReachabilityTest, EveryReportPostsTheMonitorOnTheMainLoop)
{
    auto monitor = Reachability::reachabilityWithHostName("sales.example.com");
    auto idle = Reachability::reachabilityWithHostName("sales.example.com");
    ASSERT_TRUE(monitor && idle);
    std::vector<int> statuses;
    std::vector<const void*> senders;
    auto token = base::NotificationCenter::defaultCenter().addObserver(
        kReachabilityChangedNotification, nullptr, [&](const base::Notification& note) {
            EXPECT_TRUE(base::RunLoop::isMainThread());
            senders.push_back(note.object.get());
            statuses.push_back(std::static_pointer_cast<Reachability>(note.object)->currentReachabilityStatus());
        });
    ASSERT_TRUE(monitor->startNotifier());

    // An unchanged status is reported again: every report posts.
    const uint32_t sequence[] = {R, R, R | W, 0, R | T | C};
    for (uint32_t flags : sequence) {
        size_t before = statuses.size();
        ReachabilityHandle::injectFlags(flags);
        EXPECT_EQ(statuses.size(), before) << "posted before the run loop ran";
        ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return statuses.size() > before; }, 5));
    }
    base::RunLoop::main().runPending();
    EXPECT_EQ(statuses, (std::vector<int>{2, 2, 1, 0, 0}));
    EXPECT_EQ(senders, std::vector<const void*>(5, monitor.get()));

    monitor->stopNotifier();
    ReachabilityHandle::injectFlags(R);
    base::RunLoop::main().runPending();
    EXPECT_EQ(statuses.size(), 5u);

    // A report still queued when its monitor goes away posts nothing.
    ASSERT_TRUE(monitor->startNotifier());
    ReachabilityHandle::injectFlags(R | W);
    monitor.reset();
    base::RunLoop::main().runPending();
    EXPECT_EQ(statuses.size(), 5u);
}

TEST_F(ReachabilityTest, EnvironmentFixesTheNetwork)
{
    struct Case {
        const char* network;
        int host, internet, localWiFi;
    };
    const Case cases[] = {
        {"none", 0, 0, 0},
        {"wifi", 2, 2, 2},
        {"carrier", 1, 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.network);
        setenv("BRIVANTA_NETWORK", c.network, 1);
        auto host = Reachability::reachabilityWithHostName("sales.example.com");
        ASSERT_TRUE(host);
        EXPECT_EQ(host->currentReachabilityStatus(), c.host);
        EXPECT_EQ(Reachability::reachabilityForInternetConnection()->currentReachabilityStatus(), c.internet);
        EXPECT_EQ(Reachability::reachabilityForLocalWiFi()->currentReachabilityStatus(), c.localWiFi);
        // Fixed flags need no watcher, so starting works wherever the tests run.
        EXPECT_TRUE(host->startNotifier());
    }
}

} // namespace
