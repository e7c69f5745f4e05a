#include "Platform/Base/Device.h"

#include <gtest/gtest.h>

#include <sys/utsname.h>

using namespace base;

namespace {

TEST(Device, AnswersTheMachineAndTheFixedSystemVersionUnlessInjected)
{
    utsname name {};
    ASSERT_EQ(uname(&name), 0);
    EXPECT_EQ(Device::current().machineName, name.machine);
    EXPECT_EQ(Device::current().systemVersion, "6.0");

    Device::setCurrent(Device {"armv7l", "5.0"});
    EXPECT_EQ(Device::current().machineName, "armv7l");
    EXPECT_EQ(Device::current().systemVersion, "5.0");
    Device::setCurrent(std::nullopt);
    EXPECT_EQ(Device::current().machineName, name.machine);
}

} // namespace
