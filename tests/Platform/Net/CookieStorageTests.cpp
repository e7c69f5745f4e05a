#include "Platform/Net/CookieStorage.h"

#include "Platform/Base/BackgroundWork.h"
#include "tests/Platform/Base/FileTestSupport.h"
#include "tests/Support/AllocationCount.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>

using base::Date;
using net::Cookie;
using net::CookieStorage;
using net::URL;

namespace {

URL url(const char* text)
{
    auto parsed = URL::parse(text);
    EXPECT_TRUE(parsed) << text;
    return *parsed;
}

const Date kNow(1'700'000'000);

class CookieStore : public ::testing::Test {
protected:
    void SetUp() override { Date::setFixedNow(kNow); }
    void TearDown() override { Date::setFixedNow(std::nullopt); }
};

TEST(CookieDate, ReadsTheThreeHttpFormsAndRefusesNonDates)
{
    const double expected = 784111777; // 1994-11-06 08:49:37 UTC
    for (const char* text : {"Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
                             "Sun Nov  6 08:49:37 1994"}) {
        auto date = net::parseCookieDate(text);
        ASSERT_TRUE(date) << text;
        EXPECT_EQ(date->timeIntervalSince1970(), expected) << text;
    }
    EXPECT_EQ(net::parseCookieDate("Wed, 09 Jun 2021 10:18:14 GMT")->timeIntervalSince1970(), 1623233894);
    for (const char* bad : {"", "tomorrow", "Sun, 31 Apr 2021 10:00:00 GMT", "Sun, 06 Nov 1994 24:00:00 GMT",
                            "Sun, 06 Nov 1500 08:49:37 GMT", "06 Nov 1994"})
        EXPECT_FALSE(net::parseCookieDate(bad)) << bad;
}

TEST(Cookie, ParsesAttributesWithTheirDefaults)
{
    auto c = Cookie::fromSetCookie(" sid = a b ; Path=/x; Secure; HttpOnly; Expires=Wed, 09 Jun 2100 10:18:14 GMT",
                                   url("https://Shop.Example.com/a/b"), kNow);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->name, "sid");
    EXPECT_EQ(c->value, "a b");
    EXPECT_EQ(c->domain, "shop.example.com");
    EXPECT_TRUE(c->hostOnly);
    EXPECT_EQ(c->path, "/x");
    EXPECT_TRUE(c->secure);
    EXPECT_TRUE(c->httpOnly);
    ASSERT_TRUE(c->expires);
    EXPECT_FALSE(c->isSession());

    // Default path: the request's folder; a path not starting with "/" counts as absent.
    EXPECT_EQ(Cookie::fromSetCookie("a=1", url("http://h/docs/page.html"), kNow)->path, "/docs");
    EXPECT_EQ(Cookie::fromSetCookie("a=1; Path=rel", url("http://h/docs/page"), kNow)->path, "/docs");
    EXPECT_EQ(Cookie::fromSetCookie("a=1", url("http://h/page"), kNow)->path, "/");
    EXPECT_TRUE(Cookie::fromSetCookie("a=1", url("http://h/"), kNow)->isSession());

    // Max-Age wins over Expires, in either order; zero or less means already expired.
    auto maxAge = Cookie::fromSetCookie("a=1; Max-Age=60; Expires=Wed, 09 Jun 2100 10:18:14 GMT", url("http://h/"), kNow);
    EXPECT_EQ(*maxAge->expires, kNow.addingTimeInterval(60));
    EXPECT_TRUE(Cookie::fromSetCookie("a=1; max-age=0", url("http://h/"), kNow)->isExpired(kNow));
    EXPECT_TRUE(Cookie::fromSetCookie("a=1; Max-Age=-5", url("http://h/"), kNow)->isExpired(kNow));
    EXPECT_TRUE(Cookie::fromSetCookie("a=1; Max-Age=soon", url("http://h/"), kNow)->isSession());

    // A Domain attribute the host belongs to opens the cookie to subdomains.
    auto shared = Cookie::fromSetCookie("a=1; Domain=.Example.com", url("http://shop.example.com/"), kNow);
    ASSERT_TRUE(shared);
    EXPECT_EQ(shared->domain, "example.com");
    EXPECT_FALSE(shared->hostOnly);
}

TEST(Cookie, RefusesMalformedOrForeignCookies)
{
    const URL from = url("http://shop.example.com/");
    for (const char* bad : {"novalue", "=1", "a=1; Domain=other.com", "a=1; Domain=com",
                            "a=1; Domain=hop.example.com", "a=b\x01"})
        EXPECT_FALSE(Cookie::fromSetCookie(bad, from, kNow)) << bad;
    // An IP address only ever matches itself.
    EXPECT_FALSE(Cookie::fromSetCookie("a=1; Domain=0.0.1", url("http://127.0.0.1/"), kNow));
    EXPECT_TRUE(Cookie::fromSetCookie("a=1; Domain=127.0.0.1", url("http://127.0.0.1/"), kNow));
}

// A Domain attribute may widen a cookie to a registered domain, never to a public suffix that
// many owners share; such a suffix is only ever the host's own name.
TEST(Cookie, DomainsFollowThePublicSuffixListAndSecureNeedsASecureOrigin)
{
    struct Case {
        const char* from;
        const char* header;
        const char* domain; // nullptr: refused
        bool hostOnly;
    };
    const Case cases[] = {
        {"https://shop.example.co.uk/", "a=1; Domain=co.uk", nullptr, false},
        {"https://shop.example.com.au/", "a=1; Domain=com.au", nullptr, false},
        {"https://someone.github.io/", "a=1; Domain=github.io", nullptr, false},
        {"https://shop.example.com/", "a=1; Domain=com", nullptr, false},
        {"https://shop.example.co.uk/", "a=1; Domain=example.co.uk", "example.co.uk", false},
        {"https://shop.example.co.uk/", "a=1; Domain=shop.example.co.uk", "shop.example.co.uk", false},
        {"https://someone.github.io/", "a=1; Domain=someone.github.io", "someone.github.io", false},
        // The suffix itself as a host keeps its cookie to itself.
        {"https://github.io/", "a=1; Domain=github.io", "github.io", true},
        {"http://127.0.0.1/", "a=1; Domain=127.0.0.1", "127.0.0.1", true},
        {"http://127.0.0.1/", "a=1; Domain=0.0.1", nullptr, false},
        {"http://10.1.2.3/", "a=1; Domain=2.3", nullptr, false},
        {"http://localhost/", "a=1; Domain=localhost", "localhost", true},
        {"http://localhost/", "a=1", "localhost", true},
        {"http://app.localhost/", "a=1; Domain=localhost", nullptr, false},
        // A fully qualified name's final dot changes nothing: the list sees the name without it.
        {"http://shop.example.co.uk./", "a=1; Domain=co.uk.", nullptr, false},
        {"http://shop.example.co.uk./", "a=1; Domain=co.uk", nullptr, false},
        {"http://shop.example.co.uk/", "a=1; Domain=.co.uk.", nullptr, false},
        {"http://someone.github.io./", "a=1; Domain=github.io.", nullptr, false},
        {"http://shop.example.com./", "a=1; Domain=com.", nullptr, false},
        {"http://shop.example.co.uk./", "a=1; Domain=example.co.uk.", "example.co.uk", false},
        {"http://shop.example.co.uk./", "a=1; Domain=example.co.uk", "example.co.uk", false},
        {"http://shop.example.co.uk./", "a=1", "shop.example.co.uk", true},
        {"http://github.io./", "a=1; Domain=github.io", "github.io", true},
        {"http://shop.example.co.uk./", "a=1; Domain=evil.co.uk.", nullptr, false},
        // Nor do several: every one goes before the list is asked.
        {"http://shop.example.co.uk../", "a=1; Domain=co.uk..", nullptr, false},
        {"http://shop.example.co.uk.../", "a=1; Domain=co.uk...", nullptr, false},
        {"http://shop.example.co.uk/", "a=1; Domain=.co.uk..", nullptr, false},
        {"http://someone.github.io../", "a=1; Domain=github.io..", nullptr, false},
        {"http://shop.example.com.../", "a=1; Domain=com...", nullptr, false},
        {"http://shop.example.co.uk../", "a=1; Domain=example.co.uk...", "example.co.uk", false},
        {"http://shop.example.co.uk.../", "a=1", "shop.example.co.uk", true},
        {"http://shop.example.co.uk../", "a=1; Domain=evil.co.uk..", nullptr, false},
        // Secure only from a secure origin.
        {"http://shop.example.com/", "a=1; Secure", nullptr, false},
        {"http://127.0.0.1/", "a=1; Path=/; Secure", nullptr, false},
        {"https://shop.example.com/", "a=1; Secure", "shop.example.com", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.from) + " " + c.header);
        auto cookie = Cookie::fromSetCookie(c.header, url(c.from), kNow);
        if (!c.domain) {
            EXPECT_FALSE(cookie);
            continue;
        }
        ASSERT_TRUE(cookie);
        EXPECT_EQ(cookie->domain, c.domain);
        EXPECT_EQ(cookie->hostOnly, c.hostOnly);
    }

    // Refused, it never reaches the store, and so never the secure site either.
    CookieStorage store;
    store.setCookiesFromResponseHeaders({{"Set-Cookie", "planted=1; Secure; Path=/"}, {"Set-Cookie", "plain=1; Path=/"}},
                                        url("http://shop.example.com/"));
    EXPECT_EQ(Cookie::requestHeaderValue(store.cookiesForURL(url("https://shop.example.com/"))), "plain=1");

    // With or without the final dot, a host gets its own cookies and no one else's.
    store.setCookiesFromResponseHeaders({{"Set-Cookie", "wide=1; Domain=example.co.uk."}},
                                        url("http://shop.example.co.uk./"));
    store.setCookiesFromResponseHeaders({{"Set-Cookie", "deep=1; Domain=co.uk.."}}, url("http://shop.example.co.uk../"));
    for (const char* to : {"http://www.example.co.uk/", "http://www.example.co.uk./", "http://example.co.uk./",
                           "http://www.example.co.uk.../"})
        EXPECT_EQ(Cookie::requestHeaderValue(store.cookiesForURL(url(to))), "wide=1") << to;
    for (const char* to : {"http://evil.co.uk./", "http://evil.co.uk/", "http://co.uk./", "http://evil.co.uk../",
                           "http://co.uk.../"})
        EXPECT_TRUE(store.cookiesForURL(url(to)).empty()) << to;
}

// Plain http may not replace, delete or shadow a Secure cookie: whatever it sends of the same
// name over the same domains, at or below its path, is dropped, and https still gets the value
// the secure site set, from memory and from the file.
TEST_F(CookieStore, PlainHttpLeavesSecureCookiesAlone)
{
    struct Case {
        const char* secure; // set over https://shop.example.com/account/login
        const char* from;
        const char* header;
        const char* sent; // what https://shop.example.com/account/page then carries
    };
    const Case cases[] = {
        // Replaced, deleted and shadowed from plain http: refused.
        {"sess=good; Secure; Path=/", "http://shop.example.com/", "sess=planted; Path=/", "sess=good"},
        {"sess=good; Secure; Path=/; Max-Age=600", "http://shop.example.com/", "sess=planted; Path=/; Max-Age=600",
         "sess=good"},
        {"sess=good; Secure; Path=/", "http://shop.example.com/", "sess=gone; Path=/; Max-Age=0", "sess=good"},
        {"sess=good; Secure; Path=/", "http://shop.example.com/", "sess=gone; Path=/; Expires=Thu, 01 Jan 1970 00:00:01 GMT",
         "sess=good"},
        {"sess=good; Secure; Path=/", "http://shop.example.com/", "sess=planted; Domain=example.com; Path=/",
         "sess=good"},
        {"sess=good; Secure; Path=/", "http://shop.example.com/", "sess=planted; Path=/account", "sess=good"},
        {"sess=good; Secure; Domain=example.com; Path=/", "http://www.example.com/", "sess=planted; Path=/",
         "sess=good"},
        {"sess=good; Secure; Domain=example.com; Path=/", "http://shop.example.com/", "sess=planted; Path=/account",
         "sess=good"},
        {"sess=good; Secure; Path=/", "http://SHOP.example.com./", "sess=planted; Path=/", "sess=good"},
        // Other names, other sites, a path above the secure one's, and https itself: taken.
        {"sess=good; Secure; Path=/", "http://shop.example.com/", "other=1; Path=/", "sess=good; other=1"},
        {"sess=good; Secure; Path=/", "http://example.org/", "sess=elsewhere; Path=/", "sess=good"},
        {"sess=good; Secure; Path=/account", "http://shop.example.com/", "sess=plain; Path=/", "sess=good; sess=plain"},
        {"sess=good; Secure; Path=/", "https://shop.example.com/", "sess=newer; Secure; Path=/", "sess=newer"},
        {"sess=good; Secure; Path=/", "https://shop.example.com/", "sess=unsecured; Path=/", "sess=unsecured"},
        {"sess=good; Secure; Path=/", "https://shop.example.com/", "sess=gone; Path=/; Max-Age=0", ""},
    };
    basetest::TempDir dir;
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.secure) + " / " + c.from + " " + c.header);
        auto file = dir / ("jar" + std::to_string(n++)) / "Cookies.plist";
        const URL page = url("https://shop.example.com/account/page");
        {
            CookieStorage store(file);
            store.setCookiesFromResponseHeaders({{"Set-Cookie", std::string(c.secure) + "; Max-Age=3600"}},
                                                url("https://shop.example.com/account/login"));
            store.setCookiesFromResponseHeaders({{"Set-Cookie", c.header}}, url(c.from));
            EXPECT_EQ(Cookie::requestHeaderValue(store.cookiesForURL(page)), c.sent);
        }
        // What was refused never reached the file either: the secure value is what it keeps.
        CookieStorage reloaded(file);
        std::string stored;
        for (auto& cookie : reloaded.cookies())
            if (cookie.name == "sess")
                stored += cookie.value + (cookie.secure ? " secure;" : ";");
        bool secureKept = std::string_view(c.sent).find("sess=good") != std::string_view::npos;
        EXPECT_EQ(stored, secureKept ? "good secure;" : "");
    }
}

TEST(Cookie, ReadsEveryCookieOfAResponseIncludingFoldedFields)
{
    std::vector<std::pair<std::string, std::string>> headers = {
        {"Content-Type", "text/plain"},
        {"Set-Cookie", "a=1; Path=/"},
        {"set-cookie", "b=2; Expires=Wed, 09 Jun 2100 10:18:14 GMT, c=3; Path=/, bad"},
    };
    auto cookies = Cookie::fromResponseHeaders(headers, url("http://h/x"), kNow);
    ASSERT_EQ(cookies.size(), 3u);
    EXPECT_EQ(cookies[0].name, "a");
    EXPECT_EQ(cookies[1].name, "b");
    ASSERT_TRUE(cookies[1].expires);
    EXPECT_EQ(cookies[1].expires->timeIntervalSince1970(), 4116219494);
    EXPECT_EQ(cookies[2].name, "c");
    EXPECT_EQ(Cookie::requestHeaderValue(cookies), "a=1; b=2; c=3");
}

TEST_F(CookieStore, StoreSendsCookiesOnlyWhereTheyBelong)
{
    CookieStorage store;
    store.setCookiesFromResponseHeaders({{"Set-Cookie", "s=1; Path=/"}}, url("http://127.0.0.1:8080/login"));
    EXPECT_EQ(Cookie::requestHeaderValue(store.cookiesForURL(url("http://127.0.0.1:8080/next"))), "s=1");
    EXPECT_TRUE(store.cookiesForURL(url("http://127.0.0.2:8080/next")).empty());

    store.setCookiesFromResponseHeaders({{"Set-Cookie", "host=1"},
                                         {"Set-Cookie", "dom=1; Domain=example.com; Path=/docs"},
                                         {"Set-Cookie", "sec=1; Secure; Path=/"}},
                                        url("https://example.com/docs/a"));
    auto names = [&](const char* u) {
        std::string out;
        for (auto& c : store.cookiesForURL(url(u)))
            out += c.name + " ";
        return out;
    };
    EXPECT_EQ(names("https://example.com/docs/x"), "host dom sec ");
    EXPECT_EQ(names("https://www.example.com/docs"), "dom "); // host-only ones stay at home
    EXPECT_EQ(names("http://example.com/docs/x"), "host dom ");   // no Secure over http
    EXPECT_EQ(names("https://example.com/docsx"), "sec ");        // "/docs" is not a prefix of "/docsx"
    EXPECT_EQ(names("https://badexample.com/docs"), "");
}

TEST_F(CookieStore, SameNameDomainAndPathReplacesAndExpiryDeletes)
{
    CookieStorage store;
    const URL site = url("http://h/");
    store.setCookie(*Cookie::fromSetCookie("a=1; Path=/", site, kNow));
    Date::setFixedNow(kNow.addingTimeInterval(10));
    store.setCookie(*Cookie::fromSetCookie("a=2; Path=/", site, Date::now()));
    store.setCookie(*Cookie::fromSetCookie("a=3; Path=/sub", site, Date::now()));
    auto all = store.cookies();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].value + all[1].value, "23");
    EXPECT_EQ(all[0].created, kNow); // the replaced cookie keeps its place in the order

    // Longest path first.
    EXPECT_EQ(Cookie::requestHeaderValue(store.cookiesForURL(url("http://h/sub/x"))), "a=3; a=2");

    store.setCookie(*Cookie::fromSetCookie("a=gone; Path=/; Max-Age=0", site, Date::now()));
    EXPECT_EQ(store.cookies().size(), 1u);

    store.setCookie(*Cookie::fromSetCookie("t=1; Max-Age=5", site, Date::now()));
    EXPECT_EQ(store.cookiesForURL(site).size(), 1u);
    Date::setFixedNow(Date::now().addingTimeInterval(5));
    EXPECT_TRUE(store.cookiesForURL(site).empty());
}

TEST_F(CookieStore, PersistentCookiesSurviveReloadingInAPrivateFile)
{
    basetest::TempDir dir;
    auto file = dir / "Library/Cookies.plist";
    const URL site = url("https://www.h.test/");
    {
        CookieStorage store(file);
        store.setCookiesFromResponseHeaders({{"Set-Cookie", "keep=1; Max-Age=3600; Secure; HttpOnly; Domain=h.test"},
                                             {"Set-Cookie", "far=1; Expires=Fri, 01 Jan 2100 00:00:00 GMT"},
                                             {"Set-Cookie", "session=1"}},
                                            site);
    }
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    CookieStorage reloaded(file);
    auto all = reloaded.cookies();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].name, "keep");
    EXPECT_TRUE(all[0].secure && all[0].httpOnly && !all[0].hostOnly);
    EXPECT_EQ(*all[0].expires, kNow.addingTimeInterval(3600));
    EXPECT_EQ(all[1].name, "far");

    reloaded.deleteCookie(all[0]);
    reloaded.flush();
    CookieStorage again(file);
    EXPECT_EQ(again.cookies().size(), 1u);
    // Expired while stored: not loaded.
    Date::setFixedNow(Date(4102444800 + 1));
    EXPECT_TRUE(again.reload());
    EXPECT_TRUE(again.cookies().empty());
}

// The jar keeps what browsers keep at least, dropping the least recently used (here the oldest)
// first, and a file written before the limits comes back within them.
TEST_F(CookieStore, LimitsDropTheOldestFirst)
{
    basetest::TempDir dir;
    auto file = dir / "Library/Cookies.plist";
    CookieStorage store(file);
    // 70 sites, 60 persistent cookies each, one answer per site and a second apart.
    for (int site = 0; site < 70; ++site) {
        Date::setFixedNow(kNow.addingTimeInterval(site));
        std::vector<std::pair<std::string, std::string>> headers;
        for (int n = 0; n < 60; ++n)
            headers.emplace_back("Set-Cookie", "c" + std::to_string(n) + "=" + std::to_string(site) + "; Max-Age=86400");
        store.setCookiesFromResponseHeaders(headers, url(("https://site" + std::to_string(site) + ".example.com/").c_str()));
    }
    auto all = store.cookies();
    ASSERT_EQ(all.size(), CookieStorage::kMaxCookies);
    std::map<std::string, std::set<std::string>> byDomain;
    for (auto& c : all)
        byDomain[c.domain].insert(c.name);
    // The ten oldest sites went whole; each other site keeps its 50 newest (the last 50 sent).
    EXPECT_EQ(byDomain.size(), 60u);
    EXPECT_FALSE(byDomain.contains("site9.example.com"));
    for (int site = 10; site < 70; ++site) {
        auto& names = byDomain["site" + std::to_string(site) + ".example.com"];
        ASSERT_EQ(names.size(), CookieStorage::kMaxCookiesPerDomain) << site;
        EXPECT_FALSE(names.contains("c9"));
        EXPECT_TRUE(names.contains("c10") && names.contains("c59"));
    }

    // A cookie of up to 4096 bytes is kept; a longer one is refused.
    const URL site = url("https://big.example.com/");
    for (size_t size : {size_t(4096), size_t(4097)}) {
        std::string header = "big" + std::to_string(size) + "=";
        header += std::string(size - header.size(), 'x');
        store.setCookiesFromResponseHeaders({{"Set-Cookie", header}}, site);
    }
    auto big = store.cookiesForURL(site);
    ASSERT_EQ(big.size(), 1u);
    EXPECT_EQ(big[0].name, "big4096");

    // What the file holds is the jar's persistent part, within the limits when read back.
    store.flush();
    CookieStorage again(file);
    EXPECT_EQ(again.cookies().size(), CookieStorage::kMaxCookies - 1); // less the session cookie
}

// Past a limit, expired cookies go first, then those not Secure, least recently used first
// (sent with a request, or taken again from the server, is a use); plain http never drops a
// Secure cookie, and a secure origin drops one only when no other is left to drop.
TEST_F(CookieStore, EvictionGoesExpiredFirstThenPlainThenSecureLeastRecentlyUsedFirst)
{
    const URL secure = url("https://shop.example.com/");
    const URL plain = url("http://shop.example.com/");
    // One answer per cookie, a second apart.
    auto answers = [](CookieStorage& store, const URL& from, const std::string& prefix, int count,
                      const std::string& attributes = "") {
        for (int n = 0; n < count; ++n) {
            Date::setFixedNow(Date::now().addingTimeInterval(1));
            store.setCookiesFromResponseHeaders({{"Set-Cookie", prefix + std::to_string(n) + "=1" + attributes}}, from);
        }
    };
    auto oneAnswer = [](CookieStorage& store, const URL& from, const std::string& prefix, int count) {
        Date::setFixedNow(Date::now().addingTimeInterval(1));
        std::vector<std::pair<std::string, std::string>> headers;
        for (int n = 0; n < count; ++n)
            headers.emplace_back("Set-Cookie", prefix + std::to_string(n) + "=1");
        store.setCookiesFromResponseHeaders(headers, from);
    };
    auto set = [](CookieStorage& store, const URL& from, const std::string& header) {
        Date::setFixedNow(Date::now().addingTimeInterval(1));
        store.setCookiesFromResponseHeaders({{"Set-Cookie", header}}, from);
    };
    // keep set first (FIRST), 49 plain answers (each with ATTRIBUTES), then keep used by USE,
    // then 5 more: the domain full, keep is dropped unless USE counts as a use.
    auto usedAmongOlder = [&](std::string first, std::string attributes, std::function<void(CookieStorage&)> use) {
        return [&, first, attributes, use](CookieStorage& s) {
            set(s, plain, first);
            answers(s, plain, "o", 49, attributes);
            use(s);
            answers(s, plain, "n", 5);
        };
    };
    struct Case {
        const char* what;
        std::function<void(CookieStorage&)> run;
        std::vector<std::string> kept, gone;
        size_t size = CookieStorage::kMaxCookiesPerDomain;
    };
    const Case cases[] = {
        {"fifty plain answers after a Secure one",
         [&](CookieStorage& s) {
             set(s, secure, "sess=good; Secure");
             answers(s, plain, "p", 50);
         },
         {"sess", "p1", "p49"}, {"p0"}},
        {"one plain answer of fifty after a Secure one",
         [&](CookieStorage& s) {
             set(s, secure, "sess=good; Secure");
             oneAnswer(s, plain, "p", 50);
         },
         {"sess", "p1", "p49"}, {"p0"}},
        {"a cookie the server refreshes outlives older untouched ones",
         usedAmongOlder("keep=1; Max-Age=3600", "", [&](CookieStorage& s) { set(s, plain, "keep=1; Max-Age=3600"); }),
         {"keep", "o5", "n4"}, {"o0", "o4"}},
        {"a cookie the server changes counts as used",
         usedAmongOlder("keep=1", "", [&](CookieStorage& s) { set(s, plain, "keep=2"); }),
         {"keep", "o5", "n4"}, {"o0", "o4"}},
        {"a cookie sent with a request counts as used",
         usedAmongOlder("keep=1; Path=/k", "; Path=/o",
                        [&](CookieStorage& s) {
                            EXPECT_EQ(Cookie::requestHeaderValue(s.cookiesForURL(url("http://shop.example.com/k"))),
                                      "keep=1");
                        }),
         {"keep", "o5", "n4"}, {"o0", "o4"}},
        {"expired cookies go first, however new",
         [&](CookieStorage& s) {
             answers(s, plain, "l", 45, "; Max-Age=86400");
             answers(s, plain, "e", 5, "; Max-Age=10");
             Date::setFixedNow(Date::now().addingTimeInterval(60));
             answers(s, plain, "n", 5);
         },
         {"l0", "l44", "n0", "n4"}, {"e0", "e4"}},
        {"a secure origin drops the plain ones before any Secure one",
         [&](CookieStorage& s) {
             answers(s, secure, "s", 48, "; Secure");
             answers(s, secure, "p", 3);
             answers(s, secure, "q", 1);
         },
         {"s0", "s47", "p2", "q0"}, {"p0", "p1"}},
        {"then the least recently used Secure one",
         [&](CookieStorage& s) {
             answers(s, secure, "s", 50, "; Secure");
             answers(s, secure, "t", 2, "; Secure");
         },
         {"s2", "s49", "t0", "t1"}, {"s0", "s1"}},
        {"plain http over a domain of Secure cookies drops its own",
         [&](CookieStorage& s) {
             answers(s, secure, "s", 50, "; Secure");
             answers(s, plain, "p", 3);
         },
         {"s0", "s49"}, {"p0", "p1", "p2"}},
        {"the jar's limit drops plain cookies of other sites, never a Secure one",
         [&](CookieStorage& s) {
             for (int site = 0; site < 59; ++site)
                 oneAnswer(s, url(("https://site" + std::to_string(site) + ".example.com/").c_str()),
                           "s" + std::to_string(site) + "_", 50);
             for (int site = 0; site < 59; ++site)
                 for (auto& c : s.cookiesForURL(url(("https://site" + std::to_string(site) + ".example.com/").c_str())))
                     s.setCookie([&] { auto secured = c; secured.secure = true; return secured; }());
             answers(s, url("http://other.example.com/"), "o", 50);
             answers(s, plain, "p", 3);
         },
         {"s0_0", "s58_49", "o3", "o49", "p0", "p2"}, {"o0", "o2"}, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Date::setFixedNow(kNow);
        CookieStorage store;
        c.run(store);
        std::set<std::string> names;
        size_t shop = 0;
        for (auto& cookie : store.cookies()) {
            names.insert(cookie.name);
            shop += cookie.domain == "shop.example.com";
        }
        EXPECT_EQ(shop, c.size);
        EXPECT_LE(names.size(), CookieStorage::kMaxCookies);
        for (const auto& name : c.kept)
            EXPECT_TRUE(names.contains(name)) << name << " was dropped";
        for (const auto& name : c.gone)
            EXPECT_FALSE(names.contains(name)) << name << " was kept";
    }
}

// A cookie that expires while it is being stored into a full domain goes with the expired ones it
// was to make room among, and the jar stays sound (on the wall clock: the moment falls between
// the jar's two readings of it, one attempt or another; a sanitizer build sees any read of the
// cookie gone).
TEST_F(CookieStore, ACookieExpiringAsItIsStoredIntoAFullDomainLeavesTheJarSound)
{
    Date::setFixedNow(std::nullopt);
    CookieStorage store;
    const URL from = url("http://a-rather-long-shop-name.example.com/");
    auto made = [&](const std::string& name, Date expires) {
        auto cookie = Cookie::fromSetCookie(name + "=1", from, Date::now());
        cookie->expires = expires;
        return *cookie;
    };
    for (size_t n = 0; n < CookieStorage::kMaxCookiesPerDomain; ++n)
        store.setCookies({made("kept" + std::to_string(n), Date::now().addingTimeInterval(3600))}, false);
    for (int attempt = 0; attempt < 4000; ++attempt) {
        const double soon = 1e-6 * (1 + attempt % 40) / 4;
        store.setCookies({made("brief" + std::to_string(attempt), Date::now().addingTimeInterval(soon))}, false);
    }
    EXPECT_LE(store.cookies().size(), CookieStorage::kMaxCookiesPerDomain);
}

// Answers that each bring a new cookie to a full domain of a full jar, so that each drops one,
// cost what they cost in a jar of ten: the jar is never walked whole for an answer.
TEST_F(CookieStore, AnswersFillingTheJarCostTheSameAtTenCookiesAndAtThreeThousand)
{
    auto site = [](int n) { return url(("https://site" + std::to_string(n) + ".example.com/").c_str()); };
    // Filled through answers of one cookie each.
    auto fill = [&](CookieStorage& store, size_t count) {
        for (size_t n = 0; n < count; ++n)
            store.setCookiesFromResponseHeaders(
                {{"Set-Cookie", "f" + std::to_string(n) + "=1; Max-Age=86400" + (n % 3 ? "" : "; Secure")}},
                site(int(n / CookieStorage::kMaxCookiesPerDomain)));
    };
    auto perAnswer = [&](CookieStorage& store, const std::string& prefix) {
        long before = testsupport::allocationsOnThisThread();
        for (int n = 0; n < 50; ++n)
            store.setCookiesFromResponseHeaders({{"Set-Cookie", prefix + std::to_string(n) + "=1; Max-Age=60"}}, site(0));
        return (testsupport::allocationsOnThisThread() - before) / 50;
    };
    CookieStorage small, full;
    fill(small, 10);
    fill(full, CookieStorage::kMaxCookies);
    ASSERT_EQ(full.cookies().size(), CookieStorage::kMaxCookies);
    perAnswer(small, "w");
    perAnswer(full, "w");
    long smallCost = perAnswer(small, "n");
    long fullCost = perAnswer(full, "n");
    EXPECT_LE(fullCost, smallCost + 2) << "allocations per answer, a full jar against one of ten";
    EXPECT_EQ(full.cookies().size(), CookieStorage::kMaxCookies);
    EXPECT_EQ(full.cookiesForURL(site(1)).size(), CookieStorage::kMaxCookiesPerDomain);
}

// A full jar costs an answer nothing more than a nearly empty one: a cookie taken again as it
// was, and the cookies sent with the next request, cost the same few allocations whatever
// the jar holds; the jar's order and contents stay as they were, and after a replacement
// moves cookies the next answers still find them, the Secure ones guarded.
TEST_F(CookieStore, AFullJarCostsAnAnswerNoMore)
{
    const URL app = url("https://shop.app.example.com/catalog/list");
    const URL plain = url("http://shop.app.example.com/catalog/list");
    const std::vector<std::pair<std::string, std::string>> answer = {{"Set-Cookie", "sid=abc123; Path=/; Max-Age=3600"}};
    auto fill = [](CookieStorage& store, int sites) {
        for (int site = 0; site < sites; ++site) {
            std::vector<std::pair<std::string, std::string>> headers;
            for (size_t n = 0; n < CookieStorage::kMaxCookiesPerDomain; ++n)
                headers.emplace_back("Set-Cookie", "c" + std::to_string(n) + "=" + std::to_string(site) + "; Max-Age=86400");
            store.setCookiesFromResponseHeaders(headers, url(("https://site" + std::to_string(site) + ".example.com/").c_str()));
        }
    };
    // Allocations of one answer repeating its cookie, and of the cookies sent with a request.
    auto costs = [&](CookieStorage& store, const std::string& sent = "sid=abc123") {
        long before = testsupport::allocationsOnThisThread();
        for (int i = 0; i < 20; ++i)
            store.setCookiesFromResponseHeaders(answer, app);
        long taking = (testsupport::allocationsOnThisThread() - before) / 20;
        before = testsupport::allocationsOnThisThread();
        for (int i = 0; i < 20; ++i)
            EXPECT_EQ(Cookie::requestHeaderValue(store.cookiesForURL(app)), sent);
        return std::pair(taking, (testsupport::allocationsOnThisThread() - before) / 20);
    };

    CookieStorage small, full;
    fill(small, 1);
    fill(full, int(CookieStorage::kMaxCookies / CookieStorage::kMaxCookiesPerDomain) - 1);
    for (CookieStorage* store : {&small, &full})
        store->setCookiesFromResponseHeaders(answer, app);
    ASSERT_GE(full.cookies().size(), CookieStorage::kMaxCookies - CookieStorage::kMaxCookiesPerDomain);
    costs(small);
    costs(full); // the index made once
    auto [smallTaking, smallSending] = costs(small);
    auto before = full.cookies();
    auto [fullTaking, fullSending] = costs(full);
    EXPECT_LE(fullTaking, smallTaking + 2) << "allocations per answer taken, full jar against small";
    EXPECT_LE(fullSending, smallSending + 2) << "allocations per request sent, full jar against small";
    auto after = full.cookies();
    ASSERT_EQ(after.size(), before.size());
    for (size_t i = 0; i < after.size(); ++i)
        ASSERT_TRUE(after[i].sameIdentity(before[i]) && after[i].value == before[i].value) << i;

    // A Secure cookie, then replacements that move cookies about: the index is made again
    // once, and plain http still cannot replace the Secure one.
    full.setCookiesFromResponseHeaders({{"Set-Cookie", "tok=secret; Path=/; Secure; Max-Age=3600"}}, app);
    full.setCookiesFromResponseHeaders({{"Set-Cookie", "c3=moved; Max-Age=86400"}}, url("https://site0.example.com/"));
    full.setCookiesFromResponseHeaders({{"Set-Cookie", "tok=planted; Path=/"}, {"Set-Cookie", "sid=next; Path=/"}}, plain);
    // Of one age, the replaced one comes after the cookie that stayed in place.
    EXPECT_EQ(Cookie::requestHeaderValue(full.cookiesForURL(app)), "tok=secret; sid=next");
    EXPECT_EQ(full.cookies().back().name, "sid");
    EXPECT_NE(Cookie::requestHeaderValue(full.cookiesForURL(url("https://site0.example.com/"))).find("c3=moved"),
              std::string::npos);
    full.setCookiesFromResponseHeaders(answer, app);
    costs(full, "tok=secret; sid=abc123");
    auto [againTaking, againSending] = costs(full, "tok=secret; sid=abc123");
    EXPECT_LE(againTaking, smallTaking + 2);
    EXPECT_LE(againSending, smallSending + 4);
}


// A cookie sent with a request is used, though nothing of it changed: the program's end writes
// its use (and so does the next write of a change before it), so that after a restart the jar,
// filling up, drops the cookies used least recently, not the oldest ones.
TEST_F(CookieStore, TheOrderOfUseOutlivesARestart)
{
    const URL shop = url("https://shop.example.com/");
    using Path = std::filesystem::path;
    // How the run ends; answers the file the next run starts from.
    using End = std::function<Path(std::unique_ptr<CookieStorage>&, const Path&)>;
    struct Case {
        const char* what;
        End end;
        bool sent;
    };
    const Case cases[] = {
        {"the program's end",
         [](std::unique_ptr<CookieStorage>&, const Path& file) {
             base::BackgroundWork::stopAll();
             base::BackgroundWork::resetForTesting();
             return file;
         },
         true},
        {"the jar shut down",
         [](std::unique_ptr<CookieStorage>& store, const Path& file) {
             store.reset();
             return file;
         },
         true},
        {"killed after the next change was written",
         [&](std::unique_ptr<CookieStorage>& store, const Path& file) {
             store->setCookiesFromResponseHeaders({{"Set-Cookie", "other=1; Max-Age=86400"}},
                                                  url("https://other.example.com/"));
             store->flush();
             // What a program killed now leaves behind.
             Path left = file.parent_path() / "Left.plist";
             std::filesystem::copy_file(file, left);
             return left;
         },
         true},
        {"nothing sent",
         [](std::unique_ptr<CookieStorage>& store, const Path& file) {
             store.reset();
             return file;
         },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        basetest::TempDir dir;
        auto file = dir / "Library/Cookies.plist";
        Date::setFixedNow(kNow);
        // Only the jar of this case is stopped at its end.
        base::BackgroundWork::resetForTesting();
        auto store = std::make_unique<CookieStorage>(file);
        // The domain full, one answer a second, "first" the oldest; all of it on disk.
        store->setCookiesFromResponseHeaders({{"Set-Cookie", "first=1; Path=/k; Max-Age=86400"}}, shop);
        for (size_t n = 1; n < CookieStorage::kMaxCookiesPerDomain; ++n) {
            Date::setFixedNow(Date::now().addingTimeInterval(1));
            store->setCookiesFromResponseHeaders({{"Set-Cookie", "c" + std::to_string(n) + "=1; Path=/o; Max-Age=86400"}},
                                                 shop);
        }
        store->flush();
        Date::setFixedNow(Date::now().addingTimeInterval(1));
        if (c.sent) {
            ASSERT_EQ(Cookie::requestHeaderValue(store->cookiesForURL(url("https://shop.example.com/k"))), "first=1");
        }
        Path next = c.end(store, file);
        store.reset();

        // Started again: one more cookie drops the least recently used one.
        Date::setFixedNow(Date::now().addingTimeInterval(60));
        CookieStorage again(next);
        auto shopNames = [&] {
            std::set<std::string> names;
            for (const auto& cookie : again.cookies())
                if (cookie.domain == "shop.example.com")
                    names.insert(cookie.name);
            return names;
        };
        ASSERT_EQ(shopNames().size(), CookieStorage::kMaxCookiesPerDomain);
        again.setCookiesFromResponseHeaders({{"Set-Cookie", "late=1; Max-Age=86400"}}, shop);
        auto names = shopNames();
        EXPECT_EQ(names.size(), CookieStorage::kMaxCookiesPerDomain);
        EXPECT_TRUE(names.contains("late"));
        EXPECT_EQ(names.contains("first"), c.sent) << "the cookie sent last";
        EXPECT_EQ(names.contains("c1"), !c.sent) << "the oldest cookie not sent";
    }
    base::BackgroundWork::resetForTesting();
}
} // namespace

