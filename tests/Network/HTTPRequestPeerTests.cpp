// The engine against real peers on loopback: tinyproxy, microsocks and nginx (with TLS and
// client certificates), and proxy auto-configuration scripts that choose between them.
#include "HTTPRequestTestSupport.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>

#include <chrono>
#include <filesystem>

using namespace enginetest;

namespace {

// A peer program listening on a loopback port, stopped with the object. Its output goes to a
// log file the test reads.
class PeerProgram {
public:
    static bool available(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

    PeerProgram(std::vector<std::string> argv, int port, std::string logPath)
        : m_port(port), m_logPath(std::move(logPath))
    {
        std::vector<char*> args;
        for (auto& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        int log = ::open(m_logPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(log, 1);
            ::dup2(log, 2);
            ::execv(args[0], args.data());
            _exit(127);
        }
        ::close(log);
        m_ready = m_pid > 0 && waitUntilListening();
    }
    ~PeerProgram()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    bool ready() const { return m_ready; }
    int port() const { return m_port; }
    std::string log() const { return readFile(m_logPath); }

private:
    // These programs say nothing when they listen: try the port, waiting between tries on the
    // program's exit, for at most 10 s.
    bool waitUntilListening()
    {
        int exited = int(::syscall(SYS_pidfd_open, m_pid, 0));
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        bool listening = false;
        while (!listening && std::chrono::steady_clock::now() < deadline) {
            int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_port = htons(uint16_t(m_port));
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            listening = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
            ::close(fd);
            pollfd child{exited, POLLIN, 0};
            if (!listening && exited >= 0 && ::poll(&child, 1, 5) > 0)
                break;
        }
        if (exited >= 0)
            ::close(exited);
        return listening;
    }

    pid_t m_pid = -1;
    int m_port = 0;
    std::string m_logPath;
    bool m_ready = false;
};

const char kTinyproxy[] = "/usr/bin/tinyproxy";
const char kMicrosocks[] = "/usr/bin/microsocks";

class HTTPRequestPeers : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testHome();
        folder = testsupport::makeTemporaryFolder("peers");
        ca = testsupport::makeCertificate(folder, "ca", {"Peer Test CA"}, nullptr, true);
        server = testsupport::makeCertificate(folder, "server", {"127.0.0.1"}, &ca);
        root = folder + "/www";
        std::filesystem::create_directory(root);
        if (!Nginx::available())
            return;
        tlsPort = Nginx::freePort();
        // The echo shows what reached nginx: the proxy's Via, the target and the peer address.
        nginx = std::make_unique<Nginx>(
            root, "  listen 127.0.0.1:" + std::to_string(tlsPort) + " ssl;\n  ssl_certificate " + server.certificate +
                      ";\n  ssl_certificate_key " + server.key +
                      ";\n  location = /echo { return 200 \"$http_via|$request_uri|$remote_addr\"; }\n");
        if (PeerProgram::available(kTinyproxy)) {
            int port = Nginx::freePort();
            std::ofstream(folder + "/tinyproxy.conf") << "Port " << port << "\nListen 127.0.0.1\nTimeout 30\n"
                                                      << "MaxClients 20\nAllow 127.0.0.1\nLogLevel Connect\n";
            tinyproxy = std::make_unique<PeerProgram>(
                std::vector<std::string>{kTinyproxy, "-d", "-c", folder + "/tinyproxy.conf"}, port,
                folder + "/tinyproxy.log");
        }
        if (PeerProgram::available(kMicrosocks)) {
            int port = Nginx::freePort();
            // Its connections onward leave from 127.0.0.2, so nginx can tell them apart.
            microsocks = std::make_unique<PeerProgram>(
                std::vector<std::string>{kMicrosocks, "-i", "127.0.0.1", "-p", std::to_string(port), "-b", "127.0.0.2"},
                port, folder + "/microsocks.log");
        }
    }
    static void TearDownTestSuite()
    {
        nginx.reset();
        tinyproxy.reset();
        microsocks.reset();
        std::filesystem::remove_all(folder);
    }

    static std::string tlsURL(const std::string& path) { return "https://127.0.0.1:" + std::to_string(tlsPort) + path; }

    // What nginx's echo saw, for a request that must have finished well.
    static std::string echoOf(Exchange& run)
    {
        EXPECT_TRUE(run.recorder->wellOrdered());
        EXPECT_EQ(run.recorder->finished, 1) << (run.request->error() ? run.request->error()->description : "");
        return run.request->responseString().value_or("");
    }

    // tinyproxy names itself in the Via field, the echo's first part.
    static bool cameViaTinyproxy(const std::string& seen) { return seen.find("tinyproxy/") < seen.find('|'); }

    static inline std::string folder, root;
    static inline testsupport::CertificateFiles ca, server;
    static inline int tlsPort = 0;
    static inline std::unique_ptr<Nginx> nginx;
    static inline std::unique_ptr<PeerProgram> tinyproxy, microsocks;
};

#define REQUIRE_PEER(peer, name)                                                                              \
    SKIP_WITHOUT_NGINX();                                                                                      \
    ASSERT_TRUE(nginx->ok());                                                                                  \
    if (!(peer))                                                                                               \
        GTEST_SKIP() << name " is not installed (scripts/setup.sh installs it)";                              \
    ASSERT_TRUE((peer)->ready()) << name " did not start: " << (peer)->log()

TEST_F(HTTPRequestPeers, HttpProxyTakesAbsoluteFormsAndTunnelsHttps)
{
    REQUIRE_PEER(tinyproxy, "tinyproxy");
    Exchange plain(nginx->url("/echo?x=1"));
    plain.request->setProxyHost("127.0.0.1");
    plain.request->setProxyPort(tinyproxy->port());
    ASSERT_TRUE(plain.runAsync());
    std::string seen = echoOf(plain);
    EXPECT_TRUE(cameViaTinyproxy(seen)) << seen;
    EXPECT_NE(seen.find("|/echo?x=1|"), std::string::npos) << seen;
    EXPECT_NE(tinyproxy->log().find("GET " + nginx->url("/echo?x=1") + " HTTP/1.1"), std::string::npos);

    // https goes through a tunnel: nginx sees the client's own request, with no Via.
    Exchange secure(tlsURL("/echo?y=2"));
    secure.request->setValidatesSecureCertificate(false);
    secure.request->setProxyHost("127.0.0.1");
    secure.request->setProxyPort(tinyproxy->port());
    ASSERT_TRUE(secure.runAsync());
    EXPECT_EQ(echoOf(secure), "|/echo?y=2|127.0.0.1");
    EXPECT_NE(tinyproxy->log().find("CONNECT 127.0.0.1:" + std::to_string(tlsPort) + " HTTP/1.1"), std::string::npos);
}

TEST_F(HTTPRequestPeers, Socks5ProxyCarriesPlainAndTlsExchanges)
{
    REQUIRE_PEER(microsocks, "microsocks");
    Exchange direct(nginx->url("/echo?direct"));
    ASSERT_TRUE(direct.runAsync());
    EXPECT_EQ(echoOf(direct), "|/echo?direct|127.0.0.1");

    for (const std::string& url : {nginx->url("/echo?s=1"), tlsURL("/echo?s=2")}) {
        Exchange viaSocks(url);
        viaSocks.request->setValidatesSecureCertificate(false);
        viaSocks.request->setProxyHost("127.0.0.1");
        viaSocks.request->setProxyPort(microsocks->port());
        viaSocks.request->setProxyType("SOCKS");
        ASSERT_TRUE(viaSocks.runAsync());
        EXPECT_EQ(echoOf(viaSocks), "|" + url.substr(url.find("/echo")) + "|127.0.0.2");
    }
}

TEST_F(HTTPRequestPeers, PacFilesOnDiskAndFromNginxChooseTheProxy)
{
    REQUIRE_PEER(tinyproxy, "tinyproxy");
    REQUIRE_PEER(microsocks, "microsocks");
    writeFile(root + "/proxy.pac",
              "function FindProxyForURL(url, host) {\n"
              "  if (shExpMatch(url, '*/echo?socks*')) return 'SOCKS 127.0.0.1:" +
                  std::to_string(microsocks->port()) +
                  "';\n"
                  "  if (isInNet(host, '127.0.0.0', '255.0.0.0') && shExpMatch(url, '*/echo?proxy*'))\n"
                  "    return 'PROXY 127.0.0.1:" +
                  std::to_string(tinyproxy->port()) +
                  "; DIRECT';\n"
                  "  return 'DIRECT';\n}\n");
    writeFile(root + "/broken.pac", "function FindProxyForURL(url, host) { return 'PROXY 127.0.0.1:1'\n");
    int queueLimit = BRHTTPRequest::sharedQueue().maxConcurrentOperationCount();

    auto viaScript = [&](const std::string& script, const std::string& query, bool synchronous = false) {
        Exchange run(nginx->url("/echo?" + query));
        run.request->setPACurl(net::URL::parse(script));
        if (synchronous) {
            run.request->startSynchronous();
            EXPECT_TRUE(run.wait());
        } else {
            EXPECT_TRUE(run.runAsync());
        }
        return echoOf(run);
    };
    for (const std::string& script : {"file://" + root + "/proxy.pac", nginx->url("/proxy.pac")}) {
        SCOPED_TRACE(script);
        EXPECT_TRUE(cameViaTinyproxy(viaScript(script, "proxy")));
        EXPECT_EQ(viaScript(script, "socks"), "|/echo?socks|127.0.0.2");
        EXPECT_EQ(viaScript(script, "none"), "|/echo?none|127.0.0.1");
        EXPECT_TRUE(cameViaTinyproxy(viaScript(script, "proxy-sync", true)));
    }
    // A script that cannot be had or run leaves the request direct.
    for (const std::string& script : {"file://" + root + "/missing.pac", nginx->url("/missing.pac"),
                                      "file://" + root + "/broken.pac", nginx->url("/broken.pac"),
                                      std::string("ftp://127.0.0.1/proxy.pac")}) {
        SCOPED_TRACE(script);
        EXPECT_EQ(viaScript(script, "proxy"), "|/echo?proxy|127.0.0.1");
    }
    EXPECT_EQ(BRHTTPRequest::sharedQueue().maxConcurrentOperationCount(), queueLimit);
}

TEST_F(HTTPRequestPeers, NginxAcceptsTheClientCertificate)
{
    SKIP_WITHOUT_NGINX();
    auto client = testsupport::makeCertificate(folder, "client", {"client"}, &ca);
    auto stranger = testsupport::makeCertificate(folder, "stranger", {"stranger"});
    int port = Nginx::freePort();
    Nginx verifying(root, "  listen 127.0.0.1:" + std::to_string(port) + " ssl;\n  ssl_certificate " +
                              server.certificate + ";\n  ssl_certificate_key " + server.key +
                              ";\n  ssl_client_certificate " + ca.certificate +
                              ";\n  ssl_verify_client on;\n"
                              "  location = /who { return 200 \"$ssl_client_verify $ssl_client_s_dn\"; }\n");
    ASSERT_TRUE(verifying.ok());
    std::string url = "https://127.0.0.1:" + std::to_string(port) + "/who";

    auto ask = [&](const testsupport::CertificateFiles* identity) {
        auto run = std::make_unique<Exchange>(url);
        run->request->setValidatesSecureCertificate(false);
        if (identity)
            run->request->setClientCertificateIdentity(
                net::TlsIdentity::fromPemFiles(identity->certificate, identity->key));
        EXPECT_TRUE(run->runAsync());
        EXPECT_TRUE(run->recorder->wellOrdered());
        return run;
    };
    auto known = ask(&client);
    EXPECT_EQ(known->request->responseStatusCode(), 200);
    EXPECT_EQ(known->request->responseString(), "SUCCESS CN=client");
    // nginx refuses the others with its own 400 page.
    EXPECT_EQ(ask(nullptr)->request->responseStatusCode(), 400);
    EXPECT_EQ(ask(&stranger)->request->responseStatusCode(), 400);
}

} // namespace
