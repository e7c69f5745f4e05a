// Challenges answered against nginx (Basic), tinyproxy (Basic proxy) and the dialog shown in a
// headless window through the test driver.
#include "HTTPRequestTestSupport.h"

#include "Network/BRAuthenticationDialog.h"
#include "Platform/UI/Button.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/NavigationBar.h"
#include "Platform/UI/TextField.h"
#include "Platform/UI/View.h"
#include "Platform/UI/Window.h"

#include <fcntl.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>

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
        base::RunLoop::main().runUntil([&] { return countOf(accessLog(), "\n") >= skip + count; }, 10);
        std::string log = accessLog();
        size_t at = 0;
        for (size_t i = 0; i < skip && at != std::string::npos; ++i)
            at = log.find('\n', at) + 1;
        return log.substr(at);
    }
    static size_t logLines() { return countOf(accessLog(), "\n"); }

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
    EXPECT_EQ(second.request->requestHeader("Authorization"), "Basic dXNlcjpwdw==");
    std::string log = logAfter(before, 3);
    // The first asked twice (challenged, then answered); the second went through at once.
    EXPECT_EQ(countOf(log, "GET /private/a.txt"), 3u) << log;
    EXPECT_EQ(countOf(log, " - user ["), 2u) << log;

    // Nobody to ask.
    BRHTTPRequest::clearSession();
    Exchange none(url("/private/a.txt"));
    ASSERT_TRUE(none.runAsync());
    EXPECT_EQ(none.errorCode(), 3);
    EXPECT_EQ(none.request->error()->description, "Authentication needed");
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
    auto viaProxy = [&](Exchange& run) {
        run.request->setProxyHost("127.0.0.1");
        run.request->setProxyPort(proxyPort);
        run.request->setProxyType("HTTP");
    };
    // Synchronous, before any proxy credentials are known.
    Exchange sync(url("/private/a.txt", "user:pw"));
    viaProxy(sync);
    sync.request->startSynchronous();
    EXPECT_EQ(sync.errorCode(), 3);

    Exchange run(url("/private/a.txt", "user:pw"));
    viaProxy(run);
    run.request->startAsynchronous();
    ASSERT_TRUE(waitForDialog(run.request));
    auto dialog = BRAuthenticationDialog::presentedDialog();
    EXPECT_EQ(dialog->type(), 1);
    EXPECT_EQ(dialog->navigationBar()->topItem()->title(), "127.0.0.1");
    typeAndLogin("proxyuser", "proxypw");
    ASSERT_TRUE(run.wait());
    EXPECT_EQ(run.recorder->finished, 1);
    EXPECT_EQ(run.request->responseString(), "secret");

    // The proxy's session record answers the next one at once.
    Exchange next(url("/private/a.txt", "user:pw"));
    viaProxy(next);
    ASSERT_TRUE(next.runAsync());
    EXPECT_EQ(next.recorder->finished, 1);
    EXPECT_FALSE(BRAuthenticationDialog::presentedDialog());
}

} // namespace
