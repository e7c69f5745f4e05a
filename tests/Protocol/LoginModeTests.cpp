#include "tests/App/AppTestSupport.h"
#include "Protocol/LoginMode.h"
#include "Protocol/NetworkModel.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

class LoginModeTest : public apptest::AppServiceTest {
protected:
    LoginModeTest() { LoginMode::freeInstance(); }
    ~LoginModeTest() override { LoginMode::freeInstance(); }
};

} // namespace

TEST_F(LoginModeTest, LoginStateStartsLoggedOutAndIsMadeAgainAfterFree)
{
    auto first = LoginMode::sharedInstance();
    EXPECT_EQ(first->loginType(), -1);
    EXPECT_TRUE(first->clientID().empty());
    EXPECT_TRUE(first->acountID().empty());
    EXPECT_EQ(first->vendorId(), 0);
    EXPECT_EQ(first->userAccess(), 0);
    EXPECT_FALSE(first->isNotWifi());
    EXPECT_FALSE(first->needUpdate());
    EXPECT_TRUE(first->delegate().expired());
    first->setIsNotWifi(true);
    first->setClientID("AbC");
    EXPECT_EQ(LoginMode::sharedInstance(), first);

    LoginMode::freeInstance();
    auto second = LoginMode::sharedInstance();
    EXPECT_NE(second, first);
    EXPECT_FALSE(second->isNotWifi());
    EXPECT_TRUE(second->clientID().empty());

    // Made once even when many threads ask at the same moment.
    LoginMode::freeInstance();
    std::vector<std::shared_ptr<LoginMode>> seen(8);
    std::vector<std::thread> threads;
    for (auto& slot : seen)
        threads.emplace_back([&slot] { slot = LoginMode::sharedInstance(); });
    for (auto& t : threads)
        t.join();
    for (auto& instance : seen)
        EXPECT_EQ(instance, seen[0]);
}

TEST_F(LoginModeTest, DeviceStatusIsAskedOnlyAfterAnOnlineLogin)
{
    auto network = NetworkModel::sharedInstance();
    network->cancelAllRequests();
    auto login = LoginMode::sharedInstance();
    for (int type : {-1, 2, 3}) {
        login->setLoginType(type);
        login->checkDeviceStatus();
    }
    EXPECT_EQ(network->pendingRequestCount(), 0u);
    // The device check, then the version check at once.
    login->setLoginType(1);
    login->checkDeviceStatus();
    EXPECT_EQ(network->pendingRequestCount(), 2u);
    EXPECT_TRUE(login->checkLocalVersion());
    network->cancelAllRequests();
}
