// Commands through the dispatcher and the transport to the loopback back end and back.
#include "ProtocolTestSupport.h"

#include "App/BrivantaAppDelegate.h"
#include "Platform/UI/AlertView.h"
#include "Platform/UI/Application.h"
#include "Protocol/MsgRequest.h"
#include "tests/Support/DownloadLimits.h"

#include <functional>
#include <set>
#include <unistd.h>

namespace protocoltest {
namespace {

// Keeps the parsed answer so tests can compare what different framings decoded to.
class RecordingCommand : public TableCommand {
public:
    using TableCommand::TableCommand;
    std::shared_ptr<NetBaseRst> RequestDecode(const std::optional<base::Value>& answer) override
    {
        parsed = answer;
        return TableCommand::RequestDecode(answer);
    }
    std::optional<base::Value> parsed;
};

std::shared_ptr<TableCommand> upload(const char* className, const std::string& document,
                                     const std::shared_ptr<Requester>& requester)
{
    auto command = std::make_shared<TableCommand>(
        className, std::vector<std::pair<std::string, std::string>>{{"jsessionId", "S-1"},
                                                                    {"accountId", "alice"},
                                                                    {"clientId", "AcmeCo"},
                                                                    {"syncData", document}});
    command->setReceiveDelegete(requester);
    return command;
}

const std::string kOrderDocument = R"({"order":[)" + testsupport::uploadOrder("Q-7", "01/31/2026 17:05:00") + "]}";
const char* const kCustomerDocument =
    R"({"brivanta_customer":[{"customer_id":-3,"customer_info_id":"","customer_name":"Initech",)"
    R"("customer_publish":1,"customer_ordering":0,"discount":0}],"brivanta_customer_address":[],)"
    R"("brivanta_customer_attribute":[],"brivanta_customer_contact":[]})";

class DispatcherTest : public ProtocolTest {
protected:
    // The command port after a refusal window (its own blocking connects, not the loop's).
    static bool waitUntilListening()
    {
        for (int i = 0; i < 2400; ++i) { // a bound only a back end that never listens again reaches
            if (testsupport::httpExchange(backend().commandPort(), "GET", "/__state"))
                return true;
            usleep(25 * 1000);
        }
        return false;
    }
    // How often the back end received the test's order or customer.
    static int timesStored(const std::string& code)
    {
        auto state = JSONValue(backend().state());
        if (!state)
            return -1;
        int received = 0;
        if (code == "518") {
            for (const auto& order : (*state)["orders"].asArray())
                if (order["order_number"].toString() == "Q-7")
                    received += int(order["received"].toInt());
        } else {
            for (const auto& row : (*state)["customers"].asArray())
                if (row["table"].toString() == "brivanta_customer" && row["localId"].toInt() == -3)
                    received += int(row["received"].toInt());
        }
        return received;
    }
};

TEST_F(DispatcherTest, AnswersAsTheServerShapedThemReachTheReader)
{
    const std::string noStatus = Language::stringWithName("115");
    struct Case {
        const char* kind;
        const char* extra;
        const char* status;
        const char* detail;
        std::string message;
    } cases[] = {
        {"raw", R"("preset": "twoResults")", "101", "", Language::stringWithName("101")},
        {"raw", R"("preset": "noStatus")", "115", "no status here", noStatus},
        {"raw", R"("preset": "html")", "115", "", noStatus},
        {"raw", R"("preset": "numberStatus")", "200", "", Language::stringWithName("200")},
        {"status", R"("status": "87654")", "87654", "", noStatus},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(backend().setFault("261", c.kind, 1, c.extra));
        auto requester = std::make_shared<Requester>();
        NetworkModel::sharedInstance()->sendRequest(runtimeConfig(requester));
        ASSERT_TRUE(runUntil([&] { return !requester->results.empty(); })) << c.extra;
        auto& result = *requester->results[0];
        EXPECT_EQ(result.status, c.status) << c.extra;
        EXPECT_EQ(result.detail, c.detail) << c.extra;
        EXPECT_EQ(result.message, c.message) << c.extra;
        EXPECT_EQ(result.httpRsp, 0);
        EXPECT_EQ(result.cmdCode, kCmdRuntimeConfig);
    }
    EXPECT_EQ(NetworkModel::sharedInstance()->pendingRequestCount(), 0u);
}

TEST_F(DispatcherTest, WireFormatOfCommandsAndTheirAnswers)
{
    base::ScopedLogCapture log;
    const std::string digest = "ca6c5d8960b5f761e1676d26b282889c";
    auto requester = std::make_shared<Requester>();
    auto login = std::make_shared<TableCommand>(
        "RequestLogin", std::vector<std::pair<std::string, std::string>>{{"version", "1.0.0"},
                                                                         {"accountId", "alice"},
                                                                         {"deviceId", "DEV-1"},
                                                                         {"password", digest},
                                                                         {"clientId", "AcmeCo"},
                                                                         {"firstLogin", "YES"}});
    login->setReceiveDelegete(requester);
    std::string body = *login->RequestEncode();
    NetworkModel::sharedInstance()->sendRequest(login);
    auto sync = std::make_shared<TableCommand>(
        "RequestSyncAllTable", std::vector<std::pair<std::string, std::string>>{
                                   {"jsessionId", "S-1"}, {"accountId", "alice"}, {"clientId", "AcmeCo"},
                                   {"deviceId", "DEV-1"}, {"syncType", "product"}, {"isFull", "true"}});
    sync->setReceiveDelegete(requester);
    NetworkModel::sharedInstance()->sendRequest(sync);
    ASSERT_TRUE(runUntil([&] { return requester->results.size() == 2; }));
    for (const auto& result : requester->results)
        EXPECT_EQ(result->status, "200") << result->cmdCode;

    auto logins = logged("258");
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0]["request"].toString(), "POST /BrivantaSaas/Vendor? HTTP/1.1");
    const auto& headers = logins[0]["headers"];
    EXPECT_EQ(headers["Content-Type"].toString(), "applicatioin/bin;charset=UTF-8");
    EXPECT_EQ(headers["Content-Length"].toString(), std::to_string(body.size()));
    EXPECT_NE(headers["Accept-Encoding"].toString().find("gzip"), std::string::npos);
    auto syncs = logged("513");
    ASSERT_EQ(syncs.size(), 1u);
    EXPECT_EQ(syncs[0]["request"].toString(), "POST /BrivantaSaas/SyncServer; HTTP/1.1");
    EXPECT_FALSE(syncs[0]["parameters"].asDictionary().contains("jsessionId"));

    // The console shows the bodies, never the password.
    EXPECT_TRUE(log.contains("the request body is "));
    EXPECT_TRUE(log.contains("\"password\":\"******\""));
    for (const auto& line : log.lines())
        EXPECT_EQ(line.find(digest), std::string::npos) << line;

    // Compressed and chunked answers decode to what the plain one did.
    std::vector<base::Value> answers;
    for (const char* framing : {"", "gzip", "chunked"}) {
        if (*framing) {
            ASSERT_TRUE(backend().setFault("261", framing, 1));
        }
        auto reader = std::make_shared<Requester>();
        auto command = std::make_shared<RecordingCommand>(
            "RequestRuntimeConfig", std::vector<std::pair<std::string, std::string>>{{"clientId", "AcmeCo"}});
        command->setReceiveDelegete(reader);
        NetworkModel::sharedInstance()->sendRequest(command);
        ASSERT_TRUE(runUntil([&] { return !reader->results.empty(); })) << framing;
        ASSERT_TRUE(command->parsed) << framing;
        answers.push_back(*command->parsed);
    }
    EXPECT_TRUE((*answers[0]["content"].asDictionary().find("appConfiguration")).isDictionary());
    EXPECT_EQ(answers[1], answers[0]);
    EXPECT_EQ(answers[2], answers[0]);
    auto framed = logged("261");
    ASSERT_EQ(framed.size(), 3u);
    EXPECT_EQ(framed[1]["answer"]["fault"].toString(), "gzip");
}

TEST_F(DispatcherTest, AnswersReachTheirOwnRequesters)
{
    auto model = NetworkModel::sharedInstance();
    // Two 265s: the first answered late, so the second comes back first.
    ASSERT_TRUE(backend().setFault("265", "delay", 1, R"("seconds": 0.5)"));
    auto first = std::make_shared<Requester>(), second = std::make_shared<Requester>();
    auto userInfo = [](const std::shared_ptr<Requester>& requester) {
        auto command = std::make_shared<TableCommand>(
            "RequestGetUserinfo",
            std::vector<std::pair<std::string, std::string>>{{"accountId", "alice"}, {"clientId", "AcmeCo"}});
        command->setReceiveDelegete(requester);
        return command;
    };
    int firstCode = model->sendRequest(userInfo(first));
    int secondCode = model->sendRequest(userInfo(second));
    EXPECT_NE(firstCode, secondCode);
    EXPECT_EQ(firstCode >> 16, kCmdGetUserinfo);
    EXPECT_EQ(model->pendingRequestCount(), 2u);
    ASSERT_TRUE(runUntil([&] { return first->results.size() + second->results.size() == 2; }));
    ASSERT_EQ(first->results.size(), 1u);
    ASSERT_EQ(second->results.size(), 1u);
    EXPECT_EQ(first->results[0]->requestCode, firstCode);
    EXPECT_EQ(second->results[0]->requestCode, secondCode);
    EXPECT_EQ(model->pendingRequestCount(), 0u);

    // Three names: three exchanges pending under one command, three answers with its id.
    auto files = std::make_shared<Requester>();
    auto command = download(files, {"ch1.jpg", "ch1_t.jpg", "tb1.jpg"}, 1, 1);
    EXPECT_EQ(model->sendRequest(command), command->downloadId());
    EXPECT_EQ(model->pendingRequestCount(), 3u);
    ASSERT_TRUE(runUntil([&] { return files->results.size() == 3; }));
    std::set<std::string> names;
    for (size_t i = 0; i < 3; ++i) {
        auto result = files->download(i);
        ASSERT_TRUE(result);
        EXPECT_EQ(result->status, "200");
        EXPECT_EQ(result->downloadId, command->downloadId());
        EXPECT_EQ(result->fileId, 501);
        EXPECT_EQ(result->type, 1);
        EXPECT_EQ(result->cmdCode, kCmdDownload);
        names.insert(result->fileName);
    }
    EXPECT_EQ(names, (std::set<std::string>{"ch1.jpg", "ch1_t.jpg", "tb1.jpg"}));
    EXPECT_EQ(model->pendingRequestCount(), 0u);

    // Without a list nothing is sent; a kind the dispatcher does not send gives -1.
    auto empty = std::make_shared<RequestDownload>();
    EXPECT_EQ(model->sendRequest(empty), empty->downloadId());
    auto upload = runtimeConfig(files);
    upload->setRequestType(kRequestTypeUpload);
    EXPECT_EQ(model->sendRequest(upload), -1);
    EXPECT_EQ(model->pendingRequestCount(), 0u);

    // After cancelling everything a late answer finds nobody.
    ASSERT_TRUE(backend().setFault("261", "delay", 1, R"("seconds": 0.3)"));
    auto late = std::make_shared<Requester>();
    model->sendRequest(runtimeConfig(late));
    model->cancelAllRequests();
    EXPECT_EQ(model->pendingRequestCount(), 0u);
    base::RunLoop::main().runUntil([] { return false; }, 1.0);
    EXPECT_TRUE(late->results.empty());
}

TEST_F(DispatcherTest, LockedStatusReachesTheApplicationAndTheRequester)
{
    ui::Application::shared().resetForTesting();
    auto app = std::make_shared<BrivantaAppDelegate>();
    ASSERT_TRUE(ui::Application::shared().launch(app));
    // The welcome screen's own version check is not what this test counts.
    NetworkModel::sharedInstance()->cancelAllRequests();
    // A first launch of a version puts the server settings back to their defaults.
    backend().writeServerSettings();

    ASSERT_TRUE(backend().setFault("262", "status", 1, R"("status": "114")"));
    auto requester = std::make_shared<Requester>();
    auto command = std::make_shared<TableCommand>(
        "RequestCheckDeviceStatus", std::vector<std::pair<std::string, std::string>>{
                                        {"accountId", "alice"}, {"deviceId", "DEV-1"}, {"clientId", "AcmeCo"}});
    command->setReceiveDelegete(requester);
    NetworkModel::sharedInstance()->sendRequest(command);
    ASSERT_TRUE(runUntil([&] { return !requester->results.empty(); }));
    EXPECT_EQ(app->deviceStatus(), "114");
    EXPECT_EQ(requester->results[0]->status, "114");
    EXPECT_EQ(requester->results[0]->message, Language::stringWithName("114"));
    EXPECT_EQ(NetworkModel::sharedInstance()->pendingRequestCount(), 0u);

    ui::AlertView::dismissAllForTesting();
    app.reset();
    ui::Application::shared().resetForTesting();
}

TEST_F(DispatcherTest, FailedCommandIsSentOnceMoreThreeSecondsLater)
{
    auto& loop = base::RunLoop::main();
    loop.setManualClock(true);
    auto transport = HttpNetworkCtrl::sharedInstance();

    // Dropped once: the second attempt, 3.0 s later, answers; the requester hears only it.
    ASSERT_TRUE(backend().setFault("261", "drop", 1));
    auto requester = std::make_shared<Requester>();
    double sent = loop.now();
    int code = NetworkModel::sharedInstance()->sendRequest(runtimeConfig(requester));
    ASSERT_TRUE(runUntil([&] { return !requester->results.empty(); }));
    ASSERT_EQ(requester->results.size(), 1u);
    EXPECT_EQ(requester->results[0]->status, "200");
    EXPECT_EQ(requester->results[0]->httpRsp, 0);
    EXPECT_EQ(requester->results[0]->requestCode, code);
    EXPECT_GE(requester->resultTimes[0] - sent, HttpNetworkCtrl::kResendDelay);
    EXPECT_EQ(logged("261").size(), 2u);

    // Dropped twice: one "999" with the connection failure.
    ASSERT_TRUE(backend().setFault("261", "drop", 2));
    auto failing = std::make_shared<Requester>();
    NetworkModel::sharedInstance()->sendRequest(runtimeConfig(failing));
    ASSERT_TRUE(runUntil([&] { return !failing->results.empty(); }));
    loop.runUntil([] { return false; }, 10);
    ASSERT_EQ(failing->results.size(), 1u);
    EXPECT_EQ(failing->results[0]->status, "999");
    EXPECT_EQ(failing->results[0]->httpRsp, 6);
    EXPECT_EQ(failing->results[0]->message, Language::stringWithName("999"));
    EXPECT_EQ(logged("261").size(), 4u);

    // Cancelled while the re-send waits: nothing goes out on the clock afterwards.
    ASSERT_TRUE(backend().setFault("261", "drop", 1));
    auto cancelled = std::make_shared<Requester>();
    NetworkModel::sharedInstance()->sendRequest(runtimeConfig(cancelled));
    ASSERT_TRUE(runUntil([&] { return transport->scheduledResendCount() == 1; }));
    NetworkModel::sharedInstance()->cancelAllRequests();
    EXPECT_EQ(transport->scheduledResendCount(), 0u);
    loop.runUntil([] { return false; }, 10);
    EXPECT_TRUE(cancelled->results.empty());
    EXPECT_EQ(logged("261").size(), 5u);
}

// The one case on the real clock: the 3.0 s wait, then the engine's time-out (15 s without a
// byte, with the engine's grace for a body the server may not have read yet).
TEST_F(DispatcherTest, TimedOutSecondAttemptReportsTheTimeOut)
{
    ASSERT_TRUE(backend().setFault("261", "drop", 1));
    ASSERT_TRUE(backend().setFault("261", "delay", 1, R"("seconds": 26)"));
    auto requester = std::make_shared<Requester>();
    double sent = base::RunLoop::main().now();
    NetworkModel::sharedInstance()->sendRequest(runtimeConfig(requester));
    ASSERT_TRUE(runUntil([&] { return !requester->results.empty(); }, 45));
    EXPECT_EQ(requester->results[0]->status, "999");
    EXPECT_EQ(requester->results[0]->httpRsp, 2);
    EXPECT_GE(requester->resultTimes[0] - sent, HttpNetworkCtrl::kResendDelay + MsgRequest::kTimeOutSeconds);
}

// An answer without end above the pace, to a sync table and to an upload, ends at its time bound
// as a time-out (on the real clock, the bounds shrunk); the same question is not asked again.
TEST_F(DispatcherTest, AnAnswerWithoutEndEndsAtItsTimeBoundAndIsNotAskedAgain)
{
    DownloadRequest::Limits limits;
    limits.tableSeconds = 4;
    limits.commandSeconds = 2;
    testsupport::ScopedDownloadLimits shrunk(limits);
    auto customers = [](const std::shared_ptr<Requester>& requester) {
        auto command = std::make_shared<TableCommand>(
            "RequestSyncCustomerTable", std::vector<std::pair<std::string, std::string>>{
                                            {"jsessionId", "S-1"}, {"accountId", "alice"}, {"clientId", "AcmeCo"},
                                            {"deviceId", "DEV-1"}, {"syncType", "customer"}, {"isFull", "true"}});
        command->setReceiveDelegete(requester);
        return command;
    };
    struct Case {
        const char* code;
        std::function<std::shared_ptr<TableCommand>(const std::shared_ptr<Requester>&)> make;
        double bound;
    };
    const Case cases[] = {
        {"516", customers, limits.tableSeconds},
        {"518", [](const std::shared_ptr<Requester>& r) { return upload("RequestUploadQuoteOrder", kOrderDocument, r); },
         limits.commandSeconds},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        ASSERT_TRUE(backend().setFault(c.code, "endless", 1, R"("bytesPerSecond": 1500)"));
        size_t before = logged(c.code).size();
        auto requester = std::make_shared<Requester>();
        double sent = base::RunLoop::main().now();
        NetworkModel::sharedInstance()->sendRequest(c.make(requester));
        ASSERT_TRUE(runUntil([&] { return !requester->results.empty(); }, 60)) << "the answer never ended";
        EXPECT_EQ(requester->results[0]->status, "999");
        EXPECT_EQ(requester->results[0]->httpRsp, 2);
        EXPECT_GE(requester->resultTimes[0] - sent, c.bound);
        EXPECT_LT(requester->resultTimes[0] - sent, c.bound + HttpNetworkCtrl::kResendDelay);
        // Past the moment a re-send would have gone out.
        base::RunLoop::main().runUntil([] { return false; }, HttpNetworkCtrl::kResendDelay + 1);
        EXPECT_EQ(requester->results.size(), 1u);
        EXPECT_EQ(logged(c.code).size(), before + 1);
    }
}

TEST_F(DispatcherTest, UploadsAreNeverSentTwice)
{
    auto& loop = base::RunLoop::main();
    loop.setManualClock(true);
    auto transport = HttpNetworkCtrl::sharedInstance();
    struct Case {
        const char* className;
        const char* code;
        const char* document;
    } cases[] = {{"RequestUploadQuoteOrder", "518", kOrderDocument.c_str()},
                 {"RequestUploadCustomer", "520", kCustomerDocument}};
    for (const auto& c : cases) {
        ASSERT_TRUE(backend().reset());
        m_logStart = backend().logLines().size();
        // Warm a kept connection, so a drop under the upload meets a reused one.
        auto warm = std::make_shared<Requester>();
        NetworkModel::sharedInstance()->sendRequest(runtimeConfig(warm));
        ASSERT_TRUE(runUntil([&] { return !warm->results.empty(); }));

        // The server read it and dropped the connection: it may have stored it, so "999" at once.
        ASSERT_TRUE(backend().setFault(c.code, "drop", 1));
        auto requester = std::make_shared<Requester>();
        double sent = loop.now();
        NetworkModel::sharedInstance()->sendRequest(upload(c.className, c.document, requester));
        ASSERT_TRUE(runUntil([&] { return !requester->results.empty(); })) << c.code;
        EXPECT_EQ(requester->results[0]->status, "999") << c.code;
        EXPECT_EQ(requester->results[0]->httpRsp, 6) << c.code;
        EXPECT_LT(requester->resultTimes[0] - sent, HttpNetworkCtrl::kResendDelay) << c.code;
        EXPECT_EQ(transport->scheduledResendCount(), 0u);
        loop.runUntil([] { return false; }, 10);
        EXPECT_EQ(logged(c.code).size(), 1u) << c.code;
        EXPECT_EQ(requester->results.size(), 1u);

        // Refused connections never reached the server: sent again once it listens, stored once.
        ASSERT_TRUE(backend().reset());
        m_logStart = backend().logLines().size();
        // Long enough that the upload below still meets it on a loaded machine.
        ASSERT_TRUE(backend().control(R"({"refuse": {"port": "commands", "seconds": 3}})"));
        auto refused = std::make_shared<Requester>();
        NetworkModel::sharedInstance()->sendRequest(upload(c.className, c.document, refused));
        ASSERT_TRUE(runUntil([&] { return transport->scheduledResendCount() == 1; })) << c.code;
        // The back end listens again before the clock reaches the re-send.
        ASSERT_TRUE(waitUntilListening());
        ASSERT_TRUE(runUntil([&] { return !refused->results.empty(); })) << c.code;
        EXPECT_EQ(refused->results[0]->status, "200") << c.code;
        EXPECT_EQ(refused->results[0]->httpRsp, 0) << c.code;
        EXPECT_EQ(logged(c.code).size(), 1u) << c.code;
        EXPECT_EQ(timesStored(c.code), 1) << backend().state();
    }
}

TEST_F(DispatcherTest, RequestCodesWrapSkippingThoseStillInUse)
{
    auto transport = HttpNetworkCtrl::sharedInstance();
    int previous = transport->getTagCode(0) & 0xffff;
    bool wrapped = false;
    for (int i = 0; i < 65534; ++i) {
        int low = transport->getTagCode(0) & 0xffff;
        ASSERT_GE(low, 1);
        ASSERT_LE(low, 65534);
        if (low != previous + 1) {
            EXPECT_EQ(previous, 65534);
            EXPECT_EQ(low, 1);
            wrapped = true;
        }
        previous = low;
    }
    EXPECT_TRUE(wrapped);
    EXPECT_EQ(HttpNetworkCtrl::getCmdcode(transport->getTagCode(kCmdDownload)), kCmdDownload);

    // A download still waiting keeps its code through a whole turn of the counter.
    ASSERT_TRUE(backend().setFault("ch1.jpg", "delay", 1, R"("seconds": 1)"));
    auto requester = std::make_shared<Requester>();
    NetworkModel::sharedInstance()->sendRequest(download(requester, {"ch1.jpg"}, 1, 1));
    std::vector<int> pending;
    for (int code = kCmdDownload << 16; code < ((kCmdDownload + 1) << 16); ++code) {
        if (transport->isCodeInUse(code))
            pending.push_back(code);
    }
    ASSERT_EQ(pending.size(), 1u);
    for (int i = 0; i < 65534; ++i)
        ASSERT_NE(transport->getTagCode(kCmdDownload), pending[0]);
    ASSERT_TRUE(runUntil([&] { return !requester->results.empty(); }));
    EXPECT_EQ(requester->results[0]->requestCode, pending[0]);
    EXPECT_FALSE(transport->isCodeInUse(pending[0]));
}

// With every code of a command awaiting its answer, no code is handed out twice: the requester
// hears of a failure at once, and others' exchanges keep their own answers.
TEST_F(DispatcherTest, WithEveryCodeInUseTheRequesterHearsAFailure)
{
    auto transport = HttpNetworkCtrl::sharedInstance();
    auto model = NetworkModel::sharedInstance();
    struct Case {
        const char* name;
        int cmdCode;
        std::function<std::shared_ptr<RequestInterfaceBase>(const std::shared_ptr<Requester>&)> make;
    };
    const std::vector<Case> cases = {
        {"a command", kCmdRuntimeConfig, [](const auto& requester) { return runtimeConfig(requester); }},
        {"a file", kCmdDownload,
         [](const auto& requester) { return download(requester, {"ch1.jpg", "tb1.jpg"}, 1, kProgressTypeBatch); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // One exchange of another command still waits for its answer meanwhile.
        ASSERT_TRUE(backend().setFault("262", "delay", 1, R"("seconds": 0.5)"));
        auto other = std::make_shared<Requester>();
        auto check = std::make_shared<TableCommand>(
            "RequestCheckDeviceStatus",
            std::vector<std::pair<std::string, std::string>>{{"accountId", "alice"}, {"deviceId", "d"}, {"clientId", "AcmeCo"}});
        check->setReceiveDelegete(other);
        int otherCode = model->sendRequest(check);
        ASSERT_GT(otherCode, 0);

        std::set<int> held;
        for (int i = 0; i < 65534; ++i)
            held.insert(transport->takeCode(c.cmdCode));
        ASSERT_EQ(held.size(), 65534u);
        ASSERT_EQ(held.count(0), 0u);
        EXPECT_EQ(transport->takeCode(c.cmdCode), 0);
        EXPECT_EQ(transport->getTagCode(c.cmdCode), 0);

        auto requester = std::make_shared<Requester>();
        size_t expected = c.cmdCode == kCmdDownload ? 2 : 1;
        size_t logBefore = backend().logLines().size();
        model->sendRequest(c.make(requester));
        ASSERT_TRUE(runUntil([&] { return requester->results.size() >= expected && !other->results.empty(); }));
        EXPECT_EQ(requester->results.size(), expected);
        for (const auto& result : requester->results) {
            EXPECT_EQ(result->status, "999");
            EXPECT_EQ(result->cmdCode, c.cmdCode);
            EXPECT_EQ(result->requestCode, 0);
        }
        EXPECT_EQ(other->results.at(0)->requestCode, otherCode);
        EXPECT_EQ(other->results.at(0)->httpRsp, 0);
        // Nothing of it reached the server.
        for (const auto& line : backend().logLines(logBefore))
            EXPECT_EQ(line.find("ch1.jpg"), std::string::npos);
        EXPECT_EQ(model->pendingRequestCount(), 0u);
        transport->CancelAllRequests();
        EXPECT_NE(transport->takeCode(c.cmdCode), 0);
        transport->CancelAllRequests();
    }
}

} // namespace
} // namespace protocoltest
