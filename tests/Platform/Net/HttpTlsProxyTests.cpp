#include "HttpStreamTestSupport.h"
#include "tests/Support/TestCertificates.h"

#include <filesystem>

using namespace nettest;
using testsupport::CertificateFiles;
using testsupport::LoopbackProxy;
using testsupport::ServerOptions;

namespace {

class Certificates : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = testsupport::makeTemporaryFolder("brivanta-tls-");
        selfSigned = testsupport::makeCertificate(folder, "self", {"127.0.0.1"});
        ca = testsupport::makeCertificate(folder, "ca", {"Brivanta Test CA"}, nullptr, true);
        good = testsupport::makeCertificate(folder, "good", {"127.0.0.1", "localhost"}, &ca);
        otherName = testsupport::makeCertificate(folder, "other", {"other.test"}, &ca);
        client = testsupport::makeCertificate(folder, "client", {"client"}, &ca);
    }
    static void TearDownTestSuite() { std::filesystem::remove_all(folder); }

    static ServerOptions tls(const CertificateFiles& files, std::string clientCA = {})
    {
        ServerOptions o;
        o.certificateFile = files.certificate;
        o.keyFile = files.key;
        o.clientCAFile = std::move(clientCA);
        return o;
    }
    static TlsOptions trusting(bool validate = true)
    {
        TlsOptions t;
        t.validatesCertificate = validate;
        t.extraTrustFile = ca.certificate;
        return t;
    }

    static inline std::string folder;
    static inline CertificateFiles selfSigned, ca, good, otherName, client;
};

Reply echoTarget(const Request& req) { return Reply::text(200, req.method + " " + req.target); }

TEST_F(Certificates, ValidationRefusesWhatItCannotTrustAndRelaxesWhenOff)
{
    LoopbackServer self(echoTarget, tls(selfSigned));
    Exchange strict(makeStream("GET", self.url("/s")));
    ASSERT_TRUE(strict.run());
    EXPECT_TRUE(strict.failed());
    EXPECT_EQ(strict.stream->error().kind, ErrorKind::Tls) << strict.stream->error().message;
    EXPECT_TRUE(self.requests().empty());

    Exchange lax(makeStream("GET", self.url("/s")));
    TlsOptions off;
    off.validatesCertificate = false;
    lax.stream->setTlsOptions(off);
    ASSERT_TRUE(lax.run());
    EXPECT_TRUE(lax.ended()) << lax.stream->error().message;
    EXPECT_EQ(lax.body, "GET /s");

    LoopbackServer trusted(echoTarget, tls(good));
    Exchange ok(makeStream("GET", trusted.url("/t")));
    ok.stream->setTlsOptions(trusting());
    ASSERT_TRUE(ok.run());
    EXPECT_TRUE(ok.ended()) << ok.stream->error().message;
    EXPECT_EQ(ok.body, "GET /t");

    // Trusted issuer, wrong name.
    LoopbackServer misnamed(echoTarget, tls(otherName));
    Exchange wrong(makeStream("GET", misnamed.url("/")));
    wrong.stream->setTlsOptions(trusting());
    ASSERT_TRUE(wrong.run());
    EXPECT_TRUE(wrong.failed());
    EXPECT_EQ(wrong.stream->error().kind, ErrorKind::Tls);
    EXPECT_NE(wrong.stream->error().message.find("mismatch"), std::string::npos) << wrong.stream->error().message;
}

TEST_F(Certificates, ClientIdentityIsPresentedWhenSet)
{
    LoopbackServer server(echoTarget, tls(good, ca.certificate));
    Exchange anonymous(makeStream("GET", server.url("/")));
    anonymous.stream->setTlsOptions(trusting());
    ASSERT_TRUE(anonymous.run());
    EXPECT_TRUE(anonymous.failed());
    EXPECT_TRUE(server.requests().empty());

    auto identity = TlsIdentity::fromPemFiles(client.certificate, client.key);
    ASSERT_TRUE(identity);
    EXPECT_FALSE(TlsIdentity::fromPemFiles(client.certificate, good.key)); // key of another certificate
    Exchange known(makeStream("GET", server.url("/me")));
    auto options = trusting();
    options.identity = identity;
    known.stream->setTlsOptions(options);
    ASSERT_TRUE(known.run());
    EXPECT_TRUE(known.ended()) << known.stream->error().message;
    EXPECT_EQ(known.body, "GET /me");
}

TEST_F(Certificates, ProxiesCarryPlainAndTlsExchanges)
{
    LoopbackServer plain(echoTarget);
    LoopbackServer secure(echoTarget, tls(good));
    LoopbackProxy proxy;
    Proxy http{Proxy::Type::Http, proxy.host(), proxy.port()};
    Proxy socks{Proxy::Type::Socks5, proxy.host(), proxy.port()};

    // HTTP proxy, plain: the absolute form goes to the proxy, with the proxy's credentials.
    auto head = HttpRequestHead::make("GET", *URL::parse(plain.url("/abs?q=1")));
    head->setHeader("Proxy-Authorization", "Basic cHJveHk6cHc=");
    Exchange viaHttp(HttpReadStream::create(*head));
    viaHttp.stream->setProxy(http);
    ASSERT_TRUE(viaHttp.run());
    EXPECT_TRUE(viaHttp.ended()) << viaHttp.stream->error().message;
    EXPECT_EQ(viaHttp.body, "GET " + plain.url("/abs?q=1"));

    // HTTP proxy, https: a CONNECT tunnel; the proxy's credentials stay with the proxy.
    auto secureHead = HttpRequestHead::make("GET", *URL::parse(secure.url("/tunnel")));
    secureHead->setHeader("Proxy-Authorization", "Basic cHJveHk6cHc=");
    Exchange viaConnect(HttpReadStream::create(*secureHead));
    viaConnect.stream->setProxy(http);
    viaConnect.stream->setTlsOptions(trusting());
    ASSERT_TRUE(viaConnect.run());
    EXPECT_TRUE(viaConnect.ended()) << viaConnect.stream->error().message;
    EXPECT_EQ(viaConnect.body, "GET /tunnel");
    ASSERT_EQ(secure.requests().size(), 1u);
    EXPECT_FALSE(secure.requests()[0].header("Proxy-Authorization"));

    // SOCKS5, plain and https.
    Exchange viaSocks(makeStream("GET", plain.url("/socks")));
    viaSocks.stream->setProxy(socks);
    ASSERT_TRUE(viaSocks.run());
    EXPECT_EQ(viaSocks.body, "GET /socks");
    Exchange viaSocksTls(makeStream("GET", secure.url("/socks-tls")));
    viaSocksTls.stream->setProxy(socks);
    viaSocksTls.stream->setTlsOptions(trusting());
    ASSERT_TRUE(viaSocksTls.run());
    EXPECT_EQ(viaSocksTls.body, "GET /socks-tls");

    auto lines = proxy.requestLines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "GET " + plain.url("/abs?q=1") + " HTTP/1.1");
    EXPECT_EQ(lines[1], "CONNECT 127.0.0.1:" + std::to_string(secure.port()) + " HTTP/1.1");
    EXPECT_EQ(lines[2], "SOCKS5 127.0.0.1:" + std::to_string(plain.port()));
    EXPECT_EQ(lines[3], "SOCKS5 127.0.0.1:" + std::to_string(secure.port()));
    auto heads = proxy.requestHeads();
    EXPECT_NE(heads[0].find("Proxy-Authorization: Basic cHJveHk6cHc="), std::string::npos);
    EXPECT_NE(heads[1].find("Proxy-Authorization: Basic cHJveHk6cHc="), std::string::npos);

    // A proxy that cannot reach the target answers for itself; that answer is the answer.
    Exchange refused(makeStream("GET", "https://127.0.0.1:1/"));
    refused.stream->setProxy(http);
    ASSERT_TRUE(refused.run());
    EXPECT_TRUE(refused.ended());
    ASSERT_TRUE(refused.stream->responseHead());
    EXPECT_EQ(refused.stream->responseHead()->status, 502);
}

} // namespace
