#pragma once
// The protocol layer against the loopback back end: one back end per suite, reset for every
// test, a fresh home logged in as the fixture's client, and requesters that record what
// they hear.
#include "Network/BRJSON.h"
#include "Platform/Base/Date.h"
#include "Platform/Base/DateFormatter.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/RunLoop.h"
#include "Protocol/DownLoadRequestInfo.h"
#include "Protocol/DownloadRst.h"
#include "Protocol/HttpNetworkCtrl.h"
#include "Protocol/LoginMode.h"
#include "Protocol/NetworkModel.h"
#include "Protocol/RequestBody.h"
#include "Protocol/RequestDownload.h"
#include "Protocol/RequestInterfaceBase.h"
#include "tests/App/AppTestSupport.h"
#include "tests/Support/TestBackend.h"
#include "tests/Support/WhileMoving.h"

#include <csignal>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace protocoltest {

// A message command of the table with the parameters the test gives.
class TableCommand : public RequestInterfaceBase {
public:
    TableCommand(const char* className, std::vector<std::pair<std::string, std::string>> parameters)
        : m_parameters(std::move(parameters))
    {
        setCommand(*findServerCommand(className));
    }
    std::optional<std::string> RequestEncode() override
    {
        RequestBody body(requestHead());
        body.addElemValueForKey(methodName(), std::string("methodName"));
        for (const auto& [key, value] : m_parameters)
            body.addElemValueForKey(value, key);
        return body.requestStr();
    }

private:
    std::vector<std::pair<std::string, std::string>> m_parameters;
};

// Hears results, per-file fractions and batch progress, with the loop time of each.
class Requester : public NetworkRecDelegate, public DownloadProgressDelegate {
public:
    struct Percent {
        std::string fileName;
        int downloadId;
        float fraction;
        double at;
    };
    std::vector<std::shared_ptr<NetBaseRst>> results;
    std::vector<double> resultTimes;
    std::vector<Percent> percents;
    std::vector<float> batchProgress;

    int ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>& result) override
    {
        results.push_back(result);
        resultTimes.push_back(base::RunLoop::main().now());
        return 0;
    }
    void ReciveDownloadPercent(const DownLoadRequestInfo& info) override
    {
        percents.push_back({info.fileName(), info.downloadId(), info.downloadPercent(), base::RunLoop::main().now()});
    }
    void setProgress(float value) override { batchProgress.push_back(value); }

    std::shared_ptr<DownloadRst> download(size_t i) const { return std::dynamic_pointer_cast<DownloadRst>(results.at(i)); }
};

class ProtocolTest : public apptest::AppServiceTest {
protected:
    static void SetUpTestSuite()
    {
        std::signal(SIGPIPE, SIG_IGN);
        std::string error;
        s_backend = testsupport::TestBackend::start("S", &error).release();
        ASSERT_NE(s_backend, nullptr) << error;
    }
    static void TearDownTestSuite()
    {
        delete s_backend;
        s_backend = nullptr;
    }

    void SetUp() override
    {
        ASSERT_NE(s_backend, nullptr);
        ASSERT_TRUE(s_backend->reset());
        s_backend->writeServerSettings();
        LoginMode::freeInstance();
        LoginMode::sharedInstance()->setClientID("AcmeCo");
        LoginMode::sharedInstance()->setAcountID("alice");
        m_logStart = s_backend->logLines().size();
        m_servedLines = m_logStart;
    }
    void TearDown() override
    {
        NetworkModel::sharedInstance()->cancelAllRequests();
        // Cancelled requests report on the next turns; nothing may reach the next test.
        base::RunLoop::main().runUntil([] { return false; }, 0.2);
        base::RunLoop::main().setManualClock(false);
        LoginMode::freeInstance();
    }

    static testsupport::TestBackend& backend() { return *s_backend; }

    // The back end's log records of this test, parsed, of the given command ("" every one).
    std::vector<base::Value> logged(const std::string& command = {}) const
    {
        std::vector<base::Value> out;
        auto lines = s_backend->logLines(m_logStart);
        for (const auto& line : lines) {
            auto record = JSONValue(line);
            if (!record)
                continue;
            if (command.empty() || (*record)["command"].toString() == command)
                out.push_back(*record);
        }
        return out;
    }

    static bool runUntil(const std::function<bool()>& predicate, double timeout = 30)
    {
        return base::RunLoop::main().runUntil(predicate, timeout);
    }

    // The requests and files the back end has served so far, the test's own control requests
    // (each read of the log among them) left out; reads only the log's new lines.
    size_t servedCount()
    {
        auto lines = s_backend->logLines(m_servedLines);
        m_servedLines += lines.size();
        for (const auto& line : lines)
            if (auto record = JSONValue(line); record && !(*record)["command"].toString().starts_with("__"))
                ++m_served;
        return m_served;
    }

    // Runs the main loop until `done`, for as long as the back end serves requests or files or
    // `moving` (another sign of progress, such as reports heard) changes; fails saying `what`
    // once both have stood still for `stillFor` seconds.
    ::testing::AssertionResult runWhileServed(const std::string& what, const std::function<bool()>& done,
                                              const std::function<size_t()>& moving = {},
                                              double stillFor = testsupport::kStandingStill)
    {
        return testsupport::runWhileMoving(
            what, done, [&] { return std::make_pair(servedCount(), moving ? moving() : 0); }, stillFor);
    }

    static std::shared_ptr<TableCommand> runtimeConfig(const std::shared_ptr<Requester>& requester)
    {
        auto command = std::make_shared<TableCommand>(
            "RequestRuntimeConfig", std::vector<std::pair<std::string, std::string>>{{"clientId", "AcmeCo"}});
        command->setReceiveDelegete(requester);
        return command;
    }

    static std::shared_ptr<RequestDownload> download(const std::shared_ptr<Requester>& requester,
                                                     std::vector<std::string> names, int type, int progressType)
    {
        auto command = std::make_shared<RequestDownload>();
        command->setFileNameList(std::move(names));
        command->setImgType(type);
        command->setProgressType(progressType);
        command->setFileId(501);
        command->setReceiveDelegete(requester);
        return command;
    }

    size_t m_logStart = 0;
    size_t m_servedLines = 0;
    size_t m_served = 0;
    static inline testsupport::TestBackend* s_backend = nullptr;
};

// The same answer with every number sent as its decimal text, as some servers write them.
inline base::Value numbersAsTexts(const base::Value& value)
{
    if (value.isNumber())
        return base::Value(value.toString());
    if (value.isArray()) {
        base::Array out;
        for (const base::Value& element : value.asArray())
            out.push_back(numbersAsTexts(element));
        return base::Value(std::move(out));
    }
    if (value.isDictionary()) {
        base::Dictionary out;
        for (const auto& [key, element] : value.asDictionary())
            out.set(key, numbersAsTexts(element));
        return base::Value(std::move(out));
    }
    return value;
}

// A local date and time written as the order screens show it, "MM/dd/yyyy HH:mm:ss".
inline base::Date localTime(const std::string& text)
{
    return *base::DateFormatter("MM/dd/yyyy HH:mm:ss").dateFromString(text);
}

} // namespace protocoltest
