#include "Platform/Net/HttpMessage.h"
#include "Platform/Net/HttpResponseParser.h"

#include <gtest/gtest.h>

#include <string>

using namespace net;

namespace {

URL messageUrl(const char* text) { return *URL::parse(text); }

// Feeds the answer in pieces of `step` bytes (the parser must not care how bytes arrive).
struct Parsed {
    std::string body;
    size_t used = 0;
};

Parsed feed(HttpResponseParser& p, const std::string& wire, size_t step = 1)
{
    Parsed out;
    for (size_t i = 0; i < wire.size() && !p.complete() && !p.failed(); i += step) {
        size_t n = std::min(step, wire.size() - i);
        out.used += p.feed(wire.data() + i, n, out.body);
    }
    return out;
}

TEST(HttpHeaders, RefuseInjectionAndMatchNamesWithoutCase)
{
    HttpHeaders h;
    EXPECT_FALSE(h.set("X-A", "one\r\nInjected: yes"));
    EXPECT_FALSE(h.set("X-A", std::string("nul\0byte", 8)));
    EXPECT_FALSE(h.set("X-A", "lf\nonly"));
    EXPECT_FALSE(h.set("Bad Name", "v"));
    EXPECT_FALSE(h.set("Bad:Name", "v"));
    EXPECT_FALSE(h.set("", "v"));
    EXPECT_TRUE(h.empty());

    EXPECT_TRUE(h.add("Set-Cookie", "a=1"));
    EXPECT_TRUE(h.add("set-cookie", "b=2"));
    EXPECT_TRUE(h.set("Content-Type", "text/plain"));
    EXPECT_EQ(h.first("CONTENT-TYPE"), "text/plain");
    EXPECT_EQ(h.all("SET-COOKIE"), (std::vector<std::string>{"a=1", "b=2"}));
    EXPECT_EQ(h.combined("Set-Cookie"), "a=1, b=2");
    EXPECT_TRUE(h.set("content-type", "text/html"));
    EXPECT_EQ(h.all("Content-Type").size(), 1u);
    EXPECT_EQ(h.first("Content-Type"), "text/html");
    h.remove("SET-cookie");
    EXPECT_FALSE(h.has("Set-Cookie"));
}

TEST(HttpRequestHead, SerializesOriginAndAbsoluteFormsWithHost)
{
    EXPECT_FALSE(HttpRequestHead::make("GE T", messageUrl("http://a.test/")));
    auto head = HttpRequestHead::make("POST", messageUrl("http://user:pw@a.test:8080/p/a?q=1#frag"));
    ASSERT_TRUE(head);
    ASSERT_TRUE(head->setHeader("Content-Type", "applicatioin/bin;charset=UTF-8"));
    EXPECT_FALSE(head->setHeader("X", "a\rb"));
    HttpHeaders extra;
    extra.set("Content-Length", "3");
    EXPECT_EQ(head->serialize(false, extra), "POST /p/a?q=1 HTTP/1.1\r\nHost: a.test:8080\r\n"
                                             "Content-Type: applicatioin/bin;charset=UTF-8\r\nContent-Length: 3\r\n\r\n");
    EXPECT_EQ(head->serialize(true).substr(0, 45), "POST http://a.test:8080/p/a?q=1 HTTP/1.1\r\nHos");

    auto old = HttpRequestHead::make("GET", messageUrl("https://b.test/"), true);
    old->setHeader("host", "override.test");
    EXPECT_EQ(old->serialize(false), "GET / HTTP/1.0\r\nhost: override.test\r\n\r\n");
}

TEST(HttpResponseParser, FramesByLengthChunksAndClose)
{
    {
        HttpResponseParser p;
        auto r = feed(p, "HTTP/1.1 200 OK\r\nContent-Length: 5\r\nX-Y: z\r\n\r\nhello");
        ASSERT_TRUE(p.complete());
        EXPECT_EQ(r.body, "hello");
        EXPECT_EQ(p.head()->status, 200);
        EXPECT_EQ(p.head()->statusLine(), "HTTP/1.1 200 OK");
        EXPECT_EQ(p.head()->headers.first("x-y"), "z");
        EXPECT_TRUE(p.keepAlive());
    }
    {
        HttpResponseParser p;
        auto r = feed(p, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                         "1\r\na\r\n7\r\nbcdefgh\r\n0\r\nX-Checksum: 42\r\nX-More: yes\r\n\r\n", 3);
        ASSERT_TRUE(p.complete());
        EXPECT_EQ(r.body, "abcdefgh");
        EXPECT_EQ(p.trailers().first("X-Checksum"), "42");
        EXPECT_EQ(p.trailers().first("x-more"), "yes");
        EXPECT_FALSE(p.head()->headers.has("X-Checksum"));
    }
    {
        HttpResponseParser p;
        auto r = feed(p, "HTTP/1.0 200 OK\r\n\r\nuntil the close");
        EXPECT_FALSE(p.complete());
        EXPECT_TRUE(p.head()->isHttp10());
        p.finish();
        ASSERT_TRUE(p.complete());
        EXPECT_FALSE(p.failed());
        EXPECT_FALSE(p.keepAlive());
        EXPECT_EQ(r.body, "until the close");
    }
}

TEST(HttpResponseParser, SkipsInterimAnswersAndBodiesThatCannotExist)
{
    {
        HttpResponseParser p;
        auto r = feed(p, "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 Processing\r\nX-I: 1\r\n\r\n"
                         "HTTP/1.1 201 Created\r\nContent-Length: 2\r\n\r\nok");
        ASSERT_TRUE(p.complete());
        EXPECT_EQ(p.head()->status, 201);
        EXPECT_FALSE(p.head()->headers.has("X-I"));
        EXPECT_EQ(r.body, "ok");
    }
    for (const char* status : {"204 No Content", "304 Not Modified"}) {
        HttpResponseParser p;
        std::string wire = std::string("HTTP/1.1 ") + status + "\r\nContent-Length: 10\r\n\r\nNEXT";
        auto r = feed(p, wire, wire.size());
        ASSERT_TRUE(p.complete()) << status;
        EXPECT_EQ(r.body, "");
        // The bytes after the head belong to nothing: they are left unread.
        EXPECT_EQ(r.used, wire.size() - 4);
    }
    {
        HttpResponseParser p;
        p.setRequestMethod("HEAD");
        auto r = feed(p, "HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n");
        ASSERT_TRUE(p.complete());
        EXPECT_TRUE(p.keepAlive());
        EXPECT_EQ(r.body, "");
    }
    {
        HttpResponseParser p;
        feed(p, "HTTP/1.1 101 Switching Protocols\r\nUpgrade: x\r\nConnection: upgrade\r\n\r\n");
        EXPECT_TRUE(p.failed());
        EXPECT_EQ(p.error().kind, ErrorKind::Protocol);
    }
}

TEST(HttpResponseParser, EarlyCloseIsAnErrorNeverAnEnd)
{
    {
        HttpResponseParser p;
        p.finish();
        EXPECT_EQ(p.error().kind, ErrorKind::ConnectionLost);
    }
    {
        HttpResponseParser p;
        feed(p, "HTTP/1.1 200 OK\r\nContent-Le");
        p.finish();
        EXPECT_EQ(p.error().kind, ErrorKind::Truncated);
    }
    {
        HttpResponseParser p;
        auto r = feed(p, "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nshort");
        p.finish();
        EXPECT_FALSE(p.complete());
        EXPECT_EQ(p.error().kind, ErrorKind::Truncated);
        EXPECT_EQ(r.body, "short");
    }
    {
        HttpResponseParser p;
        feed(p, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n");
        p.finish();
        EXPECT_EQ(p.error().kind, ErrorKind::Truncated);
    }
}

TEST(HttpResponseParser, RefusesMalformedLengthsAndOversizedHeads)
{
    for (const char* bad : {"Content-Length: -1\r\n", "Content-Length: 0x10\r\n", "Content-Length: 1 2\r\n",
                            "Content-Length: 99999999999999999999999\r\n", "Content-Length: 9223372036854775808\r\n"}) {
        HttpResponseParser p;
        feed(p, std::string("HTTP/1.1 200 OK\r\n") + bad + "\r\n", 64);
        EXPECT_TRUE(p.failed()) << bad;
        EXPECT_EQ(p.error().kind, ErrorKind::Protocol) << bad;
    }
    for (const char* status : {"HTTP/1.0 020 OK\r\n", "HTTP/1.1 000 Nothing\r\n", "HTTP/1.1 099 Low\r\n"}) {
        HttpResponseParser p;
        feed(p, std::string(status) + "Content-Length: 1\r\n\r\nx", 4);
        EXPECT_FALSE(p.complete()) << status;
        EXPECT_EQ(p.error().kind, ErrorKind::Protocol) << status;
    }
    {
        HttpResponseParser p;
        feed(p, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFFF\r\n", 7);
        EXPECT_EQ(p.error().kind, ErrorKind::Protocol);
    }
    HttpLimits limits;
    limits.maxLine = 64;
    limits.maxBlock = 200;
    {
        HttpResponseParser p(limits);
        feed(p, "HTTP/1.1 200 OK\r\nX-Long: " + std::string(60, 'a') + "\r\n\r\n", 5);
        EXPECT_EQ(p.error().kind, ErrorKind::Protocol);
    }
    {
        HttpResponseParser p(limits);
        std::string head = "HTTP/1.1 200 OK\r\n";
        for (int i = 0; i < 10; ++i)
            head += "X-Field-" + std::to_string(i) + ": " + std::string(20, 'b') + "\r\n";
        feed(p, head + "\r\n", 9);
        EXPECT_EQ(p.error().kind, ErrorKind::Protocol);
        EXPECT_NE(p.error().message.find("block"), std::string::npos);
    }
    {
        HttpResponseParser p(limits);
        std::string trailers;
        for (int i = 0; i < 10; ++i)
            trailers += "T" + std::to_string(i) + ": " + std::string(30, 'c') + "\r\n";
        feed(p, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\n" + trailers + "\r\n", 11);
        EXPECT_EQ(p.error().kind, ErrorKind::Protocol);
    }
    {
        // Within the limits the same shape passes.
        HttpResponseParser p(limits);
        auto r = feed(p, "HTTP/1.1 200 OK\r\nX-Short: " + std::string(40, 'a') + "\r\nContent-Length: 1\r\n\r\nz");
        EXPECT_TRUE(p.complete());
        EXPECT_EQ(r.body, "z");
    }
}

TEST(HttpResponseParser, ConnectionReuseFollowsTheAnswer)
{
    struct Case {
        const char* wire;
        bool keepAlive;
    } cases[] = {
        {"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", true},
        {"HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 0\r\n\r\n", false},
        {"HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", false},
        {"HTTP/1.0 200 OK\r\nConnection: keep-alive\r\nContent-Length: 0\r\n\r\n", true},
    };
    for (const auto& c : cases) {
        HttpResponseParser p;
        feed(p, c.wire, 1000);
        ASSERT_TRUE(p.complete()) << c.wire;
        EXPECT_EQ(p.keepAlive(), c.keepAlive) << c.wire;
    }
}

} // namespace
