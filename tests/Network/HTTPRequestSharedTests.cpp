#include "HTTPRequestTestSupport.h"

#include "Network/BRInputStream.h"
#include "tests/Support/AllocationCount.h"

#include <cmath>
#include <cstdlib>

using namespace enginetest;

namespace {

TEST(HTTPRequestShared, UserAgentVersionForms)
{
    auto ua = [](const char* shortVersion, const char* build) {
        return BRHTTPRequest::buildUserAgentString("Brivanta", shortVersion, build, "x86_64", "Linux", "6.1", "en_US");
    };
    EXPECT_EQ(ua("1.2", "1.2"), "Brivanta 1.2 (x86_64; Linux 6.1; en_US)");
    EXPECT_EQ(ua("1.2", "45"), "Brivanta 1.2 rv:45 (x86_64; Linux 6.1; en_US)");
    EXPECT_EQ(ua("", "45"), "Brivanta 45 (x86_64; Linux 6.1; en_US)");
    EXPECT_FALSE(BRHTTPRequest::buildUserAgentString("", "1", "1", "m", "o", "v", "l"));
}

TEST(HTTPRequestShared, ContentTypeParsing)
{
    struct Case {
        const char* value;
        const char* mime;
        net::StringEncoding encoding;
    };
    const net::StringEncoding unchanged = 99;
    for (const Case& c : {Case{"text/html; charset=utf-8", "text/html", net::encoding::UTF8},
                          Case{"text/html", "text/html", unchanged},
                          Case{" text/plain ;CHARSET=ISO-8859-1", "text/plain", net::encoding::ISOLatin1},
                          Case{"text/html; charset=", "text/html", unchanged},
                          Case{"text/html; charset=no-such-set", "text/html", unchanged},
                          Case{"a/b; q=1; charset=utf-8; x=y", "a/b", net::encoding::UTF8}}) {
        SCOPED_TRACE(c.value);
        std::string mime;
        net::StringEncoding encoding = unchanged;
        BRHTTPRequest::parseMimeTypeAndResponseEncodingFromContentType(&mime, &encoding, std::string(c.value));
        EXPECT_EQ(mime, c.mime);
        EXPECT_EQ(encoding, c.encoding);
    }
}

TEST(HTTPRequestShared, SessionCookiesReplaceByDomainPathAndName)
{
    BRHTTPRequest::setSessionCookies({});
    net::Cookie a;
    a.name = "s";
    a.value = "1";
    a.domain = "127.0.0.1";
    net::Cookie b = a;
    b.value = "2";
    net::Cookie c = a;
    c.path = "/sub";
    BRHTTPRequest::addSessionCookie(a);
    BRHTTPRequest::addSessionCookie(c);
    BRHTTPRequest::addSessionCookie(b);
    auto list = BRHTTPRequest::sessionCookies();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].path, "/sub");
    EXPECT_EQ(list[1].value, "2");
    BRHTTPRequest::setSessionCookies({});
}

// An answer's cookies cost the session list a look-up each: adding them to a list of 3,000
// costs what it costs in a list of ten, and the list keeps its order and its bound.
TEST(HTTPRequestShared, AnAnswersSessionCookiesCostTheSameHoweverLongTheList)
{
    auto cookie = [](const std::string& name, const std::string& value) {
        net::Cookie c;
        c.name = name;
        c.value = value;
        c.domain = "shop.example.com";
        c.path = "/catalog";
        return c;
    };
    auto fill = [&](size_t count) {
        BRHTTPRequest::setSessionCookies({});
        for (size_t n = 0; n < count; ++n)
            BRHTTPRequest::addSessionCookies({cookie("f" + std::to_string(n), "1")});
    };
    // An answer repeating one cookie and bringing a new one.
    auto perAnswer = [&](const std::string& prefix) {
        long before = testsupport::allocationsOnThisThread();
        for (int n = 0; n < 20; ++n)
            BRHTTPRequest::addSessionCookies({cookie("f0", prefix), cookie(prefix + std::to_string(n), "1")});
        return (testsupport::allocationsOnThisThread() - before) / 20;
    };
    fill(10);
    long small = perAnswer("a");
    fill(net::CookieStorage::kMaxCookies);
    long full = perAnswer("b");
    EXPECT_LE(full, small + 2) << "allocations per answer, 3,000 session cookies against ten";

    auto list = BRHTTPRequest::sessionCookies();
    ASSERT_EQ(list.size(), net::CookieStorage::kMaxCookies);
    // The oldest went to make room; the repeated one moved to the end with its newest value.
    EXPECT_EQ(list.front().name, "f21");
    EXPECT_EQ(list[list.size() - 2].name + list.back().name, "f0b19");
    EXPECT_EQ(list[list.size() - 2].value, "b");
    BRHTTPRequest::setSessionCookies({});
}

TEST(HTTPRequestShared, SessionCredentialLookupOrder)
{
    auto record = [](const char* url, const char* user, std::optional<std::string> realm = {}) {
        BRCredentialRecord r;
        r.credentials = std::make_shared<const BRCredentials>(BRCredentials{user, "pw", ""});
        r.url = net::URL::parse(url);
        r.authenticationRealm = std::move(realm);
        return r;
    };
    auto fallback = record("http://h.test:8080/other", "fallback");
    auto laterFallback = record("http://h.test:8080/third", "later");
    auto exact = record("http://h.test:8080/path", "exact", "R");
    BRHTTPRequest::storeAuthenticationCredentialsInSessionStore(fallback);
    BRHTTPRequest::storeAuthenticationCredentialsInSessionStore(laterFallback);
    BRHTTPRequest::storeAuthenticationCredentialsInSessionStore(exact);
    BRHTTPRequest::storeAuthenticationCredentialsInSessionStore(record("https://h.test:8080/path", "scheme"));

    auto request = BRHTTPRequest::requestWithURL(net::URL::parse("http://h.test:8080/path"));
    EXPECT_EQ(request->findSessionAuthenticationCredentials()->credentials->username, "exact");
    // Credentials of the request that disagree rule the exact match out; the first same-host
    // record is the fallback.
    request->setUsername("fallback");
    request->setPassword("pw");
    EXPECT_EQ(request->findSessionAuthenticationCredentials()->credentials->username, "fallback");
    auto elsewhere = BRHTTPRequest::requestWithURL(net::URL::parse("http://h.test:9090/path"));
    EXPECT_FALSE(elsewhere->findSessionAuthenticationCredentials());

    // Removal goes by the credentials object itself.
    BRHTTPRequest::removeAuthenticationCredentialsFromSessionStore(fallback.credentials);
    auto again = BRHTTPRequest::requestWithURL(net::URL::parse("http://h.test:8080/nowhere"));
    EXPECT_EQ(again->findSessionAuthenticationCredentials()->credentials->username, "later");
    BRHTTPRequest::clearSession();
    EXPECT_TRUE(BRHTTPRequest::sessionCredentialsStore().empty());
}

TEST(HTTPRequestShared, BasicHeaderAndBase64)
{
    EXPECT_EQ(BRHTTPRequest::base64forData({'a', 'b', 'c'}), "YWJj");
    EXPECT_EQ(BRHTTPRequest::base64forData({'a', 'b'}), "YWI=");
    EXPECT_EQ(BRHTTPRequest::base64forData({}), "");
    auto request = BRHTTPRequest::requestWithURL(net::URL::parse("http://127.0.0.1/"));
    request->addBasicAuthenticationHeaderWithUsernameAndPassword("Aladdin", "open sesame");
    EXPECT_EQ(request->requestHeader("authorization").value_or(""), "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");
    EXPECT_EQ(request->authenticationScheme(), "Basic");
}

TEST(HTTPRequestShared, HttpDatesInTheThreeForms)
{
    const double expected = 784111777; // 1994-11-06 08:49:37 UTC
    for (const char* text : {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT", "Sun Nov  6 08:49:37 1994"}) {
        auto date = BRHTTPRequest::dateFromRFC1123String(text);
        ASSERT_TRUE(date) << text;
        EXPECT_EQ(date->timeIntervalSince1970(), expected) << text;
    }
    for (const char* bad : {"", "Sun, 06 Foo 1994 08:49:37 GMT", "Sun, 06 Nov 1994 08:49:37 PST", "yesterday"})
        EXPECT_FALSE(BRHTTPRequest::dateFromRFC1123String(bad)) << bad;
}

// Bandwidth figures are process-wide: one test walks through them in order.
TEST(HTTPRequestShared, BandwidthLimitAndUploadReads)
{
    // A whole second after anything measured so far.
    const base::Date start(std::floor(base::Date::now().timeIntervalSince1970()) + 100);
    // A second measured an hour ahead, then the clock set back: the next measure starts afresh.
    base::Date::setFixedNow(start.addingTimeInterval(3600));
    BRHTTPRequest::measureBandwidthUsage();
    base::Date::setFixedNow(start);
    EXPECT_FALSE(BRHTTPRequest::isBandwidthThrottled());

    struct Recording : net::InputStream {
        std::vector<size_t> asked;
        ssize_t read(uint8_t*, size_t length) override
        {
            asked.push_back(length);
            return ssize_t(length);
        }
    };
    auto source = std::make_shared<Recording>();
    BRInputStream stream(source, {});
    std::vector<uint8_t> buffer(32768);
    EXPECT_EQ(stream.read(buffer.data(), 32768), 32768);

    BRHTTPRequest::setMaxBandwidthPerSecond(14800);
    BRHTTPRequest::measureBandwidthUsage(); // starts a measured second
    EXPECT_TRUE(BRHTTPRequest::isBandwidthThrottled());
    // Throttled reads ask for the allowance, a quarter of the limit; the wrapper counts them.
    EXPECT_EQ(stream.read(buffer.data(), 32768), 3700);
    BRHTTPRequest::incrementBandwidthUsedInLastSecond(11100 - 3700);
    EXPECT_EQ(BRHTTPRequest::maxUploadReadLength(), 3700u);
    BRHTTPRequest::incrementBandwidthUsedInLastSecond(900);
    EXPECT_EQ(BRHTTPRequest::maxUploadReadLength(), 2800u);
    BRHTTPRequest::incrementBandwidthUsedInLastSecond(3000);
    EXPECT_EQ(BRHTTPRequest::maxUploadReadLength(), 0u);
    EXPECT_EQ(BRHTTPRequest::throttleWakeUpTime(), start.addingTimeInterval(1));
    // An allowance of 0 still reads one byte, so the body never looks ended.
    EXPECT_EQ(stream.read(buffer.data(), 32768), 1);
    EXPECT_EQ(source->asked, (std::vector<size_t>{32768, 3700, 1}));

    BRHTTPRequest::setMaxBandwidthPerSecond(0);
    base::Date::advanceFixedNow(10);
    BRHTTPRequest::measureBandwidthUsage();
    EXPECT_FALSE(BRHTTPRequest::isBandwidthThrottled());
    base::Date::setFixedNow(std::nullopt);
}

// A new limit is judged afresh: the hold measured against the old one ends with it, and the next
// measure sets the wake-up time by the new one, whichever way the limit is set.
TEST(HTTPRequestShared, ANewBandwidthLimitRecomputesTheWakeUpTime)
{
    // Only a link by carrier is throttled under the mobile-only limit.
    const char* network = std::getenv("BRIVANTA_NETWORK");
    std::optional<std::string> savedNetwork = network ? std::optional<std::string>(network) : std::nullopt;
    setenv("BRIVANTA_NETWORK", "carrier", 1);
    base::Date::setFixedNow(base::Date(std::floor(base::Date::now().timeIntervalSince1970()) + 300));
    struct Case {
        const char* what;
        bool mobileOnly;
        uint32_t newLimit;
        std::optional<double> wakeAfter; // seconds from the measured second's start
    };
    const Case cases[] = {
        {"a limit above what the second used", false, 100000, std::nullopt},
        {"a limit still below it", false, 2500, 2.0},
        {"a mobile-only limit above it", true, 100000, std::nullopt},
        {"a mobile-only limit below it", true, 2500, 2.0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        base::Date::advanceFixedNow(10);
        const base::Date now = base::Date::now();
        BRHTTPRequest::setMaxBandwidthPerSecond(1000);
        BRHTTPRequest::measureBandwidthUsage(); // a second of its own
        BRHTTPRequest::incrementBandwidthUsedInLastSecond(5000);
        BRHTTPRequest::measureBandwidthUsage();
        ASSERT_EQ(BRHTTPRequest::throttleWakeUpTime(), now.addingTimeInterval(5));
        ASSERT_TRUE(BRHTTPRequest::isHoldingRequestsForThrottle());

        if (c.mobileOnly)
            BRHTTPRequest::throttleBandwidthForWWANUsingLimit(c.newLimit);
        else
            BRHTTPRequest::setMaxBandwidthPerSecond(c.newLimit);
        ASSERT_TRUE(BRHTTPRequest::isBandwidthThrottled());
        EXPECT_FALSE(BRHTTPRequest::isHoldingRequestsForThrottle()) << "held by the old limit's wake-up time";
        BRHTTPRequest::measureBandwidthUsage();
        if (c.wakeAfter) {
            EXPECT_EQ(BRHTTPRequest::throttleWakeUpTime(), now.addingTimeInterval(*c.wakeAfter));
            EXPECT_TRUE(BRHTTPRequest::isHoldingRequestsForThrottle());
        } else {
            EXPECT_FALSE(BRHTTPRequest::throttleWakeUpTime());
            EXPECT_FALSE(BRHTTPRequest::isHoldingRequestsForThrottle());
        }
        BRHTTPRequest::setShouldThrottleBandwidthForWWAN(false);
    }
    BRHTTPRequest::setMaxBandwidthPerSecond(0);
    base::Date::advanceFixedNow(10);
    BRHTTPRequest::measureBandwidthUsage();
    base::Date::setFixedNow(std::nullopt);
    if (savedNetwork)
        setenv("BRIVANTA_NETWORK", savedNetwork->c_str(), 1);
    else
        unsetenv("BRIVANTA_NETWORK");
}

} // namespace
