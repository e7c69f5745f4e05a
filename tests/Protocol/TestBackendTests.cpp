// The loopback back end as the application's peer: the harness starts it, the application's own
// server settings and address rules reach it, and the child never outlives the test.
#include "Common/PublicFunction.h"
#include "Network/BRHTTPRequest.h"
#include "Network/BRHTTPRequestShared.h"
#include "Network/BRJSON.h"
#include "Platform/Base/UserDefaults.h"
#include "Platform/Net/URL.h"
#include "Protocol/LoginMode.h"
#include "Protocol/ServerInfo.h"
#include "tests/Platform/Base/FileTestSupport.h"
#include "tests/Support/TestBackend.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <thread>
#include <unistd.h>

using testsupport::TestBackend;

namespace {

constexpr const char* kLoginEnvelope =
    R"({"root":{"parameters":{"methodName":"login","version":"1.0.0","accountId":"alice","deviceId":"dev-1",)"
    R"("password":"ca6c5d8960b5f761e1676d26b282889c","clientId":"AcmeCo","firstLogin":"YES"}}})";

// Gone, or a zombie nobody reaps yet: either way it no longer runs.
bool processGone(pid_t pid)
{
    if (::kill(pid, 0) != 0)
        return errno == ESRCH;
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    size_t paren = all.rfind(')');
    return paren == std::string::npos || (paren + 2 < all.size() && all[paren + 2] == 'Z');
}

bool waitGone(pid_t pid, double seconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (processGone(pid))
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return processGone(pid);
}

base::Value parse(const std::string& text)
{
    auto value = JSONValue(text);
    return value ? *value : base::Value();
}

// The last log record whose "command" is `command`.
base::Value lastRecord(const TestBackend& backend, const std::string& command)
{
    base::Value found;
    for (const auto& line : backend.logLines()) {
        base::Value record = parse(line);
        if (record["command"].isString() && record["command"].asString() == command)
            found = record;
    }
    return found;
}

class TestBackendTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        base::UserDefaults::resetStandard();
        std::string error;
        m_backend = TestBackend::start("S", &error);
        ASSERT_TRUE(m_backend) << error;
        m_backend->writeServerSettings();
    }
    void TearDown() override
    {
        LoginMode::freeInstance();
        base::UserDefaults::resetStandard();
    }

    // POSTs through the application's HTTP engine, as a command is sent.
    static BRHTTPRequest::Ptr post(const std::string& url, const std::string& body)
    {
        auto request = BRHTTPRequest::requestWithURL(net::URL::parse(url));
        request->setRequestMethod("POST");
        request->setTimeOutSeconds(15);
        request->setRequestHeaders({{"Content-Type", "applicatioin/bin;charset=UTF-8"}});
        request->setPostBody(base::Bytes(body.begin(), body.end()));
        request->startSynchronous();
        return request;
    }

    basetest::TempHome m_home;
    std::unique_ptr<TestBackend> m_backend;
};

} // namespace

TEST_F(TestBackendTest, TheApplicationsSettingsReachItAndTheLogAndStateTellWhatCame)
{
    auto server = PublicFunction::GetServer();
    EXPECT_EQ(server->httpPort(), m_backend->commandPort());
    EXPECT_EQ(server->imageHttpPort(), m_backend->filePort());
    EXPECT_EQ(server->websiteServer(), "BrivantaSaas");
    std::string base = "http://" + server->strIP() + ":" + std::to_string(server->httpPort()) + "/"
        + server->websiteServer() + "/";

    auto login = post(base + "Vendor?", kLoginEnvelope);
    ASSERT_EQ(login->responseStatusCode(), 200);
    base::Value answer = parse(login->responseString().value_or(""));
    EXPECT_EQ(answer["results"].asArray().at(0)["status"], base::Value("200"));
    EXPECT_EQ(answer["content"]["vendor"]["clientId"], base::Value("AcmeCo"));
    EXPECT_EQ(answer["content"]["vendor"]["vendor_id"], base::Value("17"));

    base::Value record = lastRecord(*m_backend, "258");
    ASSERT_TRUE(record.isDictionary());
    EXPECT_EQ(record["parameters"]["accountId"], base::Value("alice"));
    EXPECT_EQ(record["headers"]["Content-Type"], base::Value("applicatioin/bin;charset=UTF-8"));
    EXPECT_EQ(record["answer"]["status"], base::Value("200"));

    std::string orders = R"({"order":[)" + testsupport::uploadOrder("T-1", "07/01/2026 10:00:00") + "]}";
    std::string upload = R"({"root":{"parameters":{"methodName":"syncData","accountId":"alice","clientId":"AcmeCo","syncData":)"
        + *JSONFragment(base::Value(orders)) + "}}}";
    for (int i = 0; i < 2; ++i) {
        auto sent = post(base + "SyncClient;", upload);
        EXPECT_EQ(parse(sent->responseString().value_or(""))["content"]["orders"].asArray().at(0)["generateId"].toInt(),
                  5013);
    }
    base::Value state = parse(m_backend->state());
    int uploaded = 0;
    for (const auto& order : state["orders"].asArray()) {
        if (order["order_number"] == base::Value("T-1")) {
            ++uploaded;
            EXPECT_EQ(order["received"].toInt(), 2);
        }
    }
    EXPECT_EQ(uploaded, 1);

    pid_t pid = m_backend->pid();
    m_backend->stop();
    EXPECT_TRUE(processGone(pid));
    EXPECT_FALSE(testsupport::httpExchange(server->httpPort(), "GET", "/__state"));
}

TEST_F(TestBackendTest, EveryFileTypesAddressFindsItsFile)
{
    LoginMode::sharedInstance()->setClientID("AcmeCo");
    struct Case {
        const char* name;
        int type;
    } cases[] = {
        {"ch1.jpg", 1}, {"brochure_c.jpg", 4}, {"brochure.pdf", 5}, {"demo.webm", 6}, {"SkinImages.zip", 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto url = PublicFunction::fileURLWithNameFiletype(std::string(c.name), c.type);
        ASSERT_TRUE(url);
        auto fetched = post(*url, "");
        EXPECT_EQ(fetched->responseStatusCode(), 200);
        EXPECT_FALSE(fetched->responseData().value_or(base::Bytes()).empty());
    }
    // The server keeps the client id's case, so a folder name in lower case is not found.
    LoginMode::sharedInstance()->setClientID("acmeco");
    EXPECT_EQ(post(*PublicFunction::fileURLWithNameFiletype(std::string("ch1.jpg"), 1), "")->responseStatusCode(), 404);
}

TEST_F(TestBackendTest, AnInterruptedDownloadResumesFromTheBackEndsRange)
{
    LoginMode::sharedInstance()->setClientID("AcmeCo");
    std::string url = *PublicFunction::fileURLWithNameFiletype(std::string("ch1.jpg"), 1);
    auto whole = testsupport::httpExchange(m_backend->filePort(), "POST", "/brivanta_saas/images/AcmeCo/product/ch1.jpg");
    ASSERT_TRUE(whole);
    ASSERT_GT(whole->body.size(), 100u);

    auto etag = whole->header("ETag");
    ASSERT_TRUE(etag);

    // A part the back end's own ETag marks is continued; one another version's tag marks comes
    // whole, as the back end honours If-Range.
    for (const std::string& mark : {*etag, std::string("\"another version\"")}) {
        SCOPED_TRACE(mark);
        std::string destination = (m_home.path() / "ch1.jpg").string();
        std::string temporary = (m_home.path() / "ch1.jpg.part").string();
        ::unlink(destination.c_str());
        std::ofstream(temporary, std::ios::binary) << whole->body.substr(0, 100);
        ASSERT_EQ(::setxattr(temporary.c_str(), kDownloadValidatorAttribute, mark.data(), mark.size(), 0), 0);
        auto request = BRHTTPRequest::requestWithURL(net::URL::parse(url));
        request->setRequestMethod("POST");
        request->setAllowResumeForFileDownloads(true);
        request->setShouldResetDownloadProgress(false);
        request->setDownloadDestinationPath(destination);
        request->setTemporaryFileDownloadPath(temporary);
        request->startSynchronous();

        std::ifstream in(destination, std::ios::binary);
        std::stringstream got;
        got << in.rdbuf();
        EXPECT_EQ(got.str(), whole->body);
        base::Value record = lastRecord(*m_backend, "file");
        EXPECT_EQ(record["headers"]["Range"], base::Value("bytes=100-"));
        EXPECT_EQ(record["headers"]["If-Range"], base::Value(mark));
        EXPECT_EQ(record["answer"]["http"].toInt(), mark == *etag ? 206 : 200);
    }
}

TEST_F(TestBackendTest, FaultsAndPerRunValuesSetThroughTheHarnessAct)
{
    std::string sync = R"({"root":{"parameters":{"methodName":"syncData","accountId":"alice","clientId":"AcmeCo",)"
                       R"("deviceId":"d","syncType":"file","isFull":"true"}}})";
    std::string device = R"({"root":{"parameters":{"methodName":"checkDeviceStatus","accountId":"alice",)"
                         R"("clientId":"AcmeCo","deviceId":"d"}}})";
    auto status = [&](const std::string& head, const std::string& body) {
        auto answer = testsupport::httpExchange(m_backend->commandPort(), "POST", "/BrivantaSaas/" + head, body);
        if (!answer)
            return std::string("no answer");
        base::Value parsed = parse(answer->body);
        return parsed["results"].isArray() ? parsed["results"].asArray().at(0)["status"].asString() : answer->body;
    };
    ASSERT_TRUE(m_backend->setFault("515", "status", 1, R"("status": "101")"));
    EXPECT_EQ(status("SyncServer;", sync), "101");
    EXPECT_EQ(status("SyncServer;", sync), "200");

    ASSERT_TRUE(m_backend->setPerRun(R"("deviceStatus": "207")"));
    EXPECT_EQ(status("Vendor?", device), "207");
    ASSERT_TRUE(m_backend->reset());
    EXPECT_EQ(status("Vendor?", device), "200");

    ASSERT_TRUE(m_backend->setFault("262", "drop", 0));
    EXPECT_FALSE(testsupport::httpExchange(m_backend->commandPort(), "POST", "/BrivantaSaas/Vendor?", device));
    EXPECT_FALSE(testsupport::httpExchange(m_backend->commandPort(), "POST", "/BrivantaSaas/Vendor?", device));

    std::string error;
    EXPECT_FALSE(m_backend->control(R"({"faults": [{"target": "262", "kind": "explode"}]})", &error));
    EXPECT_NE(error.find("kind"), std::string::npos);
}

TEST(TestBackendLifetime, TheChildDiesWhenTheProcessThatStartedItIsKilled)
{
    int report[2];
    ASSERT_EQ(::pipe2(report, O_CLOEXEC), 0);
    pid_t starter = ::fork();
    ASSERT_GE(starter, 0);
    if (starter == 0) {
        ::close(report[0]);
        auto backend = TestBackend::start();
        pid_t pid = backend ? backend->pid() : -1;
        if (::write(report[1], &pid, sizeof pid) != sizeof pid)
            _exit(2);
        for (;;)
            ::pause();
    }
    ::close(report[1]);
    pid_t child = -1;
    ASSERT_EQ(::read(report[0], &child, sizeof child), static_cast<ssize_t>(sizeof child));
    ::close(report[0]);
    ASSERT_GT(child, 0);
    EXPECT_FALSE(processGone(child));

    ::kill(starter, SIGKILL);
    ::waitpid(starter, nullptr, 0);
    EXPECT_TRUE(waitGone(child, 10));
}
