#include "App/InstanceLock.h"
#include "tests/Platform/Base/FileTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// What a program the application starts holds open, as that program itself lists it.
std::string descriptorsOfAChild()
{
    std::string listing;
    FILE* pipe = popen("ls -l /proc/self/fd/ 2>&1", "r");
    if (!pipe)
        return "popen failed";
    char buffer[4096];
    for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        listing.append(buffer, n);
    pclose(pipe);
    return listing;
}

} // namespace

TEST(InstanceLock, HeldByThisProcessAloneAndNotByTheProgramsItStarts)
{
    basetest::TempDir dir;
    const std::string folder = (dir / "data").string();
    {
        InstanceLock first;
        ASSERT_EQ(first.acquire(folder), InstanceLock::State::Held);
        InstanceLock second;
        EXPECT_EQ(second.acquire(folder), InstanceLock::State::HeldElsewhere);
        // A mailer or converter started now would otherwise keep the folder locked after the
        // application has gone, and the next launch would call itself a second copy.
        std::string listing = descriptorsOfAChild();
        EXPECT_NE(listing.find(" -> "), std::string::npos) << listing;
        EXPECT_EQ(listing.find(InstanceLock::kLockFileName), std::string::npos) << listing;
    }
    InstanceLock again;
    EXPECT_EQ(again.acquire(folder), InstanceLock::State::Held) << "the lock goes with its holder";
}
