#include "Platform/Net/Resolver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace net;

namespace {

struct NumericCase {
    std::string host;
    int port;
    std::string address; // empty: not a plain address
};

TEST(Resolver, PlainAddressesAreReadWithoutALookUpAndNamesAreLeftToTheResolver)
{
    const std::vector<NumericCase> cases = {
        {"127.0.0.1", 8080, "127.0.0.1:8080"},
        {"::1", 443, "[::1]:443"},
        {"2001:db8::7", 80, "[2001:db8::7]:80"},
        {"::ffff:127.0.0.2", 81, "[::ffff:127.0.0.2]:81"},
        {"localhost", 80, ""},
        {"printer.invalid", 80, ""},
        {"127.0.0.1.example", 80, ""},
        {"", 80, ""},
    };
    for (const auto& c : cases) {
        auto found = Resolver::numeric(c.host, c.port);
        if (c.address.empty()) {
            EXPECT_TRUE(found.empty()) << c.host;
            continue;
        }
        ASSERT_EQ(found.size(), 1u) << c.host;
        EXPECT_EQ(found[0].toString(), c.address);

        // The answer comes before resolve() returns: no resolver thread was asked.
        std::vector<SocketAddress> answered;
        bool called = false;
        auto lookup = Resolver::resolve(c.host, c.port, [&](std::vector<SocketAddress> addresses, StreamError error) {
            called = true;
            EXPECT_FALSE(error) << c.host;
            answered = std::move(addresses);
        });
        ASSERT_TRUE(called) << c.host;
        ASSERT_EQ(answered.size(), 1u);
        EXPECT_EQ(answered[0].toString(), c.address);
    }
}

} // namespace
