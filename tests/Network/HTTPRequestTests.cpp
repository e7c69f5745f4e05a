#include "HTTPRequestTestSupport.h"

#include "Network/BRJSON.h"
#include "Platform/Base/Date.h"
#include "Platform/Net/CookieStorage.h"
#include "Platform/UI/Application.h"
#include "tests/Support/OnExit.h"

#include <sys/inotify.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

using namespace enginetest;

namespace {

const std::string kCommand = R"({"root":{"parameters":{"methodName":"login"}}})";

class HTTPRequest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testHome();
        net::CookieStorage::shared().removeAll();
        BRHTTPRequest::setSessionCookies({});
    }
};

TEST_F(HTTPRequest, ServerCommandAsynchronousAndSynchronous)
{
    // The answer echoes the command, chunked and gzipped in pieces of 1, 7 and 70 KiB.
    std::string answer = kCommand + std::string(200000, ' ');
    LoopbackServer server([&](const Request& rq) {
        Reply r;
        r.body = answer;
        r.gzip = true;
        r.framing = Reply::Framing::Chunked;
        r.chunkSizes = {1, 7, 70 * 1024};
        return r;
    });
    for (bool synchronous : {false, true}) {
        SCOPED_TRACE(synchronous ? "synchronous" : "asynchronous");
        Exchange run(server.url("/Vendor?"));
        configureAsCommand(*run.request, kCommand);
        if (synchronous) {
            run.request->startSynchronous();
            EXPECT_TRUE(run.request->complete());
            ASSERT_TRUE(run.wait());
        } else {
            ASSERT_TRUE(run.runAsync());
        }
        EXPECT_TRUE(run.recorder->wellOrdered());
        EXPECT_EQ(run.recorder->joined(), "started headers finished ");
        EXPECT_EQ(*run.markedFinished, 1);
        EXPECT_EQ(run.request->responseStatusCode(), 200);
        auto data = run.request->responseData();
        ASSERT_TRUE(data);
        EXPECT_EQ(std::string(data->begin(), data->end()), answer);
        EXPECT_TRUE(JSONValue(std::string(data->begin(), data->end())));
    }
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& rq : requests) {
        EXPECT_EQ(rq.method, "POST");
        EXPECT_TRUE(rq.header("Host"));
        EXPECT_EQ(rq.header("Content-Type").value_or(""), "applicatioin/bin;charset=UTF-8");
        EXPECT_EQ(rq.header("Accept-Encoding").value_or(""), "gzip");
        EXPECT_EQ(rq.header("Content-Length").value_or(""), std::to_string(kCommand.size()));
        EXPECT_EQ(rq.body, kCommand);
        EXPECT_FALSE(rq.header("Range"));
        EXPECT_FALSE(rq.header("Cookie"));
        // "%@ %@ (%@; %@ %@; %@)"
        std::string ua = rq.header("User-Agent").value_or("");
        EXPECT_NE(ua.find(" ("), std::string::npos) << ua;
        EXPECT_EQ(std::count(ua.begin(), ua.end(), ';'), 2) << ua;
        EXPECT_EQ(ua.back(), ')') << ua;
    }
}

TEST_F(HTTPRequest, FramingSuccessesAndEarlyEnds)
{
    std::string body = pattern(3000);
    struct Case {
        const char* name;
        Reply reply;
        bool succeeds;
    };
    std::vector<Case> cases;
    {
        Reply r;
        r.body = body;
        cases.push_back({"content-length", r, true});
    }
    {
        Reply r;
        r.body = body;
        r.version = "HTTP/1.0";
        r.framing = Reply::Framing::Close;
        cases.push_back({"close-delimited 1.0", r, true});
    }
    {
        Reply r;
        r.body = body;
        r.framing = Reply::Framing::Chunked;
        r.chunkSizes = {100, 1000};
        r.trailers = "X-Checksum: 1\r\n";
        cases.push_back({"chunked with trailers", r, true});
    }
    {
        Reply r;
        r.body = body;
        r.interim = {"HTTP/1.1 100 Continue\r\n\r\n"};
        cases.push_back({"100 then 200", r, true});
    }
    {
        Reply r;
        r.body = body;
        r.stopAfterBody = 1000;
        cases.push_back({"short content-length", r, false});
    }
    {
        Reply r;
        r.body = body;
        r.framing = Reply::Framing::Chunked;
        r.chunkSizes = {500};
        r.stopAfterBody = 2000;
        cases.push_back({"chunked cut before last chunk", r, false});
    }
    for (auto& c : cases) {
        SCOPED_TRACE(c.name);
        LoopbackServer server([&](const Request&) { return c.reply; });
        Exchange run(server.url("/frame"));
        ASSERT_TRUE(run.runAsync());
        EXPECT_TRUE(run.recorder->wellOrdered());
        if (c.succeeds) {
            EXPECT_EQ(run.recorder->finished, 1);
            auto data = run.request->responseData();
            EXPECT_EQ(std::string(data->begin(), data->end()), body);
        } else {
            EXPECT_EQ(run.errorCode(), BRConnectionFailureErrorType);
            EXPECT_EQ(run.request->error()->description, "A connection failure occurred");
            EXPECT_TRUE(run.request->rawResponseData().empty());
        }
    }
}

TEST_F(HTTPRequest, ContentLengthIsDecimalAndAgrees)
{
    std::string reply;
    LoopbackServer server([&](const Request&) {
        Reply r;
        r.raw = reply;
        return r;
    });
    // "010" is ten bytes, not eight.
    reply = "HTTP/1.1 200 OK\r\nContent-Length: 010\r\nConnection: close\r\n\r\n0123456789";
    Exchange ten(server.url("/"));
    ASSERT_TRUE(ten.runAsync());
    EXPECT_EQ(ten.recorder->finished, 1);
    EXPECT_EQ(ten.request->contentLength(), 10u);

    for (const char* bad : {"-1", "0x10", "18446744073709551617"}) {
        SCOPED_TRACE(bad);
        reply = std::string("HTTP/1.1 200 OK\r\nContent-Length: ") + bad + "\r\nConnection: close\r\n\r\n0123456789";
        Exchange run(server.url("/"));
        ASSERT_TRUE(run.runAsync());
        EXPECT_TRUE(run.recorder->wellOrdered());
        EXPECT_EQ(run.errorCode(), BRConnectionFailureErrorType);
    }
}

TEST_F(HTTPRequest, Redirects)
{
    LoopbackServer other([](const Request& rq) { return Reply::text(200, "other:" + rq.method); },
                         testsupport::ServerOptions::on("127.0.0.2"));
    LoopbackServer server([&](const Request& rq) {
        Reply r = Reply::text(200, rq.method + ":" + rq.body);
        auto hop = [&](int status, std::string to) {
            r = Reply::text(status, "moved");
            r.headers.push_back({"Location", to});
        };
        if (rq.target.rfind("/loop/", 0) == 0) {
            int n = std::stoi(rq.target.substr(6));
            hop(302, "/loop/" + std::to_string(n + 1));
        } else if (rq.target == "/see-other") {
            hop(303, "/done");
        } else if (rq.target == "/temporary") {
            hop(307, "/done");
        } else if (rq.target == "/elsewhere") {
            hop(307, other.url("/x"));
        } else if (rq.target == "/file") {
            hop(302, "file:///etc/passwd");
        }
        return r;
    });

    // Five are followed; the sixth fails.
    Exchange loop(server.url("/loop/0"));
    ASSERT_TRUE(loop.runAsync());
    EXPECT_TRUE(loop.recorder->wellOrdered());
    EXPECT_EQ(loop.errorCode(), BRTooMuchRedirectionErrorType);
    EXPECT_EQ(server.requests().size(), 6u);

    Exchange seeOther(server.url("/see-other"));
    configureAsCommand(*seeOther.request, kCommand);
    ASSERT_TRUE(seeOther.runAsync());
    EXPECT_TRUE(seeOther.recorder->wellOrdered());
    auto last = server.requests().back();
    EXPECT_EQ(last.method, "GET");
    EXPECT_TRUE(last.body.empty());
    EXPECT_FALSE(last.header("Content-Type"));

    Exchange temporary(server.url("/temporary"));
    configureAsCommand(*temporary.request, kCommand);
    ASSERT_TRUE(temporary.runAsync());
    last = server.requests().back();
    EXPECT_EQ(last.method, "POST");
    EXPECT_EQ(last.body, kCommand);
    auto data = temporary.request->responseData();
    EXPECT_EQ(std::string(data->begin(), data->end()), "POST:" + kCommand);

    // Credentials stay with the host they were meant for.
    Exchange elsewhere(server.url("/elsewhere"));
    configureAsCommand(*elsewhere.request, kCommand);
    elsewhere.request->addRequestHeader("Authorization", "Basic dTpw");
    ASSERT_TRUE(elsewhere.runAsync());
    EXPECT_EQ(elsewhere.recorder->finished, 1);
    ASSERT_EQ(other.requests().size(), 1u);
    EXPECT_FALSE(other.requests()[0].header("Authorization"));
    EXPECT_EQ(other.requests()[0].method, "POST");
    EXPECT_EQ(server.requests().back().header("Authorization").value_or(""), "Basic dTpw");

    Exchange file(server.url("/file"));
    ASSERT_TRUE(file.runAsync());
    EXPECT_TRUE(file.recorder->wellOrdered());
    EXPECT_EQ(file.errorCode(), BRUnableToCreateRequestErrorType);
}

TEST_F(HTTPRequest, Cookies)
{
    LoopbackServer other([](const Request&) { return Reply::text(200, "ok"); }, testsupport::ServerOptions::on("127.0.0.2"));
    LoopbackServer server([](const Request& rq) {
        Reply r = Reply::text(200, "ok");
        if (rq.target == "/set")
            r.headers = {{"Set-Cookie", "s=1; Path=/"}, {"Set-Cookie", "sec=2; Path=/; Secure"}};
        else if (rq.target == "/replace")
            r.headers = {{"Set-Cookie", "s=3; Path=/"},
                         {"Set-Cookie", "keep=4; Path=/; Expires=Wed, 09 Jun 2100 10:18:14 GMT"}};
        return r;
    });
    for (const char* path : {"/set", "/next", "/replace", "/after"}) {
        Exchange run(server.url(path));
        ASSERT_TRUE(run.runAsync());
        EXPECT_TRUE(run.recorder->wellOrdered());
    }
    auto requests = server.requests();
    EXPECT_FALSE(requests[0].header("Cookie"));
    // A Secure cookie is not sent over http.
    EXPECT_EQ(requests[1].header("Cookie").value_or(""), "s=1");
    EXPECT_EQ(requests[3].header("Cookie").value_or(""), "s=3; keep=4");
    // Same domain, path and name: the session list holds the newest only.
    int s = 0;
    for (const auto& c : BRHTTPRequest::sessionCookies())
        if (c.name == "s") {
            ++s;
            EXPECT_EQ(c.value, "3");
        }
    EXPECT_EQ(s, 1);

    Exchange elsewhere(other.url("/"));
    ASSERT_TRUE(elsewhere.runAsync());
    EXPECT_FALSE(other.requests()[0].header("Cookie"));

    // The persistent cookie survives reading the store again; the session one does not.
    ASSERT_TRUE(net::CookieStorage::shared().reload());
    auto kept = net::CookieStorage::shared().cookies();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept[0].name, "keep");
}

// A server that sets hundreds of cookies per answer: each answer is taken at once, the jar
// stays within its limits (the newest kept), the cookie file is written at most once per
// answer, and requests elsewhere go on meanwhile.
TEST_F(HTTPRequest, ManyCookiesAreTakenQuicklyWithinTheLimitsAndWrittenOncePerAnswer)
{
    constexpr int kAnswers = 20, kCookiesPerAnswer = 400;
    LoopbackServer server([](const Request& rq) {
        Reply r = Reply::text(200, "ok");
        if (rq.target.starts_with("/set/"))
            for (int n = 0; n < kCookiesPerAnswer; ++n)
                r.headers.emplace_back("Set-Cookie", "c" + rq.target.substr(5) + "_" + std::to_string(n) +
                                                         "=" + std::string(40, 'v') + "; Path=/; Max-Age=86400");
        return r;
    });
    LoopbackServer other([](const Request&) { return Reply::text(200, "plain"); },
                         testsupport::ServerOptions::on("127.0.0.2"));

    // Writes of the cookie file are counted as they land in the library folder.
    auto& jar = net::CookieStorage::shared();
    jar.flush();
    std::string library = testHome() + "/Library";
    std::filesystem::create_directories(library);
    int watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(inotify_add_watch(watch, library.c_str(), IN_MOVED_TO | IN_CLOSE_WRITE), 0);
    auto writes = [&] {
        int count = 0;
        alignas(inotify_event) char buffer[8192];
        ssize_t n;
        while ((n = ::read(watch, buffer, sizeof buffer)) > 0)
            for (char* p = buffer; p < buffer + n;) {
                auto* event = reinterpret_cast<inotify_event*>(p);
                if ((event->mask & IN_MOVED_TO) && event->len && std::string(event->name) == "Cookies.plist")
                    ++count;
                p += sizeof(inotify_event) + event->len;
            }
        return count;
    };

    // Plain requests from another thread while the cookie answers come in: a few, so that the
    // processor time measured below is the cookies' own.
    std::atomic<int> plainDone{0};
    std::thread plain([&] {
        for (int i = 0; i < 5; ++i) {
            auto rq = BRHTTPRequest::requestWithURL(net::URL::parse(other.url("/")));
            rq->startSynchronous();
            if (rq->responseStatusCode() == 200)
                ++plainDone;
        }
    });
    testsupport::JoinOnExit joinPlain(plain);

    // Processor time, not wall time: a loaded machine stretches the one, not the other.
    auto cpuSeconds = [] {
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
               double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    };
    double cpuBefore = cpuSeconds();
    for (int answer = 0; answer < kAnswers; ++answer) {
        Exchange run(server.url("/set/" + std::to_string(answer)));
        ASSERT_TRUE(run.runAsync());
        ASSERT_EQ(run.request->responseStatusCode(), 200);
        EXPECT_EQ(run.request->responseCookies().size(), size_t(kCookiesPerAnswer));
        // Halfway, a request elsewhere has gone through while the jar takes these.
        if (answer == kAnswers / 2) {
            EXPECT_TRUE(base::RunLoop::main().runUntil([&] { return plainDone > 0; }, 60));
        }
    }
    plain.join();
    double cpu = cpuSeconds() - cpuBefore;
    EXPECT_LT(cpu, 2.0);
    EXPECT_EQ(plainDone, 5);

    jar.flush();
    int written = writes();
    ::close(watch);
    EXPECT_GE(written, 1);
    EXPECT_LE(written, kAnswers);

    // Within the limits, the newest answer's cookies kept; they and no more go out.
    EXPECT_EQ(jar.cookies().size(), net::CookieStorage::kMaxCookiesPerDomain);
    Exchange check(server.url("/check"));
    ASSERT_TRUE(check.runAsync());
    auto cookie = server.requests().back().header("Cookie").value_or("");
    EXPECT_EQ(std::count(cookie.begin(), cookie.end(), '='), long(net::CookieStorage::kMaxCookiesPerDomain));
    EXPECT_NE(cookie.find("c19_399="), std::string::npos);
    EXPECT_EQ(cookie.find("c18_"), std::string::npos);
    EXPECT_LE(BRHTTPRequest::sessionCookies().size(), net::CookieStorage::kMaxCookies);
}

// Writes of the cookie file, counted as they land in the library folder: by the closing of
// each write's own temporary copy, since the kernel merges repeated identical events (the
// renames onto one name) that were not read in between.
class JarWrites {
public:
    JarWrites()
    {
        net::CookieStorage::shared().flush();
        std::string library = testHome() + "/Library";
        std::filesystem::create_directories(library);
        m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        EXPECT_GE(m_fd, 0);
        EXPECT_GE(inotify_add_watch(m_fd, library.c_str(), IN_CLOSE_WRITE), 0);
    }
    ~JarWrites() { ::close(m_fd); }
    int count()
    {
        alignas(inotify_event) char buffer[8192];
        ssize_t n;
        while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0)
            for (char* p = buffer; p < buffer + n;) {
                auto* event = reinterpret_cast<inotify_event*>(p);
                if (event->len && std::string_view(event->name).starts_with(".Cookies.plist.tmp-"))
                    ++m_count;
                p += sizeof(inotify_event) + event->len;
            }
        return m_count;
    }

private:
    int m_fd = -1;
    int m_count = 0;
};

// A server that sends the same persistent cookie with every answer causes no write per
// answer: the jar is written when its content changes, at most about once a second, and a
// newer expiry alone goes out with the next write.
TEST_F(HTTPRequest, AnswersRepeatingACookieDoNotRewriteTheJar)
{
    LoopbackServer server([](const Request& rq) {
        Reply r = Reply::text(200, "ok");
        if (rq.target.starts_with("/same"))
            r.headers.emplace_back("Set-Cookie", "sess=steady; Path=/; Expires=Wed, 09 Jun 2100 10:18:14 GMT");
        else if (rq.target.starts_with("/sliding"))
            r.headers.emplace_back("Set-Cookie", "slide=steady; Path=/; Max-Age=86400");
        else if (rq.target.starts_with("/changing/"))
            r.headers.emplace_back("Set-Cookie", "turn=" + rq.target.substr(10) + "; Path=/; Max-Age=86400");
        return r;
    });
    auto& jar = net::CookieStorage::shared();
    {
        // The same cookie a hundred times, the jar told to save after each answer (as leaving
        // for the background does): only the first answer changed anything.
        JarWrites writes;
        for (int answer = 0; answer < 100; ++answer) {
            Exchange run(server.url("/same"));
            ASSERT_TRUE(run.runAsync());
            ASSERT_EQ(run.request->responseStatusCode(), 200);
            jar.flush();
        }
        EXPECT_EQ(writes.count(), 1);
    }
    {
        // Only its expiry moving: no write of its own, the newest expiry kept by the next one.
        JarWrites writes;
        double lastAnswer = 0;
        for (int answer = 0; answer < 100; ++answer) {
            lastAnswer = base::Date::now().timeIntervalSince1970();
            Exchange run(server.url("/sliding"));
            ASSERT_TRUE(run.runAsync());
        }
        jar.flush();
        EXPECT_GE(writes.count(), 1);
        EXPECT_LE(writes.count(), 3);
        ASSERT_TRUE(jar.reload());
        std::optional<net::Cookie> kept;
        for (auto& c : jar.cookies())
            if (c.name == "slide")
                kept = c;
        ASSERT_TRUE(kept);
        EXPECT_GE(kept->expires->timeIntervalSince1970(), lastAnswer + 86400 - 1);
    }
    {
        // A value that changes with every answer is written at the jar's pace, not the server's.
        JarWrites writes;
        auto start = std::chrono::steady_clock::now();
        for (int answer = 0; answer < 40; ++answer) {
            Exchange run(server.url("/changing/" + std::to_string(answer)));
            ASSERT_TRUE(run.runAsync());
        }
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        jar.flush();
        EXPECT_LE(writes.count(), int(seconds) + 3);
        ASSERT_TRUE(jar.reload());
        std::string turn;
        for (auto& c : jar.cookies())
            if (c.name == "turn")
                turn = c.value;
        EXPECT_EQ(turn, "39");
    }
}

// Whatever keeps the method across a redirect, the new address gets only the cookies the
// store holds for it: none of the first host's, no Secure one over plain http, and a cookie
// header the caller wrote stays with the host it was written for.
TEST_F(HTTPRequest, RedirectsChooseCookiesForTheNewAddress)
{
    std::string certs = testsupport::makeTemporaryFolder("certs");
    auto self = testsupport::makeCertificate(certs, "self", {"127.0.0.1"});
    testsupport::ServerOptions tls;
    tls.certificateFile = self.certificate;
    tls.keyFile = self.key;

    auto echo = [](const Request& rq) {
        Reply r = Reply::text(200, rq.method);
        if (rq.target == "/set")
            r.headers = {{"Set-Cookie", "mine=" + rq.target + "; Path=/"}};
        return r;
    };
    LoopbackServer other(echo, testsupport::ServerOptions::on("127.0.0.2"));
    LoopbackServer plain(echo);
    std::string to; // where the next hop goes
    int hopStatus = 307;
    auto hopping = [&](const Request& rq) {
        Reply r = Reply::text(200, "ok");
        if (rq.target == "/set") {
            r.headers = {{"Set-Cookie", "first=1; Path=/"}, {"Set-Cookie", "sec=2; Path=/; Secure"}};
        } else if (rq.target == "/hop") {
            r = Reply::text(hopStatus, "moved");
            r.headers = {{"Location", to}};
        }
        return r;
    };
    LoopbackServer first(hopping);
    LoopbackServer secure(hopping, tls);

    auto run = [](const std::string& url, bool rfc2616, std::optional<std::string> handWritten = {}) {
        Exchange e(url);
        configureAsCommand(*e.request, kCommand);
        e.request->setValidatesSecureCertificate(false);
        e.request->setShouldUseRFC2616RedirectBehaviour(rfc2616);
        if (handWritten) {
            // Without the store, nothing but the caller writes the header.
            e.request->setUseCookiePersistence(false);
            e.request->addRequestHeader("Cookie", *handWritten);
        }
        EXPECT_TRUE(e.runAsync());
        EXPECT_EQ(e.recorder->finished, 1) << url;
        return e;
    };
    run(first.url("/set"), false);
    run(secure.url("/set"), false);
    run(other.url("/set"), false);

    struct Case {
        const char* name;
        int status;
        bool rfc2616;
        LoopbackServer* from;
        LoopbackServer* to;
        std::optional<std::string> handWritten;
        std::string expected; // the Cookie header the target sees, "" for none
    };
    const std::vector<Case> cases = {
        {"307 to another host", 307, false, &first, &other, {}, "mine=/set"},
        {"301 kept as POST to another host", 301, true, &first, &other, {}, "mine=/set"},
        {"302 kept as POST to another host", 302, true, &first, &other, {}, "mine=/set"},
        {"303 to another host", 303, false, &first, &other, {}, "mine=/set"},
        {"307 from https to http", 307, false, &secure, &plain, {}, "first=1"},
        {"301 kept as POST from https to http", 301, true, &secure, &plain, {}, "first=1"},
        {"302 kept as POST from https to http", 302, true, &secure, &plain, {}, "first=1"},
        {"hand-written, 307 to another host", 307, false, &first, &other, "hand=1", ""},
        {"hand-written, 307 on the same host", 307, false, &first, &first, "hand=1", "hand=1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        hopStatus = c.status;
        to = c.to->url("/landed");
        size_t before = c.to->requests().size();
        Exchange e = run(c.from->url("/hop"), c.rfc2616, c.handWritten);
        auto seen = c.to->requests();
        ASSERT_GT(seen.size(), before);
        EXPECT_EQ(seen.back().target, "/landed");
        EXPECT_EQ(seen.back().method, c.status == 303 ? "GET" : "POST");
        EXPECT_EQ(seen.back().header("Cookie").value_or(""), c.expected);
    }
}

TEST_F(HTTPRequest, ConnectionReuse)
{
    std::string keepAlive;
    std::string version = "HTTP/1.1";
    LoopbackServer server([&](const Request&) {
        Reply r = Reply::text(200, "ok");
        r.version = version;
        if (!keepAlive.empty())
            r.headers.push_back({"Keep-Alive", keepAlive});
        if (version == "HTTP/1.0")
            r.framing = Reply::Framing::Length;
        return r;
    });
    // Connections the second of two requests opened: 0 when it took over the first's.
    auto secondOpened = [&](std::function<void(BRHTTPRequest&)> configure = {}) {
        int afterFirst = 0;
        for (int i = 0; i < 2; ++i) {
            Exchange run(server.url("/r"));
            if (configure)
                configure(*run.request);
            EXPECT_TRUE(run.runAsync());
            EXPECT_TRUE(run.recorder->wellOrdered());
            if (i == 0)
                afterFirst = server.acceptCount();
        }
        return server.acceptCount() - afterFirst;
    };
    EXPECT_EQ(secondOpened(), 0);
    EXPECT_EQ(server.acceptCount(), 1);
    keepAlive = "timeout=1, max=5";
    EXPECT_EQ(secondOpened(), 1);
    keepAlive = "timeout=30, max=6";
    EXPECT_EQ(secondOpened(), 0);
    keepAlive.clear();
    version = "HTTP/1.0";
    EXPECT_EQ(secondOpened(), 1);
    version = "HTTP/1.1";
    EXPECT_EQ(secondOpened([](BRHTTPRequest& r) { configureAsCommand(r, kCommand); }), 1);

    // Idle time runs on the monotonic clock: a wall clock stepped an hour ahead between the
    // two keeps a live connection, and one stepped a day back does not keep a dead one.
    keepAlive = "timeout=30, max=10";
    EXPECT_EQ(secondOpened([](BRHTTPRequest&) { base::Date::setFixedNow(base::Date::now().addingTimeInterval(3600)); }), 0);
    keepAlive = "timeout=0, max=10";
    EXPECT_EQ(secondOpened([](BRHTTPRequest&) { base::Date::setFixedNow(base::Date::now().addingTimeInterval(-86400)); }), 1);
    base::Date::setFixedNow(std::nullopt);

    // An idle connection past its time is closed without waiting for a next request.
    LoopbackServer brief([](const Request&) {
        Reply r = Reply::text(200, "ok");
        r.headers.push_back({"Keep-Alive", "timeout=0, max=10"});
        return r;
    });
    Exchange first(brief.url("/r"));
    ASSERT_TRUE(first.runAsync());
    EXPECT_TRUE(brief.waitForClosedByClient(1, 10));
}

// An idle connection closes when its idle time is up, with no further request to notice it,
// and however many hosts were asked, no more than a bounded number stay idle.
TEST_F(HTTPRequest, IdleConnectionsCloseOnTheirOwnAndStayFew)
{
    LoopbackServer brief([](const Request&) {
        Reply r = Reply::text(200, "ok");
        r.headers.push_back({"Keep-Alive", "timeout=1, max=100"});
        return r;
    });
    Exchange run(brief.url("/"));
    ASSERT_TRUE(run.runAsync());
    EXPECT_TRUE(brief.waitForClosedByClient(1, 60)) << "closed after its second of idle time";

    constexpr int kHosts = 40;
    std::vector<std::unique_ptr<LoopbackServer>> hosts;
    for (int i = 0; i < kHosts; ++i)
        hosts.push_back(std::make_unique<LoopbackServer>([](const Request&) { return Reply::text(200, "ok"); }));
    for (auto& host : hosts) {
        Exchange get(host->url("/"));
        ASSERT_TRUE(get.runAsync());
    }
    EXPECT_LE(BRHTTPRequest::connectionPoolSize(), BRHTTPRequest::kMaxIdleConnections);
    auto closed = [&] {
        int n = 0;
        for (auto& host : hosts)
            n += host->closedByClient();
        return n;
    };
    EXPECT_TRUE(base::RunLoop::main().runUntil([&] { return closed() >= kHosts - int(BRHTTPRequest::kMaxIdleConnections); }, 60))
        << closed();
    // The newest stay ready for their next request.
    int opened = hosts.back()->acceptCount();
    Exchange again(hosts.back()->url("/"));
    ASSERT_TRUE(again.runAsync());
    EXPECT_EQ(hosts.back()->acceptCount(), opened);
}

TEST_F(HTTPRequest, CancellingAndEndingWithoutCallbacks)
{
    auto gate = std::make_shared<Gate>();
    LoopbackServer server([&](const Request& rq) {
        Reply r;
        r.body = std::string(100 << 20, 'x');
        r.pauses = {{64 * 1024, gate}};
        return r;
    });
    Exchange big(server.url("/big"));
    big.recorder->wantsData = true;
    big.request->startAsynchronous();
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return !big.recorder->data.empty(); }, 30));
    big.request->cancel();
    ASSERT_TRUE(big.wait());
    big.request->cancel();
    gate->open();
    base::RunLoop::main().runFor(0.2);
    EXPECT_TRUE(big.recorder->wellOrdered());
    EXPECT_EQ(big.recorder->failed, 1);
    EXPECT_EQ(big.errorCode(), BRRequestCancelledErrorType);
    EXPECT_TRUE(big.request->isCancelled());

    auto gate2 = std::make_shared<Gate>();
    LoopbackServer held([&](const Request&) {
        Reply r = Reply::text(200, "late");
        r.pauses = {{0, gate2}};
        return r;
    });
    Exchange quiet(held.url("/"));
    quiet.request->startAsynchronous();
    ASSERT_TRUE(gate2->waitReached(10));
    quiet.request->clearDelegatesAndCancel();
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return *quiet.markedFinished > 0; }, 10));
    gate2->open();
    base::RunLoop::main().runFor(0.2);
    EXPECT_TRUE(quiet.recorder->events.size() <= 1) << quiet.recorder->joined();
    EXPECT_EQ(quiet.recorder->finished + quiet.recorder->failed, 0);

    Exchange noURL(std::nullopt);
    ASSERT_TRUE(noURL.runAsync());
    EXPECT_TRUE(noURL.recorder->wellOrdered());
    EXPECT_EQ(noURL.errorCode(), BRUnableToCreateRequestErrorType);

    // A header that would split the request is never sent.
    Exchange injected(server.url("/"));
    injected.request->addRequestHeader("X-Evil", "a\r\nX-Injected: 1");
    ASSERT_TRUE(injected.runAsync());
    EXPECT_EQ(injected.errorCode(), BRUnableToCreateRequestErrorType);
}

TEST_F(HTTPRequest, BackgroundTaskExpiryCancels)
{
    auto gate = std::make_shared<Gate>();
    LoopbackServer server([&](const Request&) {
        Reply r = Reply::text(200, "late");
        r.pauses = {{0, gate}};
        return r;
    });
    ui::Application::shared().resetForTesting();
    Exchange run(server.url("/"));
    run.request->setShouldContinueWhenAppEntersBackground(true);
    run.request->startAsynchronous();
    ASSERT_TRUE(gate->waitReached(10));
    EXPECT_EQ(ui::Application::shared().backgroundTaskCount(), 1u);
    ui::Application::shared().expireBackgroundTasksForTesting();
    ASSERT_TRUE(run.wait());
    gate->open();
    EXPECT_TRUE(run.recorder->wellOrdered());
    EXPECT_EQ(run.errorCode(), BRRequestCancelledErrorType);
    ASSERT_TRUE(base::RunLoop::main().runUntil([] { return ui::Application::shared().backgroundTaskCount() == 0; }, 5));
}

TEST_F(HTTPRequest, CopyKeepsTheOwnersSettingsOnly)
{
    auto original = BRHTTPRequest::requestWithURL(net::URL::parse("http://127.0.0.1/x"));
    auto delegate = std::make_shared<Recorder>();
    auto queue = std::make_shared<Recorder>();
    original->setDelegate(delegate);
    original->setQueue(queue);
    configureAsDownload(*original, "/tmp/dest", "/tmp/tmp");
    original->setTag(42);
    original->setUseHTTPVersionOne(true);
    original->setCompletionBlock([] {});
    original->setDownloadCache(nullptr);
    original->setCachePolicy(BRDontLoadCachePolicy);
    auto copy = original->copy();
    EXPECT_EQ(copy->delegate(), delegate);
    EXPECT_EQ(copy->queue(), nullptr);
    EXPECT_EQ(copy->requestMethod(), "POST");
    EXPECT_EQ(copy->timeOutSeconds(), 20);
    EXPECT_TRUE(copy->allowResumeForFileDownloads());
    EXPECT_FALSE(copy->shouldResetDownloadProgress());
    EXPECT_EQ(copy->downloadDestinationPath(), "/tmp/dest");
    EXPECT_EQ(copy->temporaryFileDownloadPath(), "/tmp/tmp");
    EXPECT_EQ(copy->tag(), 42);
    EXPECT_TRUE(copy->useHTTPVersionOne());
    EXPECT_EQ(copy->cachePolicy(), 0);
    // Not copied: the background switch.
    EXPECT_FALSE(copy->shouldContinueWhenAppEntersBackground());
}

TEST_F(HTTPRequest, ActivityIndicatorBridgesShortGaps)
{
    auto gate = std::make_shared<Gate>();
    LoopbackServer server([&](const Request& rq) {
        Reply r = Reply::text(200, "ok");
        if (rq.target == "/second")
            r.pauses = {{0, gate}};
        return r;
    });
    auto& app = ui::Application::shared();
    auto& loop = base::RunLoop::main();
    // Waiting idle on the manual clock would jump to the hiding timer, so the main loop only
    // runs what is already posted once the request has ended on its own thread.
    auto finishWithoutIdling = [&](Exchange& run) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (*run.markedFinished == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        loop.runPending();
        return run.recorder->done();
    };
    loop.setManualClock(true);
    Exchange first(server.url("/first"));
    first.request->startAsynchronous();
    ASSERT_TRUE(finishWithoutIdling(first));
    EXPECT_TRUE(app.isNetworkActivityIndicatorVisible());
    // The next request starts within the half second: the indicator stays on past it.
    Exchange second(server.url("/second"));
    second.request->startAsynchronous();
    ASSERT_TRUE(gate->waitReached(10));
    loop.advance(0.6);
    EXPECT_TRUE(app.isNetworkActivityIndicatorVisible());
    gate->open();
    ASSERT_TRUE(finishWithoutIdling(second));
    EXPECT_TRUE(app.isNetworkActivityIndicatorVisible());
    loop.advance(0.6);
    EXPECT_FALSE(app.isNetworkActivityIndicatorVisible());
    loop.setManualClock(false);
}

} // namespace
