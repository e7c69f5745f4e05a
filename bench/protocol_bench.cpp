// The protocol layer's own cost, against the loopback back end: sequential runtime-configuration
// commands through the dispatcher against the same POSTs through the bare engine, and small
// files through the batch download queue against xargs -P3 curl on the same list. Default sizes
// keep a run to seconds; BRIVANTA_BENCH_FULL=1 uses 1,000 commands' worth of timing and 2,000
// files. BRIVANTA_BENCH_SMOKE=1: five files, and the answer limits of one table command and one
// other.
#include "Network/BRHTTPRequest.h"
#include "Platform/Base/FileManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/Paths.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/UserDefaults.h"
#include "Protocol/LoginMode.h"
#include "Protocol/MsgRequest.h"
#include "Protocol/NetworkModel.h"
#include "Protocol/RequestBody.h"
#include "Protocol/DownloadProgressDelegate.h"
#include "Protocol/RequestDownload.h"
#include "Protocol/RequestInfoBase.h"
#include "Protocol/ServerCommands.h"
#include "tests/Support/LoopbackServer.h"
#include "tests/Support/TestBackend.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const bool kFull = std::getenv("BRIVANTA_BENCH_FULL") != nullptr;
const bool kSmoke = !kFull && benchsupport::smokeRun();
const int kFiles = kFull ? 2000 : kSmoke ? 5 : 100;

testsupport::TestBackend* backend = nullptr;
std::string home;

class RuntimeConfig : public RequestInterfaceBase {
public:
    RuntimeConfig() { setCommand(*findServerCommand("RequestRuntimeConfig")); }
    std::optional<std::string> RequestEncode() override
    {
        RequestBody body(requestHead());
        body.addElemValueForKey(methodName(), std::string("methodName"));
        body.addElemValueForKey(std::string("AcmeCo"), std::string("clientId"));
        return body.requestStr();
    }
};

class Counter : public NetworkRecDelegate, public DownloadProgressDelegate {
public:
    int answers = 0;
    int failures = 0;
    int ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>& result) override
    {
        ++answers;
        if (result->status != "200")
            ++failures;
        return 0;
    }
};

// The product thumbnails of the generated fixture, one name per file.
std::vector<std::string> thumbnailNames(int count)
{
    std::vector<std::string> names;
    for (int pid = 1000; int(names.size()) < count; ++pid)
        for (int view = 0; view < 2 && int(names.size()) < count; ++view) {
            char name[32];
            std::snprintf(name, sizeof name, "g%05d_%d_t.jpg", pid, view);
            names.push_back(name);
        }
    return names;
}

std::string fileURL(const std::string& name)
{
    return "http://127.0.0.1:" + std::to_string(backend->filePort()) + "/" + testsupport::TestBackend::kImagePath +
        "/images/AcmeCo/product/" + name;
}

void BM_CommandThroughDispatcher(benchmark::State& state)
{
    auto counter = std::make_shared<Counter>();
    auto model = NetworkModel::sharedInstance();
    for (auto _ : state) {
        auto command = std::make_shared<RuntimeConfig>();
        command->setReceiveDelegete(counter);
        int before = counter->answers;
        model->sendRequest(command);
        base::RunLoop::main().runUntil([&] { return counter->answers > before; }, 30);
    }
    if (counter->failures)
        state.SkipWithError("a command failed");
    state.SetItemsProcessed(state.iterations());
}

void BM_CommandThroughBareEngine(benchmark::State& state)
{
    std::string body = *RuntimeConfig().RequestEncode();
    auto url = net::URL::parse("http://127.0.0.1:" + std::to_string(backend->commandPort()) + "/" +
                               testsupport::TestBackend::kPath + "/Component?");
    int failures = 0;
    for (auto _ : state) {
        auto request = BRHTTPRequest::requestWithURL(url);
        request->setRequestMethod("POST");
        request->setTimeOutSeconds(MsgRequest::kTimeOutSeconds);
        request->setRequestHeaders({{"Content-Type", MsgRequest::kContentType}});
        request->setPostBody(base::Bytes(body.begin(), body.end()));
        bool done = false;
        request->setCompletionBlock([&] { done = true; });
        request->setFailedBlock([&] {
            done = true;
            ++failures;
        });
        request->startAsynchronous();
        base::RunLoop::main().runUntil([&] { return done; }, 30);
        benchmark::DoNotOptimize(request->responseData());
    }
    if (failures)
        state.SkipWithError("a request failed");
    state.SetItemsProcessed(state.iterations());
}

void BM_FilesThroughBatchQueue(benchmark::State& state)
{
    auto names = thumbnailNames(kFiles);
    auto counter = std::make_shared<Counter>();
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(base::Paths::documents() + "/acmeco/ProductImages");
        counter->answers = counter->failures = 0;
        state.ResumeTiming();
        auto command = std::make_shared<RequestDownload>();
        command->setFileNameList(names);
        command->setImgType(1);
        command->setProgressType(kProgressTypeBatch);
        command->setReceiveDelegete(counter);
        NetworkModel::sharedInstance()->sendRequest(command);
        base::RunLoop::main().runUntil([&] { return counter->answers == int(names.size()); }, 600);
    }
    if (counter->failures || counter->answers != int(names.size()))
        state.SkipWithError("a file failed");
    state.SetItemsProcessed(state.iterations() * int64_t(names.size()));
}

void BM_FilesThroughCurl(benchmark::State& state)
{
    std::string list = home + "/urls.txt";
    {
        std::ofstream out(list);
        for (const auto& name : thumbnailNames(kFiles))
            out << fileURL(name) << "\n";
    }
    for (auto _ : state) {
        long rss = benchsupport::runProgram(
            {"sh", "-c", "xargs -P3 -n1 curl -sf -X POST -o /dev/null < '" + list + "'"});
        if (rss < 0)
            state.SkipWithError("curl failed");
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}


// The in-memory answer limit each command gets: a 96 MiB answer, larger than the engine's
// default but well inside a catalogue's, reaches a sync table command whole and fails for any
// other command with "answer larger than".
void BM_CommandAnswerLimits(benchmark::State& state)
{
    constexpr uint64_t kAnswer = uint64_t(96) << 20;
    testsupport::LoopbackServer server([](const testsupport::Request&) {
        testsupport::Reply r;
        r.framing = testsupport::Reply::Framing::Close;
        r.fillerBytes = kAnswer;
        return r;
    });
    struct Row {
        int cmdCode;
        bool whole = false;
        uint64_t limit = 0;
        std::string error;
    };
    std::vector<Row> rows;
    // Each answer read is 96 MiB: a smoke run takes one command of each kind.
    std::vector<int> cmdCodes = {kCmdSyncAllTable, kCmdSyncFileTable, kCmdSyncCustomerTable, kCmdRuntimeConfig,
                                 kCmdUploadQuoteOrder};
    if (kSmoke)
        cmdCodes = {kCmdSyncAllTable, kCmdRuntimeConfig};
    for (int cmdCode : cmdCodes)
        rows.push_back({cmdCode, false, 0, {}});
    for (auto _ : state) {
        for (auto& row : rows) {
            auto request = MsgRequest::requestWithURL(net::URL::parse(server.url("/answer")));
            RequestInfoBase info;
            info.setCmdCode(row.cmdCode);
            request->setReqInfo(info);
            bool done = false;
            request->setCompletionBlock([&] { done = true; });
            request->setFailedBlock([&] { done = true; });
            request->startAsynchronous();
            base::RunLoop::main().runUntil([&] { return done; }, 120);
            auto data = request->responseData();
            row.whole = !request->error() && data && data->size() == kAnswer;
            row.limit = request->maximumInMemoryResponseSize();
            row.error = request->error() ? request->error()->description : "";
        }
    }
    bool right = true;
    for (const auto& row : rows) {
        bool table = row.cmdCode == kCmdSyncAllTable || row.cmdCode == kCmdSyncFileTable ||
                     row.cmdCode == kCmdSyncCustomerTable;
        std::printf("command %d: limit %llu MiB, 96 MiB answer %s%s\n", row.cmdCode,
                    static_cast<unsigned long long>(row.limit >> 20), row.whole ? "taken whole" : "refused: ",
                    row.error.c_str());
        right = right && row.whole == table && row.limit >= (table ? (uint64_t(256) << 20) : 0);
    }
    if (!right)
        state.SkipWithError("a command's answer limit is wrong");
}

BENCHMARK(BM_CommandThroughDispatcher)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_CommandThroughBareEngine)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_FilesThroughBatchQueue)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kFull ? 3 : 1);
BENCHMARK(BM_FilesThroughCurl)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(kFull ? 3 : 1);
BENCHMARK(BM_CommandAnswerLimits)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    std::string pattern = (fs::temp_directory_path() / "brprotocol-bench-XXXXXX").string();
    home = ::mkdtemp(pattern.data());
    ::setenv("BRIVANTA_HOME", home.c_str(), 1);
    // The console log of every command would measure the terminal.
    base::setLogCapture([](const std::string&) {});
    std::string error;
    auto started = testsupport::TestBackend::start("M", &error);
    if (!started) {
        std::fprintf(stderr, "protocol_bench: no back end: %s\n", error.c_str());
        return 1;
    }
    backend = started.get();
    backend->writeServerSettings();
    LoginMode::sharedInstance()->setClientID("AcmeCo");
    // The back end makes each picture on its first request: made before anything is timed.
    for (const auto& name : thumbnailNames(kFiles))
        testsupport::httpExchange(backend->filePort(), "GET",
                                  fileURL(name).substr(fileURL(name).find('/', 7)));

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    NetworkModel::sharedInstance()->cancelAllRequests();
    backend->stop();
    started.reset();
    fs::remove_all(home);
    return 0;
}
