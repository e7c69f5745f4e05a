// Challenges answered against nginx (Basic), tinyproxy (Basic proxy) and the dialog shown in a
// headless window through the test driver.
#include "HTTPRequestTestSupport.h"

#include "Network/BRAuthenticationDialog.h"
#include "Network/BRNetworkQueue.h"
#include "Platform/Net/CredentialStorage.h"
#include "Platform/Net/NtlmMessages.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/NavigationBar.h"
#include "Platform/UI/TextField.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

#include <fcntl.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <mutex>

using namespace enginetest;
namespace fs = std::filesystem;

namespace {

size_t countOf(const std::string& text, const std::string& what)
{
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

// Answers the credential question from the main thread, as an owner does.
class Answerer : public Recorder {
public:
    std::string user, password;
    bool cancel = false;
    int asked = 0;
    bool answersAuthenticationNeeded() const override { return true; }
    void authenticationNeededForRequest(BRHTTPRequest& request) override
    {
        ++asked;
        EXPECT_TRUE(base::RunLoop::isMainThread());
        if (cancel) {
            request.cancelAuthentication();
            return;
        }
        request.setUsername(user);
        request.setPassword(password);
        request.retryUsingSuppliedCredentials();
    }
};

std::string md5Hex(const std::string& text)
{
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned length = 0;
    EVP_Digest(text.data(), text.size(), out, &length, EVP_md5(), nullptr);
    static const char* hex = "0123456789abcdef";
    std::string s;
    for (unsigned i = 0; i < length; ++i)
        s += {hex[out[i] >> 4], hex[out[i] & 15]};
    return s;
}

std::string headerParam(const std::string& header, const std::string& name)
{
    size_t at = header.find(" " + name + "=");
    if (at == std::string::npos)
        return {};
    at += name.size() + 2;
    if (header[at] == '"')
        return header.substr(at + 1, header.find('"', at + 1) - at - 1);
    return header.substr(at, header.find(',', at) - at);
}

std::string base64Of(const net::ntlm::Bytes& bytes)
{
    std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
    out.resize(size_t(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), bytes.data(), int(bytes.size()))));
    return out;
}

net::ntlm::Bytes unbase64(const std::string& text)
{
    net::ntlm::Bytes out(text.size());
    int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()), int(text.size()));
    out.resize(n < 0 ? 0 : size_t(n) - (text.ends_with("==") ? 2 : text.ends_with("=") ? 1 : 0));
    return out;
}

net::ntlm::Bytes securityBuffer(const net::ntlm::Bytes& m, size_t at)
{
    size_t length = m[at] | m[at + 1] << 8, offset = m[at + 4] | m[at + 5] << 8;
    if (offset + length > m.size())
        return {};
    return net::ntlm::Bytes(m.begin() + long(offset), m.begin() + long(offset + length));
}

// A loopback server (or, with `proxy`, a proxy) that demands Digest on "/digest" and NTLM
// elsewhere, and checks each answer against its one password itself.
struct Challenger {
    bool proxy = false;
    std::string password = "pw";
    std::mutex mutex;
    int negotiatedOn = 0;
    std::string user, domain;
    std::vector<std::string> answers; // every credentials header received

    Reply challenge(const std::string& value)
    {
        Reply r = Reply::text(proxy ? 407 : 401, "no");
        r.headers.push_back({proxy ? "Proxy-Authenticate" : "WWW-Authenticate", value});
        return r;
    }

    Reply operator()(const Request& request)
    {
        std::lock_guard lock(mutex);
        auto sent = request.header(proxy ? "Proxy-Authorization" : "Authorization");
        if (sent)
            answers.push_back(*sent);
        if (request.target.ends_with("/digest"))
            return digest(request, sent);
        return ntlm(request, sent);
    }

    Reply digest(const Request& request, const std::optional<std::string>& sent)
    {
        const std::string realm = "Digest zone", nonce = "bm9uY2U";
        std::string offer = "Digest realm=\"" + realm + "\", qop=\"auth\", nonce=\"" + nonce + "\", opaque=\"op\"";
        if (!sent || !sent->starts_with("Digest ") || headerParam(*sent, "opaque") != "op" ||
            headerParam(*sent, "uri") != request.target)
            return challenge(offer);
        std::string ha1 = md5Hex(headerParam(*sent, "username") + ":" + realm + ":" + password);
        std::string ha2 = md5Hex(request.method + ":" + request.target);
        std::string expected = md5Hex(ha1 + ":" + nonce + ":" + headerParam(*sent, "nc") + ":" +
                                      headerParam(*sent, "cnonce") + ":auth:" + ha2);
        if (headerParam(*sent, "response") != expected)
            return challenge(offer);
        return Reply::text(200, "digest ok");
    }

    Reply ntlm(const Request& request, const std::optional<std::string>& sent)
    {
        if (!sent || !sent->starts_with("NTLM "))
            return challenge("NTLM");
        auto message = unbase64(sent->substr(5));
        if (message.size() >= 32 && message[8] == 1) {
            negotiatedOn = request.connection;
            net::ntlm::Bytes type2(48, 0);
            std::copy_n("NTLMSSP", 8, type2.begin());
            type2[8] = 2;
            type2[20] = 0x05; // Unicode, target requested
            type2[22] = 0x88;
            std::copy(server.begin(), server.end(), type2.begin() + 24);
            return challenge("NTLM " + base64Of(type2));
        }
        if (message.size() < 64 || message[8] != 3 || request.connection != negotiatedOn)
            return challenge("NTLM");
        auto ascii = [](const net::ntlm::Bytes& utf16) {
            std::string s;
            for (size_t i = 0; i < utf16.size(); i += 2)
                s += char(utf16[i]);
            return s;
        };
        user = ascii(securityBuffer(message, 36));
        domain = ascii(securityBuffer(message, 28));
        auto nt = securityBuffer(message, 20);
        auto key = net::ntlm::ntowfV2(password, user, domain);
        if (nt.size() < 16 + 28 || !key)
            return challenge("NTLM");
        net::ntlm::Bytes data(server.begin(), server.end());
        data.insert(data.end(), nt.begin() + 16, nt.end());
        unsigned char proof[16];
        size_t length = 0;
        EVP_Q_mac(nullptr, "HMAC", nullptr, "MD5", nullptr, key->data(), key->size(), data.data(), data.size(), proof,
                  sizeof proof, &length);
        if (!std::equal(proof, proof + 16, nt.begin()))
            return challenge("NTLM");
        return Reply::text(200, "ntlm ok");
    }

    std::array<uint8_t, 8> server{1, 2, 3, 4, 5, 6, 7, 8};
};

std::unique_ptr<LoopbackServer> challengeServer(const std::shared_ptr<Challenger>& challenger)
{
    return std::make_unique<LoopbackServer>([challenger](const Request& r) { return (*challenger)(r); });
}

class Authentication : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        testHome();
        folder = testsupport::makeTemporaryFolder("auth");
        fs::create_directories(folder + "/www/private");
        writeFile(folder + "/www/private/a.txt", "secret");
        if (!Nginx::available())
            return;
        // The password file as the server's own tool makes it.
        std::string hash = run("openssl passwd -apr1 pw");
        writeFile(folder + "/htpasswd", "user:" + hash);
        port = Nginx::freePort();
        nginx = std::make_unique<Nginx>(
            folder + "/www",
            "  access_log " + folder + "/access.log;\n  listen 127.0.0.2:" + std::to_string(port) + ";\n" +
                "  location /private/ { auth_basic \"Staff\"; auth_basic_user_file " + folder + "/htpasswd; }\n" +
                "  location = /negotiate { add_header WWW-Authenticate Negotiate always; return 401; }\n" +
                "  location = /bare { return 401; }\n");
        if (::access("/usr/bin/tinyproxy", X_OK) == 0) {
            proxyPort = Nginx::freePort();
            std::ofstream(folder + "/tinyproxy.conf")
                << "Port " << proxyPort << "\nListen 127.0.0.1\nTimeout 30\nMaxClients 20\nAllow 127.0.0.1\n"
                << "BasicAuth proxyuser proxypw\n";
            proxy = ::fork();
            if (proxy == 0) {
                int log = ::open((folder + "/tinyproxy.log").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                ::dup2(log, 1);
                ::dup2(log, 2);
                ::execl("/usr/bin/tinyproxy", "tinyproxy", "-d", "-c", (folder + "/tinyproxy.conf").c_str(),
                        (char*)nullptr);
                _exit(127);
            }
        }
    }
    static void TearDownTestSuite()
    {
        nginx.reset();
        if (proxy > 0) {
            ::kill(proxy, SIGTERM);
            ::waitpid(proxy, nullptr, 0);
        }
        fs::remove_all(folder);
    }
    void SetUp() override
    {
        BRHTTPRequest::clearSession();
        for (const auto& record : BRHTTPRequest::sessionProxyCredentialsStore())
            BRHTTPRequest::removeProxyAuthenticationCredentialsFromSessionStore(record.credentials);
    }

    static std::string run(const std::string& command)
    {
        std::string out;
        if (FILE* p = ::popen(command.c_str(), "r")) {
            char buffer[256];
            while (size_t n = fread(buffer, 1, sizeof buffer, p))
                out.append(buffer, n);
            ::pclose(p);
        }
        return out;
    }
    static std::string accessLog() { return readFile(folder + "/access.log"); }
    static std::string url(const std::string& path, const std::string& userInfo = {}, const char* host = "127.0.0.1")
    {
        std::string u = nginx->url(path);
        if (std::string(host) != "127.0.0.1")
            u = "http://" + std::string(host) + ":" + std::to_string(port) + path;
        return userInfo.empty() ? u : "http://" + userInfo + "@" + u.substr(7);
    }
    // The log lines after the first `skip`, once `count` of them are there (nginx logs after
    // answering).
    static std::string logAfter(size_t skip, size_t count = 0)
    {
        base::RunLoop::main().runUntil([&] { return countOf(accessLog(), "\n") >= skip + count; }, 60);
        std::string log = accessLog();
        size_t at = 0;
        for (size_t i = 0; i < skip && at != std::string::npos; ++i)
            at = log.find('\n', at) + 1;
        return log.substr(at);
    }
    // The log's lines once every earlier request is in it: nginx may log a request after the
    // client has its answer, so a marker request goes last and its line is waited for.
    static size_t logLines()
    {
        static int marks = 0;
        std::string mark = "/log-mark-" + std::to_string(++marks);
        Exchange marker(url(mark));
        marker.runAsync();
        base::RunLoop::main().runUntil([&] { return countOf(accessLog(), "GET " + mark + " ") > 0; }, 60);
        return countOf(accessLog(), "\n");
    }

    static inline std::string folder;
    static inline int port = 0, proxyPort = 0;
    static inline pid_t proxy = -1;
    static inline std::unique_ptr<Nginx> nginx;
};

#define REQUIRE_NGINX()                                                                                       \
    SKIP_WITHOUT_NGINX();                                                                                      \
    ASSERT_TRUE(nginx->ok())

TEST_F(Authentication, BasicFromTheURLThenFromTheSession)
{
    REQUIRE_NGINX();
    size_t before = logLines();
    Exchange first(url("/private/a.txt", "user:pw"));
    ASSERT_TRUE(first.runAsync());
    EXPECT_EQ(first.recorder->finished, 1);
    EXPECT_EQ(first.request->responseString(), "secret");

    Exchange second(url("/private/a.txt"));
    ASSERT_TRUE(second.runAsync());
    EXPECT_EQ(second.recorder->finished, 1);
    std::string log = logAfter(before, 3);
    // The first asked twice (challenged, then answered); the second went through at once, its
    // Basic header from the session record passing nginx's check.
    EXPECT_EQ(countOf(log, "GET /private/a.txt"), 3u) << log;
    EXPECT_EQ(countOf(log, " - user ["), 2u) << log;

    // Nobody to ask.
    BRHTTPRequest::clearSession();
    Exchange none(url("/private/a.txt"));
    ASSERT_TRUE(none.runAsync());
    EXPECT_EQ(none.errorCode(), 3);
    EXPECT_EQ(none.request->error()->description, "Authentication needed");
}

TEST_F(Authentication, SavedCredentialsOutliveTheSession)
{
    REQUIRE_NGINX();
    Exchange saving(url("/private/a.txt", "user:pw"));
    saving.request->setUseKeychainPersistence(true);
    ASSERT_TRUE(saving.runAsync());
    EXPECT_EQ(saving.recorder->finished, 1);

    BRHTTPRequest::clearSession();
    Exchange later(url("/private/a.txt"));
    later.request->setUseKeychainPersistence(true);
    ASSERT_TRUE(later.runAsync());
    EXPECT_EQ(later.recorder->finished, 1);
    EXPECT_EQ(later.request->responseString(), "secret");
    net::CredentialStorage::shared().removeCredential(
        {"user", "pw", net::Credential::Persistence::Permanent},
        net::ProtectionSpace::server("127.0.0.1", port, "http", "Staff"));
}

TEST_F(Authentication, RefusedCredentialsLeaveTheSession)
{
    REQUIRE_NGINX();
    size_t before = logLines();
    Exchange wrong(url("/private/a.txt", "user:nope"));
    ASSERT_TRUE(wrong.runAsync());
    EXPECT_EQ(wrong.errorCode(), 3);
    std::string log = logAfter(before, 2);
    EXPECT_EQ(countOf(log, "GET /private/a.txt"), 2u) << log;
    EXPECT_EQ(countOf(log, " - user ["), 1u) << log;
    EXPECT_TRUE(BRHTTPRequest::sessionCredentialsStore().empty());

    // Unusable challenges.
    Exchange negotiate(url("/negotiate"));
    ASSERT_TRUE(negotiate.runAsync());
    EXPECT_EQ(negotiate.errorCode(), 3);
    Exchange bare(url("/bare"));
    ASSERT_TRUE(bare.runAsync());
    EXPECT_EQ(bare.errorCode(), 7);
    EXPECT_EQ(bare.request->error()->description, "Failed to get authentication object from response headers");
}

TEST_F(Authentication, OwnersAnswerOnTheMainThread)
{
    REQUIRE_NGINX();
    auto request = BRHTTPRequest::requestWithURL(net::URL::parse(url("/private/a.txt")));
    auto answerer = std::make_shared<Answerer>();
    answerer->user = "user";
    answerer->password = "pw";
    request->setDelegate(answerer);
    request->startAsynchronous();
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return answerer->done(); }, 30));
    EXPECT_EQ(answerer->asked, 1);
    EXPECT_EQ(answerer->finished, 1);
    EXPECT_EQ(request->responseString(), "secret");

    BRHTTPRequest::clearSession();
    auto cancelled = BRHTTPRequest::requestWithURL(net::URL::parse(url("/private/a.txt")));
    auto refuser = std::make_shared<Answerer>();
    refuser->cancel = true;
    cancelled->setDelegate(refuser);
    cancelled->startAsynchronous();
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return refuser->done(); }, 30));
    EXPECT_EQ(refuser->failed, 1);
    EXPECT_EQ(cancelled->error()->code, 3);

    BRHTTPRequest::clearSession();
    auto owner = std::make_shared<Answerer>();
    owner->user = "user";
    owner->password = "pw";
    auto queue = BRNetworkQueue::queue();
    queue->setDelegate(owner);
    auto queued = BRHTTPRequest::requestWithURL(net::URL::parse(url("/private/a.txt")));
    queue->addOperation(queued);
    queue->go();
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return queued->isFinished(); }, 30));
    EXPECT_EQ(owner->asked, 1);
    EXPECT_FALSE(queued->error());
    EXPECT_EQ(queued->responseString(), "secret");

    BRHTTPRequest::clearSession();
    Exchange viaBlock(url("/private/a.txt"));
    auto* raw = viaBlock.request.get();
    viaBlock.request->setAuthenticationNeededBlock([raw] {
        raw->setUsername("user");
        raw->setPassword("pw");
        raw->retryUsingSuppliedCredentials();
    });
    ASSERT_TRUE(viaBlock.runAsync());
    EXPECT_EQ(viaBlock.recorder->finished, 1);
}

TEST_F(Authentication, DigestLoginAgainstAServerThatDemandsIt)
{
    auto challenger = std::make_shared<Challenger>();
    auto server = challengeServer(challenger);
    std::string address = server->url("/digest");
    Exchange login("http://user:pw@" + address.substr(7));
    ASSERT_TRUE(login.runAsync());
    EXPECT_EQ(login.recorder->finished, 1);
    EXPECT_EQ(login.request->responseString(), "digest ok");
    EXPECT_EQ(server->requests().size(), 2u);
    EXPECT_EQ(login.request->authenticationScheme(), "Digest");

    // The session record's challenge object answers the next request before any challenge.
    Exchange next(address);
    ASSERT_TRUE(next.runAsync());
    EXPECT_EQ(next.recorder->finished, 1);
    ASSERT_EQ(server->requests().size(), 3u);
    EXPECT_EQ(headerParam(server->requests()[2].header("Authorization").value_or(""), "nc"), "00000002");

    BRHTTPRequest::clearSession();
    size_t before = server->requests().size();
    Exchange wrong("http://user:nope@" + address.substr(7));
    ASSERT_TRUE(wrong.runAsync());
    EXPECT_EQ(wrong.errorCode(), 3);
    EXPECT_EQ(server->requests().size() - before, 2u);
    EXPECT_TRUE(BRHTTPRequest::sessionCredentialsStore().empty());
}

TEST_F(Authentication, NtlmKeepsItsConnectionAndGivesUpAfterTwoAttempts)
{
    auto challenger = std::make_shared<Challenger>();
    auto server = challengeServer(challenger);
    // A POST, whose connection is otherwise not kept; the account domain comes from the name.
    Exchange post(server->url("/ntlm"));
    post.request->setRequestMethod("POST");
    post.request->setPostBody(base::Bytes{'x'});
    post.request->setUsername("DOMAIN\\user");
    post.request->setPassword("pw");
    ASSERT_TRUE(post.runAsync());
    EXPECT_EQ(post.recorder->finished, 1);
    EXPECT_EQ(post.request->responseString(), "ntlm ok");
    EXPECT_EQ(challenger->user, "user");
    EXPECT_EQ(challenger->domain, "DOMAIN");

    // The next POST opens the exchange from the session record and finishes it on one connection.
    challenger->answers.clear();
    Exchange again(server->url("/ntlm"));
    again.request->setRequestMethod("POST");
    again.request->setPostBody(base::Bytes{'y'});
    ASSERT_TRUE(again.runAsync());
    EXPECT_EQ(again.request->responseString(), "ntlm ok");
    EXPECT_EQ(challenger->answers.size(), 2u);

    BRHTTPRequest::clearSession();
    challenger->answers.clear();
    Exchange wrong(server->url("/ntlm"));
    wrong.request->setUsername("user");
    wrong.request->setPassword("nope");
    wrong.request->setDomain("D");
    ASSERT_TRUE(wrong.runAsync());
    EXPECT_EQ(wrong.errorCode(), 3);
    EXPECT_EQ(challenger->answers.size(), 2u);
    EXPECT_EQ(wrong.request->authenticationRetryCount(), 2);
}

class AuthenticationDialog : public Authentication {
protected:
    void SetUp() override
    {
        Authentication::SetUp();
        ui::View::setAnimationsEnabled(false);
        window = std::make_shared<ui::Window>();
        window->makeKeyAndVisible();
        driver = std::make_unique<ui::Driver>(*window);
    }
    void TearDown() override
    {
        driver.reset();
        window.reset();
        ui::View::setAnimationsEnabled(true);
    }
    bool waitForDialog(const BRHTTPRequest::Ptr& request)
    {
        return base::RunLoop::main().runUntil(
            [&] {
                auto dialog = BRAuthenticationDialog::presentedDialog();
                return dialog && dialog->request() == request;
            },
            30);
    }
    void typeAndLogin(const std::string& user, const std::string& password)
    {
        auto dialog = BRAuthenticationDialog::presentedDialog();
        ASSERT_TRUE(dialog);
        ASSERT_TRUE(driver->tap(dialog->usernameField()));
        driver->type(user);
        ASSERT_TRUE(driver->tap(dialog->passwordField()));
        driver->type(password);
        ASSERT_TRUE(driver->tap(dialog->navigationBar()->rightButton()));
    }
    std::shared_ptr<ui::Window> window;
    std::unique_ptr<ui::Driver> driver;
};

TEST_F(AuthenticationDialog, OneAnswerServesTheRequestsThatNeedIt)
{
    REQUIRE_NGINX();
    std::vector<std::unique_ptr<Exchange>> runs;
    auto start = [&](const char* host) {
        runs.push_back(std::make_unique<Exchange>(url("/private/a.txt", {}, host)));
        runs.back()->request->setShouldPresentAuthenticationDialog(true);
        runs.back()->request->startAsynchronous();
    };
    // The other host's request is challenged while the first sheet is open.
    start("127.0.0.1");
    start("127.0.0.1");
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return BRAuthenticationDialog::waitingRequestCount() == 1; }, 30));
    start("127.0.0.2");
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return BRAuthenticationDialog::waitingRequestCount() == 2; }, 30));
    auto dialog = BRAuthenticationDialog::presentedDialog();
    EXPECT_EQ(dialog->navigationBar()->topItem()->title(), "127.0.0.1");
    EXPECT_EQ(dialog->tableView()->numberOfSections(), 1);
    ASSERT_TRUE(dialog->usernameField() && dialog->passwordField());
    EXPECT_TRUE(dialog->usernameField()->isFirstResponder());
    EXPECT_TRUE(dialog->passwordField()->isSecureTextEntry());
    EXPECT_EQ(dialog->titleForFooterInSection(*dialog->tableView(), 0), "Password will be sent in the clear.");
    EXPECT_EQ(dialog->titleForHeaderInSection(*dialog->tableView(), 0), "Staff");
    EXPECT_TRUE(driver->screenshot(folder + "/dialog.png"));
    if (const char* keep = std::getenv("BRIVANTA_KEEP_DIALOG_PNG"))
        fs::copy_file(folder + "/dialog.png", keep, fs::copy_options::overwrite_existing);
    typeAndLogin("user", "pw");
    EXPECT_TRUE(runs[0]->wait());
    EXPECT_TRUE(runs[1]->wait());
    EXPECT_EQ(runs[0]->recorder->finished, 1);
    EXPECT_EQ(runs[1]->recorder->finished, 1);

    // The other host's request gets its own sheet once the first is gone; Cancel fails it.
    ASSERT_TRUE(waitForDialog(runs[2]->request));
    EXPECT_EQ(BRAuthenticationDialog::presentedDialog()->navigationBar()->topItem()->title(), "127.0.0.2");
    ASSERT_TRUE(driver->tap(BRAuthenticationDialog::presentedDialog()->navigationBar()->leftButton()));
    EXPECT_TRUE(runs[2]->wait());
    EXPECT_EQ(runs[2]->errorCode(), 3);
}

TEST_F(AuthenticationDialog, ProxyCredentialsFromTheSheet)
{
    REQUIRE_NGINX();
    if (proxy <= 0)
        GTEST_SKIP() << "tinyproxy is not installed";
    ASSERT_TRUE(base::RunLoop::main().runUntil([&] { return !readFile(folder + "/tinyproxy.log").empty(); }, 10));
    // The proxy comes from the environment, as the device's settings give it.
    struct ProxyEnvironment {
        explicit ProxyEnvironment(int port)
        {
            for (const char* name : {"http_proxy", "no_proxy", "NO_PROXY"})
                if (const char* value = std::getenv(name))
                    saved.emplace_back(name, value);
            ::setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(port)).c_str(), 1);
            ::unsetenv("no_proxy");
            ::unsetenv("NO_PROXY");
        }
        ~ProxyEnvironment()
        {
            ::unsetenv("http_proxy");
            for (const auto& [name, value] : saved)
                ::setenv(name.c_str(), value.c_str(), 1);
        }
        std::vector<std::pair<std::string, std::string>> saved;
    } environment(proxyPort);
    // Synchronous, before any proxy credentials are known.
    Exchange sync(url("/private/a.txt", "user:pw"));
    sync.request->startSynchronous();
    EXPECT_EQ(sync.errorCode(), 3);

    Exchange run(url("/private/a.txt", "user:pw"));
    run.request->startAsynchronous();
    ASSERT_TRUE(waitForDialog(run.request));
    auto dialog = BRAuthenticationDialog::presentedDialog();
    EXPECT_EQ(dialog->type(), 1);
    EXPECT_EQ(run.request->proxyPort(), proxyPort);
    EXPECT_EQ(dialog->navigationBar()->topItem()->title(), "127.0.0.1");
    typeAndLogin("proxyuser", "proxypw");
    ASSERT_TRUE(run.wait());
    EXPECT_EQ(run.recorder->finished, 1);
    EXPECT_EQ(run.request->responseString(), "secret");

    // The proxy's session record answers the next one at once.
    Exchange next(url("/private/a.txt", "user:pw"));
    ASSERT_TRUE(next.runAsync());
    EXPECT_EQ(next.recorder->finished, 1);
    EXPECT_FALSE(BRAuthenticationDialog::presentedDialog());
}

TEST_F(AuthenticationDialog, NtlmProxySheetAsksForTheDomain)
{
    auto challenger = std::make_shared<Challenger>();
    challenger->proxy = true;
    auto proxyServer = challengeServer(challenger);
    Exchange run("http://127.0.0.1:9/ntlm");
    run.request->setProxyHost("127.0.0.1");
    run.request->setProxyPort(proxyServer->port());
    run.request->startAsynchronous();
    ASSERT_TRUE(waitForDialog(run.request));
    auto dialog = BRAuthenticationDialog::presentedDialog();
    EXPECT_EQ(dialog->type(), 1);
    ASSERT_EQ(dialog->tableView()->numberOfSections(), 2);
    ASSERT_TRUE(dialog->domainField());
    EXPECT_EQ(dialog->domainField()->placeholder(), "Domain");
    EXPECT_EQ(dialog->titleForFooterInSection(*dialog->tableView(), 0), "");
    EXPECT_EQ(dialog->titleForFooterInSection(*dialog->tableView(), 1), "Password will be sent securely.");
    ASSERT_TRUE(driver->tap(dialog->domainField()));
    driver->type("DOMAIN");
    typeAndLogin("user", "pw");
    ASSERT_TRUE(run.wait());
    EXPECT_EQ(run.recorder->finished, 1);
    EXPECT_EQ(run.request->proxyDomain(), "DOMAIN");
    EXPECT_EQ(challenger->domain, "DOMAIN");
    EXPECT_EQ(challenger->user, "user");
}

TEST_F(AuthenticationDialog, EmptyFieldsAndTheSecureFooter)
{
    // Anything at all is let in once it is sent.
    LoopbackServer basic([](const Request& r) {
        if (r.header("Authorization"))
            return Reply::text(200, "in");
        Reply challenge = Reply::text(401, "no");
        challenge.headers.push_back({"WWW-Authenticate", "Basic realm=\"Open\""});
        return challenge;
    });
    Exchange empty(basic.url("/x"));
    empty.request->setShouldPresentAuthenticationDialog(true);
    empty.request->startAsynchronous();
    ASSERT_TRUE(waitForDialog(empty.request));
    ASSERT_TRUE(driver->tap(BRAuthenticationDialog::presentedDialog()->navigationBar()->rightButton()));
    ASSERT_TRUE(empty.wait());
    EXPECT_EQ(empty.recorder->finished, 1);
    ASSERT_EQ(basic.requests().size(), 2u);
    EXPECT_EQ(basic.requests()[1].header("Authorization"), "Basic Og==");

    auto server = challengeServer(std::make_shared<Challenger>());
    Exchange digest(server->url("/digest"));
    digest.request->setShouldPresentAuthenticationDialog(true);
    digest.request->startAsynchronous();
    ASSERT_TRUE(waitForDialog(digest.request));
    auto dialog = BRAuthenticationDialog::presentedDialog();
    EXPECT_EQ(dialog->titleForFooterInSection(*dialog->tableView(), 0), "Password will be sent securely.");
    ASSERT_TRUE(driver->tap(dialog->navigationBar()->leftButton()));
    ASSERT_TRUE(digest.wait());
    EXPECT_EQ(digest.errorCode(), 3);
}

} // namespace
