#include "Platform/Base/NotificationCenter.h"

#include <gtest/gtest.h>

using namespace base;

namespace {

TEST(NotificationCenter, DeliversByNameAndSenderAndStopsWhenTheTokenGoes)
{
    NotificationCenter center;
    auto sender = std::make_shared<int>(1);
    auto other = std::make_shared<int>(2);
    int any = 0, fromSender = 0;
    Value lastInfo;
    auto anyToken = center.addObserver("netconnect", nullptr, [&](const Notification& n) {
        ++any;
        lastInfo = n.userInfo;
    });
    {
        auto senderToken = center.addObserver("netconnect", sender.get(), [&](const Notification&) { ++fromSender; });
        center.post("netconnect", sender, Dictionary{{"status", 2}});
        center.post("netconnect", other);
        center.post("netUnconnect", sender);
        EXPECT_EQ(center.observerCount("netconnect"), 2u);
    }
    center.post("netconnect", sender);
    EXPECT_EQ(any, 3);
    EXPECT_EQ(fromSender, 1);
    EXPECT_EQ(center.observerCount("netconnect"), 1u);
    EXPECT_EQ(lastInfo, Value());

    ObserverToken moved = std::move(anyToken);
    EXPECT_FALSE(anyToken.isActive());
    moved.reset();
    center.post("netconnect");
    EXPECT_EQ(any, 3);
}

TEST(NotificationCenter, ObserverRemovedDuringDeliveryIsNotCalled)
{
    NotificationCenter center;
    ObserverToken second;
    int secondCalls = 0;
    auto first = center.addObserver("n", nullptr, [&](const Notification&) { second.reset(); });
    second = center.addObserver("n", nullptr, [&](const Notification&) { ++secondCalls; });
    center.post("n");
    EXPECT_EQ(secondCalls, 0);
}

} // namespace
