#include "Platform/Net/Proxy.h"

#include <gtest/gtest.h>

#include <map>

using namespace net;

namespace {

URL proxyUrl(const char* text) { return *URL::parse(text); }

SystemProxySettings settings(std::map<std::string, std::string> env)
{
    return SystemProxySettings::fromEnvironment([env](const std::string& name) -> std::optional<std::string> {
        auto it = env.find(name);
        return it == env.end() ? std::nullopt : std::optional<std::string>(it->second);
    });
}

TEST(SystemProxySettings, ChoosesBySchemeWithFallBackAndBypass)
{
    auto s = settings({{"http_proxy", "http://127.0.0.1:3128/"},
                       {"HTTPS_PROXY", "127.0.0.1:3129"},
                       {"all_proxy", "socks5h://127.0.0.1:1080"},
                       {"no_proxy", "localhost, .internal.test,exact.test:8080, 127.0.0.2"}});
    EXPECT_EQ(s.proxyFor(proxyUrl("http://a.test/")).description(), "PROXY 127.0.0.1:3128");
    EXPECT_EQ(s.proxyFor(proxyUrl("https://a.test/")).description(), "PROXY 127.0.0.1:3129");
    EXPECT_EQ(s.proxyFor(proxyUrl("ftp://a.test/")).description(), "SOCKS5 127.0.0.1:1080");
    EXPECT_EQ(s.proxyFor(proxyUrl("http://localhost/")).type, Proxy::Type::Direct);
    EXPECT_EQ(s.proxyFor(proxyUrl("http://x.internal.test/")).type, Proxy::Type::Direct);
    EXPECT_EQ(s.proxyFor(proxyUrl("http://internal.test/")).type, Proxy::Type::Direct);
    EXPECT_EQ(s.proxyFor(proxyUrl("http://exact.test:8080/")).type, Proxy::Type::Direct);
    EXPECT_EQ(s.proxyFor(proxyUrl("http://exact.test/")).type, Proxy::Type::Http);
    EXPECT_EQ(s.proxyFor(proxyUrl("http://127.0.0.2:5/")).type, Proxy::Type::Direct);
    EXPECT_EQ(s.proxyFor(proxyUrl("http://notexact.test:8080/")).type, Proxy::Type::Http);

    // HTTP_PROXY in capitals is not read: a CGI server sets it from a client's "Proxy:" header.
    auto upper = settings({{"HTTP_PROXY", "http://127.0.0.1:9/"}});
    EXPECT_EQ(upper.proxyFor(proxyUrl("http://a.test/")).type, Proxy::Type::Direct);
    EXPECT_EQ(settings({{"no_proxy", "*"}, {"http_proxy", "127.0.0.1:1"}}).proxyFor(proxyUrl("http://a.test/")).type,
              Proxy::Type::Direct);
}

TEST(SystemProxySettings, ParsesProxyValues)
{
    EXPECT_EQ(SystemProxySettings::parseProxyValue("proxy.test")->description(), "PROXY proxy.test:1080");
    EXPECT_EQ(SystemProxySettings::parseProxyValue("socks5://s.test")->description(), "SOCKS5 s.test:1080");
    EXPECT_FALSE(SystemProxySettings::parseProxyValue(""));
    EXPECT_FALSE(SystemProxySettings::parseProxyValue("socks4://s.test:1"));
    EXPECT_FALSE(SystemProxySettings::parseProxyValue("http://p.test:70000"));
}

TEST(Socks5, EncodesRequestsAndSizesReplies)
{
    EXPECT_EQ(socks5::greeting(), std::string("\x05\x01\x00", 3));
    EXPECT_EQ(socks5::connectRequest("127.0.0.2", 8080), std::string("\x05\x01\x00\x01\x7f\x00\x00\x02\x1f\x90", 10));
    EXPECT_EQ(socks5::connectRequest("a.test", 443), std::string("\x05\x01\x00\x03\x06" "a.test\x01\xbb", 13));
    const uint8_t v4[5] = {5, 0, 0, 1, 0}, name[5] = {5, 0, 0, 3, 7}, bad[5] = {5, 0, 0, 9, 0};
    EXPECT_EQ(socks5::replyLength(v4), 10u);
    EXPECT_EQ(socks5::replyLength(name), 14u);
    EXPECT_EQ(socks5::replyLength(bad), 0u);
}

} // namespace
