#include "HttpStreamTestSupport.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "Platform/Base/Thread.h"
#include "tests/Support/OnExit.h"

#include <cstdio>
#include <cstring>
#include <fstream>

using namespace nettest;

namespace {

TEST(HttpReadStream, FramedAnswersEndAfterEveryByte)
{
    const std::string big = pattern(70 * 1024 + 8);
    LoopbackServer server([&](const Request& req) {
        Reply r;
        if (req.target == "/length")
            r.body = "exactly this";
        else if (req.target == "/close10") {
            r.version = "HTTP/1.0";
            r.framing = Reply::Framing::Close;
            r.body = big;
        } else if (req.target == "/chunked") {
            r.framing = Reply::Framing::Chunked;
            r.chunkSizes = {1, 7, 70 * 1024};
            r.trailers = "X-Trailer: t\r\n";
            r.body = big;
        } else if (req.target == "/continue") {
            r.interim = {"HTTP/1.1 100 Continue\r\n\r\n"};
            r.body = "after continue";
        } else if (req.target == "/nocontent") {
            r.status = 204;
            r.framing = Reply::Framing::Close;
            r.raw = "HTTP/1.1 204 No Content\r\n\r\n";
        }
        return r;
    });
    struct Case {
        const char* path;
        std::string body;
        int status;
    } cases[] = {{"/length", "exactly this", 200}, {"/close10", big, 200}, {"/chunked", big, 200},
                 {"/continue", "after continue", 200}, {"/nocontent", "", 204}};
    for (const auto& c : cases) {
        Exchange ex(makeStream("GET", server.url(c.path)));
        ASSERT_TRUE(ex.run()) << c.path;
        EXPECT_TRUE(ex.ended()) << c.path << " " << ex.stream->error().message;
        EXPECT_TRUE(ex.wellOrdered()) << c.path;
        EXPECT_EQ(ex.body, c.body) << c.path;
        ASSERT_TRUE(ex.stream->responseHead()) << c.path;
        EXPECT_EQ(ex.stream->responseHead()->status, c.status) << c.path;
        EXPECT_EQ(ex.stream->status(), StreamStatus::AtEnd) << c.path;
        if (std::string(c.path) == "/chunked") {
            EXPECT_EQ(ex.stream->trailers().first("x-trailer"), "t");
        }
    }
}

TEST(HttpReadStream, EarlyCloseIsAnErrorAfterTheBytesThatCame)
{
    const std::string body = pattern(300000 + 1000);
    LoopbackServer server([&](const Request& req) {
        Reply r;
        r.body = body;
        if (req.target == "/short")
            r.stopAfterBody = 300000;
        else if (req.target == "/chunks") {
            r.framing = Reply::Framing::Chunked;
            r.chunkSizes = {4096};
            r.stopAfterBody = 10000;
        } else if (req.target == "/reset") {
            r.stopAfterBody = 5000;
            r.reset = true;
        } else if (req.target == "/nothing") {
            r.raw = "";
            r.stopAfter = 0;
        } else if (req.target == "/garbage") {
            r.raw = "HTTP/1.1 200 OK\r\nContent-Length: 3\r\nBad Header\r\n\r\nabc";
        }
        return r;
    });
    struct Case {
        const char* path;
        ErrorKind kind;
        size_t bytes;
    } cases[] = {{"/short", ErrorKind::Truncated, 300000},
                 {"/chunks", ErrorKind::Truncated, 10000},
                 {"/reset", ErrorKind::Truncated, 5000},
                 {"/nothing", ErrorKind::ConnectionLost, 0},
                 {"/garbage", ErrorKind::Protocol, 0}};
    for (const auto& c : cases) {
        Exchange ex(makeStream("GET", server.url(c.path)));
        ASSERT_TRUE(ex.run()) << c.path;
        EXPECT_TRUE(ex.failed()) << c.path;
        EXPECT_TRUE(ex.wellOrdered()) << c.path;
        EXPECT_EQ(ex.stream->error().kind, c.kind) << c.path << ": " << ex.stream->error().message;
        // A reset may drop bytes still in flight; a clean close delivers all of them.
        if (std::string(c.path) == "/reset")
            EXPECT_LE(ex.body.size(), c.bytes);
        else
            EXPECT_EQ(ex.body, body.substr(0, c.bytes)) << c.path;
        EXPECT_EQ(ex.stream->status(), StreamStatus::Error);
        uint8_t byte;
        EXPECT_EQ(ex.stream->read(&byte, 1), -1);
    }
}

TEST(HttpReadStream, SendsHeadAndBodyWithTheirFraming)
{
    LoopbackServer server([](const Request& req) { return Reply::text(200, req.method + " " + req.body); });
    const std::string json = R"({"root":{"parameters":{"methodName":"login"}}})";

    Exchange get(makeStream("GET", server.url("/g?x=1")));
    ASSERT_TRUE(get.run());
    auto post = makeStream("POST", server.url("/empty"));
    Exchange emptyPost(post);
    ASSERT_TRUE(emptyPost.run());

    auto head = HttpRequestHead::make("POST", *URL::parse(server.url("/json")));
    head->setHeader("Content-Type", "applicatioin/bin;charset=UTF-8");
    Exchange withBody(HttpReadStream::create(*head, std::make_shared<MemoryInputStream>(json)));
    ASSERT_TRUE(withBody.run());
    EXPECT_EQ(withBody.body, "POST " + json);
    EXPECT_EQ(withBody.stream->bodyBytesWritten(), json.size());

    // A source of unknown length goes in chunks.
    struct Unknown : InputStream {
        std::string data = pattern(200000);
        size_t at = 0;
        ssize_t read(uint8_t* b, size_t n) override
        {
            n = std::min<size_t>({n, 777, data.size() - at});
            std::memcpy(b, data.data() + at, n);
            at += n;
            return ssize_t(n);
        }
    };
    Exchange chunked(makeStream("PUT", server.url("/up"), std::make_shared<Unknown>()));
    ASSERT_TRUE(chunked.run());
    EXPECT_EQ(chunked.body, "PUT " + pattern(200000));
    EXPECT_EQ(chunked.stream->bodyBytesWritten(), 200000u);

    char path[] = "/tmp/brivanta-body-XXXXXX";
    int fd = ::mkstemp(path);
    std::string fileBody = pattern(1 << 20);
    ASSERT_EQ(::write(fd, fileBody.data(), fileBody.size()), ssize_t(fileBody.size()));
    ::close(fd);
    Exchange file(makeStream("POST", server.url("/file"), std::make_shared<FileInputStream>(path)));
    ASSERT_TRUE(file.run());
    ::unlink(path);
    EXPECT_EQ(file.body, "POST " + fileBody);
    EXPECT_EQ(file.stream->bodyBytesWritten(), fileBody.size());

    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_TRUE(requests[0].raw.starts_with("GET /g?x=1 HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server.port()) + "\r\n"));
    EXPECT_FALSE(requests[0].header("Content-Length"));
    EXPECT_EQ(requests[1].header("Content-Length"), "0");
    EXPECT_EQ(requests[2].header("Content-Length"), std::to_string(json.size()));
    EXPECT_EQ(requests[2].header("Content-Type"), "applicatioin/bin;charset=UTF-8");
    EXPECT_EQ(requests[2].body, json);
    EXPECT_EQ(requests[3].header("Transfer-Encoding"), "chunked");
    EXPECT_EQ(requests[4].header("Content-Length"), std::to_string(fileBody.size()));
}

TEST(HttpReadStream, RefusesWhatCannotBeSent)
{
    struct Case {
        const char* method;
        const char* url;
        const char* header;
    } cases[] = {{"GET", "ftp://127.0.0.1/x", nullptr}, {"GET", "http:/nohost", nullptr},
                 {"POST", "http://127.0.0.1:1/", "12"}, {"POST", "http://127.0.0.1:1/", "0x10"}};
    for (const auto& c : cases) {
        auto parsed = URL::parse(c.url);
        ASSERT_TRUE(parsed) << c.url;
        auto head = HttpRequestHead::make(c.method, *parsed);
        if (c.header)
            head->setHeader("Content-Length", c.header);
        Exchange ex(HttpReadStream::create(*head));
        EXPECT_FALSE(ex.start()) << c.url;
        EXPECT_EQ(ex.stream->status(), StreamStatus::Error);
        EXPECT_TRUE(ex.stream->error());
        base::RunLoop::current().runPending();
        EXPECT_TRUE(ex.events.empty());
    }
}

TEST(HttpReadStream, EventsWaitForTheLoopAndRepeatWhileBytesRemain)
{
    auto gate = std::make_shared<testsupport::Gate>();
    const std::string body = pattern(5000);
    LoopbackServer server([&](const Request&) {
        Reply r;
        r.body = body;
        r.pauses = {{1000, gate}};
        return r;
    });
    auto& loop = base::RunLoop::current();
    Exchange ex(makeStream("GET", server.url("/")));
    ex.readSize = 1;
    ASSERT_TRUE(ex.start());
    ASSERT_TRUE(loop.runUntil([&] { return gate->waitReached(0) && ex.body.size() >= 10; }, 10));
    // Unscheduled: bytes stay buffered and no event reaches the client.
    ex.stream->unschedule();
    size_t seen = ex.events.size();
    loop.runFor(0.05);
    EXPECT_EQ(ex.events.size(), seen);
    EXPECT_TRUE(ex.stream->hasBytesAvailable());

    ex.stream->schedule(loop);
    // Level-triggered: one byte per event until the bytes before the pause are drained.
    ASSERT_TRUE(loop.runUntil([&] { return ex.body.size() >= 900; }, 10));
    EXPECT_FALSE(ex.done);
    gate->open();
    ASSERT_TRUE(ex.wait());
    EXPECT_TRUE(ex.ended());
    EXPECT_TRUE(ex.wellOrdered());
    EXPECT_EQ(ex.body, body);
    EXPECT_GE(ex.events.size(), body.size());

    // After close nothing more arrives.
    auto gate2 = std::make_shared<testsupport::Gate>();
    LoopbackServer slow([&](const Request&) {
        Reply r;
        r.body = body;
        r.pauses = {{200, gate2}};
        return r;
    });
    Exchange closed(makeStream("GET", slow.url("/")));
    ASSERT_TRUE(closed.start());
    ASSERT_TRUE(loop.runUntil([&] { return gate2->waitReached(0) && !closed.events.empty(); }, 10));
    closed.stream->close();
    size_t closedSeen = closed.events.size();
    gate2->open();
    loop.runFor(0.1);
    EXPECT_EQ(closed.events.size(), closedSeen);
    EXPECT_EQ(closed.stream->status(), StreamStatus::Closed);
}

TEST(HttpReadStream, ConnectFailuresCarryTheirKind)
{
    int probe = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(probe, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    socklen_t len = sizeof sa;
    ::getsockname(probe, reinterpret_cast<sockaddr*>(&sa), &len);
    int closedPort = ntohs(sa.sin_port);
    ::close(probe);

    Exchange refused(makeStream("GET", "http://127.0.0.1:" + std::to_string(closedPort) + "/"));
    ASSERT_TRUE(refused.run());
    EXPECT_TRUE(refused.failed());
    EXPECT_EQ(refused.stream->error().kind, ErrorKind::Refused);

    // A name goes through a resolver thread ("localhost" is answered locally).
    LoopbackServer server([](const Request&) { return Reply::text(200, "by name"); });
    Exchange byName(makeStream("GET", "http://localhost:" + std::to_string(server.port()) + "/"));
    ASSERT_TRUE(byName.run());
    if (byName.failed()) // localhost may name ::1 only; then the refusal is from there
        EXPECT_EQ(byName.stream->error().kind, ErrorKind::Refused);
    else
        EXPECT_EQ(byName.body, "by name");
}

TEST(HttpReadStream, WritingToAVanishedPeerIsAnErrorNotASignal)
{
    // A peer that reads the head and resets while a large body is still going out (the
    // loopback server would read the whole body first).
    int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    ::listen(listener, 1);
    socklen_t len = sizeof sa;
    ::getsockname(listener, reinterpret_cast<sockaddr*>(&sa), &len);
    std::thread peer([listener] {
        int fd = ::accept(listener, nullptr, nullptr);
        char buf[4096];
        ::recv(fd, buf, sizeof buf, 0);
        linger lg{1, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &lg, sizeof lg);
        ::close(fd);
    });
    // A peer never reached still waits to accept: shutting the listener down ends that wait.
    testsupport::JoinOnExit joinPeer(peer, [listener] { ::shutdown(listener, SHUT_RDWR); });
    Exchange ex(makeStream("POST", "http://127.0.0.1:" + std::to_string(ntohs(sa.sin_port)) + "/",
                           std::make_shared<MemoryInputStream>(pattern(32 << 20))));
    ASSERT_TRUE(ex.run());
    peer.join();
    ::close(listener);
    EXPECT_TRUE(ex.failed());
    auto kind = ex.stream->error().kind;
    EXPECT_TRUE(kind == ErrorKind::BrokenPipe || kind == ErrorKind::ConnectionLost) << ex.stream->error().message;
    EXPECT_LT(ex.stream->bodyBytesWritten(), uint64_t(32 << 20));
}

} // namespace
