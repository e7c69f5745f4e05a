// The download cache on its own and under the engine against nginx on loopback.
#include "HTTPRequestTestSupport.h"

#include "Network/BRDownloadCache.h"
#include "Platform/Base/Digest.h"
#include "Platform/Base/PropertyList.h"

#include <arpa/inet.h>

#include <algorithm>
#include <filesystem>

using namespace enginetest;
namespace fs = std::filesystem;

namespace {

net::URL parsed(const std::string& text) { return *net::URL::parse(text); }

size_t lineCount(const std::string& text) { return size_t(std::count(text.begin(), text.end(), '\n')); }

std::string lastLine(const std::string& text)
{
    size_t end = text.find_last_not_of('\n');
    if (end == std::string::npos)
        return {};
    size_t start = text.find_last_of('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1, end + 1 - (start == std::string::npos ? 0 : start + 1));
}

bool acceptsConnections(int port)
{
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(uint16_t(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    ::close(fd);
    return ok;
}

TEST(DownloadCache, KeysExtensionsPolicyAndFolders)
{
    testHome();
    BRDownloadCache cache;
    cache.setDefaultCachePolicy(0);
    EXPECT_EQ(cache.defaultCachePolicy(), 4);
    cache.setDefaultCachePolicy(16);
    EXPECT_EQ(cache.defaultCachePolicy(), 16);

    std::string expected = base::Digest::md5Hex(std::string_view("http://h/a"));
    std::transform(expected.begin(), expected.end(), expected.begin(), ::toupper);
    EXPECT_EQ(BRDownloadCache::keyForURL(parsed("http://h/a/")), expected);
    EXPECT_EQ(BRDownloadCache::keyForURL(parsed("http://h/a")), expected);
    EXPECT_NE(BRDownloadCache::keyForURL(parsed("http://h/a//")), expected);

    EXPECT_EQ(BRDownloadCache::bodyExtensionForURL(parsed("http://h/x/index.PHP")), "html");
    EXPECT_EQ(BRDownloadCache::bodyExtensionForURL(parsed("http://h/x/photo.JPG")), "JPG");
    EXPECT_EQ(BRDownloadCache::bodyExtensionForURL(parsed("http://h/x.d/plain")), "html");

    std::string folder = testsupport::makeTemporaryFolder("cache-folders");
    writeFile(folder + "/file", "x");
    try {
        cache.setStoragePath(folder + "/file");
        ADD_FAILURE() << "a file as the cache folder was accepted";
    } catch (const BRDownloadCacheException& e) {
        EXPECT_EQ(e.name(), "FileExistsAtCachePath");
        EXPECT_NE(std::string(e.what()).find(folder + "/file"), std::string::npos);
    }
    // The lock was released before raising.
    EXPECT_TRUE(cache.accessLock()->try_lock());
    cache.accessLock()->unlock();

    // The session store starts empty; the permanent one keeps its files.
    fs::create_directories(folder + "/ok/SessionStore");
    fs::create_directories(folder + "/ok/PermanentStore");
    writeFile(folder + "/ok/SessionStore/old.html", "x");
    writeFile(folder + "/ok/PermanentStore/kept.html", "x");
    cache.setStoragePath(folder + "/ok");
    EXPECT_FALSE(fileExists(folder + "/ok/SessionStore/old.html"));
    EXPECT_TRUE(fileExists(folder + "/ok/PermanentStore/kept.html"));
    fs::remove_all(folder);
}

class DownloadCachePeer : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testHome();
        folder = testsupport::makeTemporaryFolder("cache-peer");
        root = folder + "/www";
        for (const char* dir : {"/fresh", "/stale", "/nostore", "/gz", "/fallback"})
            fs::create_directories(root + dir);
        for (const char* file : {"/fresh/a.txt", "/fresh/b.txt", "/fresh/c.txt", "/fresh/d.txt", "/stale/a.txt",
                                 "/nostore/a.txt", "/nostore/b.txt", "/fallback/a.txt"})
            writeFile(root + file, std::string("body of ") + file);
        writeFile(root + "/gz/big.txt", pattern(20000));
        if (!Nginx::available())
            return;
        nginx = std::make_unique<Nginx>(
            root, "  access_log " + folder + "/access.log;\n"
                  "  location /fresh/ { expires 1h; }\n"
                  "  location /stale/ { add_header Expires \"Thu, 01 Jan 1970 00:00:01 GMT\"; }\n"
                  "  location = /nostore/a.txt { add_header Cache-Control \"no-store, max-age=0\"; }\n"
                  "  location = /nostore/b.txt { add_header Cache-Control \"private, no-cache\"; }\n"
                  "  location /gz/ { default_type text/plain; expires 1h; }\n"
                  "  location = /moved { return 302 /fresh/d.txt; }\n");
    }
    static void TearDownTestSuite()
    {
        nginx.reset();
        fs::remove_all(folder);
    }
    void SetUp() override
    {
        cache = std::make_shared<BRDownloadCache>();
        cache->setStoragePath(folder + "/cache");
        BRHTTPRequest::setDefaultCache(cache);
    }
    void TearDown() override
    {
        BRHTTPRequest::setDefaultCache(nullptr);
        fs::remove_all(folder + "/cache");
    }

    static std::string accessLog() { return readFile(folder + "/access.log"); }
    // nginx logs once the answer is sent: wait for the line before counting.
    static size_t waitForLogLines(size_t atLeast)
    {
        base::RunLoop::main().runUntil([&] { return lineCount(accessLog()) >= atLeast; }, 10);
        return lineCount(accessLog());
    }
    std::string stored(const std::string& path, const std::string& store = "SessionStore")
    {
        return folder + "/cache/" + store + "/" + *BRDownloadCache::keyForURL(parsed(nginx->url(path)));
    }
    std::unique_ptr<Exchange> fetch(const std::string& path, int policy = 0, int storage = 0)
    {
        auto run = std::make_unique<Exchange>(nginx->url(path));
        run->request->setCachePolicy(policy);
        run->request->setCacheStoragePolicy(storage);
        EXPECT_TRUE(run->runAsync());
        return run;
    }

    static inline std::string folder, root;
    static inline std::unique_ptr<Nginx> nginx;
    std::shared_ptr<BRDownloadCache> cache;
};

#define REQUIRE_NGINX()                                                                                       \
    SKIP_WITHOUT_NGINX();                                                                                      \
    ASSERT_TRUE(nginx->ok())

TEST_F(DownloadCachePeer, StoresAndAnswersByPolicy)
{
    REQUIRE_NGINX();
    size_t lines = waitForLogLines(0);
    auto first = fetch("/fresh/a.txt");
    EXPECT_EQ(first->recorder->finished, 1);
    EXPECT_FALSE(first->request->didUseCachedResponse());
    auto headers = base::PropertyList::readFile(stored("/fresh/a.txt") + ".cachedheaders");
    ASSERT_TRUE(headers && headers->isDictionary());
    EXPECT_TRUE((*headers)["X-BRHTTPRequest-Expires"].isNumber());
    EXPECT_EQ((*headers)["X-BRHTTPRequest-Response-Status-Code"].toInt(), 200);
    EXPECT_EQ(readFile(stored("/fresh/a.txt") + ".txt"), "body of /fresh/a.txt");
    EXPECT_EQ(waitForLogLines(lines + 1), lines + 1);

    // 16: the stored copy whatever its age; 4 (the default): a fresh copy without asking.
    for (int policy : {16, 0}) {
        auto again = fetch("/fresh/a.txt", policy);
        EXPECT_EQ(again->recorder->finished, 1);
        EXPECT_TRUE(again->request->didUseCachedResponse());
        EXPECT_EQ(again->request->responseString(), "body of /fresh/a.txt");
        EXPECT_EQ(again->request->responseStatusCode(), 200);
    }
    // 8: always asked, with the stored tag; the 304 is answered from the cache.
    auto asked = fetch("/fresh/a.txt", 8);
    EXPECT_EQ(asked->recorder->finished, 1);
    EXPECT_TRUE(asked->request->didUseCachedResponse());
    EXPECT_TRUE(asked->request->requestHeader("If-None-Match").has_value());
    EXPECT_EQ(asked->request->responseString(), "body of /fresh/a.txt");
    EXPECT_EQ(waitForLogLines(lines + 2), lines + 2);
    EXPECT_NE(lastLine(accessLog()).find("GET /fresh/a.txt HTTP/1.1\" 304 "), std::string::npos);

    // An expired copy is asked for again under 4 and comes from the cache on a 304.
    fetch("/stale/a.txt");
    auto stale = fetch("/stale/a.txt");
    EXPECT_EQ(stale->recorder->finished, 1);
    EXPECT_TRUE(stale->request->requestHeader("If-None-Match").has_value());
    EXPECT_TRUE(stale->request->didUseCachedResponse());
    EXPECT_EQ(stale->request->responseString(), "body of /stale/a.txt");
    EXPECT_EQ(waitForLogLines(lines + 4), lines + 4);
    EXPECT_NE(lastLine(accessLog()).find("GET /stale/a.txt HTTP/1.1\" 304 "), std::string::npos);

    // 32 with nothing stored fails instead of finishing empty.
    auto none = fetch("/fresh/never.txt", 32);
    EXPECT_EQ(none->recorder->failed, 1);
    EXPECT_EQ(none->errorCode(), 1);
    EXPECT_EQ(none->request->error()->description, "No cached response available");
}

TEST_F(DownloadCachePeer, WhatIsStoredAndWhere)
{
    REQUIRE_NGINX();
    fetch("/fresh/missing.txt");
    EXPECT_FALSE(fileExists(stored("/fresh/missing.txt") + ".cachedheaders"));
    auto moved = fetch("/moved");
    EXPECT_EQ(moved->request->responseString(), "body of /fresh/d.txt");
    auto redirect = base::PropertyList::readFile(stored("/moved") + ".cachedheaders");
    ASSERT_TRUE(redirect);
    EXPECT_EQ((*redirect)["X-BRHTTPRequest-Response-Status-Code"].toInt(), 302);

    fetch("/nostore/a.txt");
    fetch("/nostore/b.txt");
    EXPECT_FALSE(fileExists(stored("/nostore/a.txt") + ".cachedheaders"));
    EXPECT_FALSE(fileExists(stored("/nostore/b.txt") + ".cachedheaders"));

    auto gz = fetch("/gz/big.txt");
    EXPECT_TRUE(gz->request->isResponseCompressed());
    EXPECT_EQ(readFile(stored("/gz/big.txt") + ".txt"), pattern(20000));
    auto gzHeaders = base::PropertyList::readFile(stored("/gz/big.txt") + ".cachedheaders");
    ASSERT_TRUE(gzHeaders);
    EXPECT_TRUE((*gzHeaders)["Content-Encoding"].isNull());
    auto fromCache = fetch("/gz/big.txt");
    EXPECT_TRUE(fromCache->request->didUseCachedResponse());
    EXPECT_EQ(fromCache->request->responseString(), pattern(20000));

    fetch("/fresh/b.txt", 0, BRCachePermanentlyCacheStoragePolicy);
    fetch("/fresh/c.txt");
    EXPECT_TRUE(fileExists(stored("/fresh/b.txt", "PermanentStore") + ".txt"));
    EXPECT_FALSE(fileExists(stored("/fresh/b.txt") + ".txt"));
    BRHTTPRequest::clearSession();
    EXPECT_TRUE(fileExists(stored("/fresh/b.txt", "PermanentStore") + ".txt"));
    EXPECT_FALSE(fileExists(stored("/fresh/c.txt") + ".txt"));
    EXPECT_TRUE(fs::is_empty(folder + "/cache/SessionStore"));
}

TEST_F(DownloadCachePeer, FallsBackWhenTheServerIsGone)
{
    SKIP_WITHOUT_NGINX();
    // A server of its own, stopped halfway.
    auto own = std::make_unique<Nginx>(root);
    ASSERT_TRUE(own->ok());
    std::string url = own->url("/fallback/a.txt");
    int port = parsed(url).effectivePort();
    Exchange first(url);
    ASSERT_TRUE(first.runAsync());
    EXPECT_EQ(first.recorder->finished, 1);
    own.reset();
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return !acceptsConnections(port); }, 10));

    Exchange failing(url);
    failing.request->setCachePolicy(BRAskServerIfModifiedWhenStaleCachePolicy);
    ASSERT_TRUE(failing.runAsync());
    EXPECT_EQ(failing.recorder->failed, 1);
    Exchange fallback(url);
    fallback.request->setCachePolicy(BRAskServerIfModifiedWhenStaleCachePolicy | BRFallbackToCacheIfLoadFailsCachePolicy);
    ASSERT_TRUE(fallback.runAsync());
    EXPECT_EQ(fallback.recorder->finished, 1);
    EXPECT_TRUE(fallback.request->didUseCachedResponse());
    EXPECT_EQ(fallback.request->responseString(), "body of /fallback/a.txt");
}

} // namespace
