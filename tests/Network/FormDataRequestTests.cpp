#include "ProgressTestSupport.h"

#include "Network/BRFormDataRequest.h"
#include "tests/Support/Sanitizers.h"

#include <cstdio>
#include <fcntl.h>

using namespace enginetest;

namespace {

class FormDataRequest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testHome();
        dir = testsupport::makeTemporaryFolder("form");
    }
    // A form request with a recorder, like Exchange.
    struct Form {
        BRFormDataRequest::Ptr request;
        std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
        explicit Form(const std::string& url) : request(BRFormDataRequest::requestWithURL(net::URL::parse(url)))
        {
            request->setDelegate(recorder);
        }
        bool run()
        {
            request->startAsynchronous();
            return base::RunLoop::main().runUntil([&] { return recorder->done(); }, 60);
        }
    };
    std::string dir;
};

// The body as Python's e-mail parser reads it: one line per part and a first line with the
// boundary and charset.
std::string parsedByPython(const std::string& contentType, const std::string& body, const std::string& dir)
{
    std::string path = dir + "/message";
    writeFile(path, "Content-Type: " + contentType + "\r\nMIME-Version: 1.0\r\n\r\n" + body);
    std::string command = "python3 -c '"
                          "import sys, email, email.policy\n"
                          "m = email.message_from_binary_file(open(sys.argv[1], \"rb\"), policy=email.policy.HTTP)\n"
                          "print(m.get_param(\"boundary\"), m.get_param(\"charset\"), m.is_multipart())\n"
                          "for p in m.iter_parts():\n"
                          "    print(p.get_param(\"name\", header=\"content-disposition\"), p.get_filename(),"
                          " p.get_content_type(), p.get_payload(decode=True).hex())\n"
                          "' " + path;
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

std::string hex(const std::string& s)
{
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

TEST_F(FormDataRequest, URLEncodedValuesAndTheirEscaping)
{
    LoopbackServer server([](const Request&) { return Reply::text(200, "ok"); });
    Form form(server.url("/form"));
    form.request->addPostValueForKey("x y", "a");
    form.request->addPostValueForKey("1&2", "b");
    form.request->addPostValueForKey("ignored", "");
    ASSERT_TRUE(form.run());
    EXPECT_TRUE(form.recorder->wellOrdered());
    Request seen = server.requests().back();
    EXPECT_EQ(seen.method, "POST");
    EXPECT_EQ(seen.body, "a=x%20y&b=1%262");
    EXPECT_EQ(seen.header("Content-Type").value_or(""), "application/x-www-form-urlencoded; charset=utf-8");

    // Set keeps the last value; add keeps both, in order.
    Form repeated(server.url("/form"));
    repeated.request->setPostValueForKey("1", "s");
    repeated.request->addPostValueForKey("1", "d");
    repeated.request->setPostValueForKey("2", "s");
    repeated.request->addPostValueForKey("2", "d");
    ASSERT_TRUE(repeated.run());
    EXPECT_EQ(server.requests().back().body, "d=1&s=2&d=2");

    // Only letters, digits, "-", "." and "_" stay as they are; UTF-8 bytes are escaped.
    for (int c = 32; c < 127; ++c) {
        std::string one(1, char(c));
        bool plain = std::isalnum(c) || c == '-' || c == '.' || c == '_';
        char escaped[4];
        std::snprintf(escaped, sizeof escaped, "%%%02X", c);
        EXPECT_EQ(form.request->encodeURL(one), plain ? one : std::string(escaped)) << one;
    }
    EXPECT_EQ(form.request->encodeURL("\xe4\xb8\xad"), "%E4%B8%AD");
    form.request->setStringEncoding(net::encoding::ISOLatin1);
    EXPECT_EQ(form.request->encodeURL("\xe4\xb8\xad"), "");
}

TEST_F(FormDataRequest, MultipartBodyAsAMailParserReadsIt)
{
    LoopbackServer server([](const Request&) { return Reply::text(200, "ok"); });
    // Bytes that look like the format's own markers (no CR LF: the parser would make it LF).
    std::string data = std::string("--0xKhTmLbOuNdArY-\0\xff binary", 27);
    Form form(server.url("/upload"));
    form.request->setPostValueForKey("one", "alpha");
    form.request->setPostValueForKey("two", "beta");
    // Adding a part turns a URL-encoded request into a multipart one.
    EXPECT_EQ(form.request->postFormat(), BRURLEncodedPostFormat);
    form.request->setDataForKey(base::Bytes(data.begin(), data.end()), "data");
    ASSERT_TRUE(form.run());
    EXPECT_TRUE(form.recorder->wellOrdered());
    EXPECT_EQ(form.request->postFormat(), BRMultipartFormDataPostFormat);
    Request seen = server.requests().back();
    std::string type = seen.header("Content-Type").value_or("");
    size_t at = type.find("boundary=");
    ASSERT_NE(at, std::string::npos) << type;
    std::string boundary = type.substr(at + 9);
    ASSERT_EQ(boundary.size(), 16u + 36u);
    EXPECT_EQ(boundary.substr(0, 16), "0xKhTmLbOuNdArY-");
    for (char c : boundary.substr(16))
        EXPECT_TRUE(std::isdigit(static_cast<unsigned char>(c)) || std::isupper(c) || c == '-') << boundary;
    EXPECT_EQ(type, "multipart/form-data; charset=utf-8; boundary=" + boundary);
    EXPECT_EQ(parsedByPython(type, seen.body, dir), boundary + " utf-8 True\n"
                                                    "alpha None text/plain " + hex("one") + "\n"
                                                    "beta None text/plain " + hex("two") + "\n"
                                                    "data file application/octet-stream " + hex(data) + "\n");
    // The layout byte for byte: values, then the part, each after its own boundary line.
    EXPECT_EQ(seen.body, "--" + boundary + "\r\nContent-Disposition: form-data; name=\"alpha\"\r\n\r\none\r\n--" +
                             boundary + "\r\nContent-Disposition: form-data; name=\"beta\"\r\n\r\ntwo\r\n--" + boundary +
                             "\r\nContent-Disposition: form-data; name=\"data\"; filename=\"file\"\r\n"
                             "Content-Type: application/octet-stream\r\n\r\n" + data + "\r\n--" + boundary + "--\r\n");

    // Names cannot break their header line; values stay raw. A copy of a built request sends
    // the same body; a copy of an unbuilt one makes its own boundary.
    Form odd(server.url("/upload"));
    odd.request->setPostFormat(BRMultipartFormDataPostFormat);
    odd.request->addPostValueForKey("line\r\nbreak", "k\"e\r\ny");
    auto unbuilt = std::static_pointer_cast<BRFormDataRequest>(odd.request->copy());
    odd.request->buildPostBody();
    auto built = odd.request->copy();
    ASSERT_TRUE(odd.run());
    std::string oddBody = server.requests().back().body;
    EXPECT_NE(oddBody.find("name=\"k%22e%0D%0Ay\"\r\n\r\nline\r\nbreak\r\n--"), std::string::npos) << oddBody;
    Form builtRun(server.url("/"));
    builtRun.request = std::static_pointer_cast<BRFormDataRequest>(built);
    built->setDelegate(builtRun.recorder);
    ASSERT_TRUE(builtRun.run());
    EXPECT_EQ(server.requests().back().body, oddBody);
    Form unbuiltRun(server.url("/"));
    unbuiltRun.request = unbuilt;
    unbuilt->setDelegate(unbuiltRun.recorder);
    ASSERT_TRUE(unbuiltRun.run());
    std::string other = server.requests().back().body;
    EXPECT_NE(other, oddBody);
    EXPECT_EQ(other.size(), oddBody.size());
}

TEST_F(FormDataRequest, LargeFilePartIsStreamedFromDisk)
{
    SKIP_WITHOUT_NGINX();
    // nginx reads the whole body before it answers, then drops it.
    int port = Nginx::freePort();
    Nginx nginx(dir, "  client_max_body_size 0;\n"
                     "  location = /discard { proxy_pass http://127.0.0.1:" + std::to_string(port) + "/ok;"
                     " proxy_pass_request_body off; proxy_set_header Content-Length \"\"; }\n"
                     " }\n server {\n  listen 127.0.0.1:" + std::to_string(port) + ";\n"
                     "  location = /ok { return 200 \"stored\"; }\n");
    ASSERT_TRUE(nginx.ok());
    std::string path = dir + "/big.bin";
    {
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        std::string chunk = pattern(1 << 20);
        for (int i = 0; i < 100; ++i)
            ASSERT_EQ(::write(fd, chunk.data(), chunk.size()), ssize_t(chunk.size()));
        ::close(fd);
    }
    auto peak = [] {
        std::string status = readFile("/proc/self/status");
        size_t at = status.find("VmHWM:");
        return at == std::string::npos ? 0L : std::atol(status.c_str() + at + 6);
    };
    writeFile("/proc/self/clear_refs", "5");
    long before = peak();
    Form form(nginx.url("/discard"));
    form.request->addPostValueForKey("big", "name");
    form.request->addFileForKey(path, "file");
    ASSERT_TRUE(form.run());
    EXPECT_TRUE(form.recorder->wellOrdered());
    EXPECT_EQ(form.recorder->finished, 1);
    EXPECT_EQ(form.request->responseString().value_or(""), "stored");
    EXPECT_GT(form.request->postLength(), uint64_t(100) << 20);
    EXPECT_EQ(form.request->totalBytesSent(), form.request->postLength());
#ifndef BRIVANTA_TEST_ASAN
    // The address sanitizer's quarantine keeps freed buffers resident, so only plain builds
    // can show the body never sat in memory whole.
    EXPECT_LT(peak() - before, 32 * 1024) << "kB more at the peak";
#else
    (void)before;
#endif
}

} // namespace
