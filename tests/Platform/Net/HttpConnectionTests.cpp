#include "HttpStreamTestSupport.h"
#include "tests/Support/TestCertificates.h"

#include <filesystem>

using namespace nettest;

namespace {

std::shared_ptr<HttpReadStream> persistent(const std::string& url, const std::string& id, const std::string& method = "GET")
{
    auto s = makeStream(method, url);
    s->setPersistent(true);
    s->setStreamID(id);
    return s;
}

TEST(HttpConnections, ParkedConnectionIsTakenOverOnlyWhenItMatches)
{
    LoopbackServer server([](const Request& req) {
        Reply r = Reply::text(200, "conn " + std::to_string(req.connection));
        if (req.target == "/last")
            r.headers = {{"Connection", "close"}};
        return r;
    });
    LoopbackServer otherHost([](const Request& req) { return Reply::text(200, "other " + std::to_string(req.connection)); },
                             testsupport::ServerOptions::on("127.0.0.2"));

    Exchange first(persistent(server.url("/a"), "7"));
    ASSERT_TRUE(first.run());
    EXPECT_EQ(first.body, "conn 1");
    EXPECT_EQ(HttpReadStream::parkedConnectionCount(), 1u);

    // Same ID, same host, scheme and port: the socket is taken over.
    Exchange second(persistent(server.url("/b"), "7"));
    ASSERT_TRUE(second.run());
    first.stream->close(); // the engine closes the stream it held: the socket lives on
    EXPECT_TRUE(second.stream->reusedConnection());
    EXPECT_EQ(second.body, "conn 1");

    // Without persistence, nothing is taken or parked.
    Exchange plain(makeStream("GET", server.url("/c")));
    plain.stream->setStreamID("7");
    ASSERT_TRUE(plain.run());
    EXPECT_FALSE(plain.stream->reusedConnection());
    EXPECT_EQ(plain.body, "conn 2");

    // "Connection: close" is not parked; the next stream opens a new connection.
    Exchange closing(persistent(server.url("/last"), "7"));
    ASSERT_TRUE(closing.run());
    second.stream->close();
    EXPECT_TRUE(closing.stream->reusedConnection());
    Exchange after(persistent(server.url("/d"), "7"));
    ASSERT_TRUE(after.run());
    EXPECT_FALSE(after.stream->reusedConnection());
    EXPECT_EQ(after.body, "conn 3");
    EXPECT_EQ(server.acceptCount(), 3);

    // Another host with the same ID does not take it; parking there replaces (and closes) the
    // connection parked under that ID.
    int closedBefore = server.closedByClient();
    Exchange elsewhere(persistent("http://127.0.0.2:" + std::to_string(otherHost.port()) + "/", "7"));
    ASSERT_TRUE(elsewhere.run());
    EXPECT_FALSE(elsewhere.stream->reusedConnection());
    EXPECT_EQ(elsewhere.body, "other 1");
    EXPECT_TRUE(server.waitForClosedByClient(closedBefore + 1, 10));
    after.stream->close();
    EXPECT_EQ(HttpReadStream::parkedConnectionCount(), 1u);

    // Closing the stream that parked a connection nobody took closes the socket.
    elsewhere.stream->close();
    EXPECT_TRUE(otherHost.waitForClosedByClient(1, 10));
    EXPECT_EQ(HttpReadStream::parkedConnectionCount(), 0u);
}

TEST(HttpConnections, StaleOrUnfinishedConnectionsAreNotReused)
{
    LoopbackServer server([&](const Request& req) {
        Reply r = Reply::text(200, "conn " + std::to_string(req.connection));
        if (req.target == "/http10")
            r.version = "HTTP/1.0";
        if (req.target == "/extra")
            r.raw = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nokHTTP/1.1 200 OK\r\n";
        return r;
    });

    Exchange old(persistent(server.url("/http10"), "s1"));
    ASSERT_TRUE(old.run());
    EXPECT_TRUE(old.ended());
    EXPECT_EQ(HttpReadStream::parkedConnectionCount(), 0u);

    // Bytes after the answer: the connection is out of step and not kept.
    Exchange extra(persistent(server.url("/extra"), "s2"));
    ASSERT_TRUE(extra.run());
    EXPECT_TRUE(extra.ended());
    EXPECT_EQ(extra.body, "ok");
    EXPECT_EQ(HttpReadStream::parkedConnectionCount(), 0u);

    // The server drops the idle connection: the next stream notices and connects anew.
    Exchange parked(persistent(server.url("/"), "s3"));
    ASSERT_TRUE(parked.run());
    EXPECT_EQ(HttpReadStream::parkedConnectionCount(), 1u);
    int accepts = server.acceptCount();
    server.closeIdleConnections();
    Exchange next(persistent(server.url("/"), "s3"));
    ASSERT_TRUE(next.run());
    parked.stream->close();
    EXPECT_TRUE(next.ended());
    EXPECT_FALSE(next.stream->reusedConnection());
    EXPECT_EQ(server.acceptCount(), accepts + 1);
    next.stream->close();
    EXPECT_EQ(HttpReadStream::parkedConnectionCount(), 0u);
}

} // namespace
