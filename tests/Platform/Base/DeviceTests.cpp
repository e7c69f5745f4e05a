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

#include "FileTestSupport.h"

namespace {

TEST(Device, NamesTheOperatingSystemFromUname)
{
    utsname name {};
    ASSERT_EQ(uname(&name), 0);
    EXPECT_EQ(Device::current().osName, name.sysname);
    EXPECT_EQ(Device::current().osVersion, name.release);
}

TEST(Device, LocaleIdentifierComesFromTheFirstVariableSet)
{
    using basetest::ScopedEnv;
    struct Case {
        std::optional<std::string> all, messages, lang;
        const char* expected;
    };
    const Case cases[] = {
        {std::nullopt, std::nullopt, std::nullopt, "en_US"},
        {std::nullopt, std::nullopt, "de_DE.UTF-8", "de_DE"},
        {std::nullopt, "zh_CN.GB18030", "de_DE.UTF-8", "zh_CN"},
        {"fr_FR@euro", "zh_CN", "de_DE", "fr_FR"},
        {"", "", "ja_JP.eucJP", "ja_JP"}, // empty counts as unset
        {"C", "zh_CN", "de_DE", "en_US"},  // the first set one decides, even "C"
        {std::nullopt, "POSIX", "de_DE", "en_US"},
        {std::nullopt, std::nullopt, "C.UTF-8", "en_US"},
        {std::nullopt, std::nullopt, "pt", "pt"},
    };
    for (auto& c : cases) {
        ScopedEnv all("LC_ALL", c.all), messages("LC_MESSAGES", c.messages), lang("LANG", c.lang);
        EXPECT_EQ(Device::localeIdentifier(), c.expected)
            << c.all.value_or("-") << " " << c.messages.value_or("-") << " " << c.lang.value_or("-");
    }
}

} // namespace
