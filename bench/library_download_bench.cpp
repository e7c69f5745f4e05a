// Download-all from the library grid against the loopback back end (fixture M: 300 small
// documents of every type), beside one curl run fetching the same addresses three at a time,
// as the download queue runs them. Reports the wall time of each, its processor time ("cpu_ms":
// this process's threads, or curl), and the main thread's time in the grid's progress updates
// and refreshes (landed files refresh the grid by time, not per reply). The server's notices
// of the fetched files go out once the batch is over; the next run waits for them untimed, so
// they never share the server with it. Medians with --benchmark_repetitions=N, the runs of both
// sides alternated; BRIVANTA_BENCH_FILES takes fewer files.
#include "BenchSupport.h"
#include "SyncBenchHome.h"

#include "Classes/Library/LibraryDetailController.h"
#include "Classes/Library/SaleslibraryModel.h"
#include "Common/ConfigManager.h"
#include "Database/DataAccessManager.h"
#include "Network/BRJSON.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/UserDefaults.h"
#include "Protocol/LoginMode.h"
#include "Protocol/NetBaseRst.h"
#include "Protocol/NetworkModel.h"
#include "Protocol/RequestLogin.h"
#include "Protocol/ServerCommands.h"
#include "tests/Support/TestBackend.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace {

namespace fs = std::filesystem;

using benchsupport::wallNow;

struct Document {
    brivanta_library_files_Entity record;
    std::string address;
};

std::string folderOf(const std::string& type)
{
    if (type == "VEDIO")
        return "vedio";
    if (type == "EXCEL")
        return "excel";
    if (type == "WORD")
        return "word";
    if (type == "KEYNOTE")
        return "keynote";
    return "pdf";
}

// The back end, a logged-in home and the library rows, shared by both benchmarks.
struct Setup {
    std::unique_ptr<testsupport::TestBackend> backend;
    fs::path home;
    std::vector<Document> documents;
    std::string error;

    Setup()
    {
        std::signal(SIGPIPE, SIG_IGN);
        setenv("BRIVANTA_BUNDLE", BRIVANTA_BUNDLE_DIR, 0);
        backend = testsupport::TestBackend::start("M", &error);
        if (!backend)
            return;
        char pattern[] = "/tmp/brivanta-download-bench-XXXXXX";
        home = ::mkdtemp(pattern);
        benchsupport::signIn(*backend, home.string());
        auto login = LoginMode::sharedInstance();
        login->setLoginType(1);
        login->setIsNotWifi(false);
        auto data = DataAccessManager::sharedDataModel();
        if (!data || !data->hasModels()) {
            error = "no database";
            return;
        }
        readDocuments();
    }
    ~Setup()
    {
        SaleslibraryModel::freeInstance();
        DataAccessManager::releaseDataModel();
        std::error_code ignored;
        fs::remove_all(home, ignored);
    }

    // The library table as the back end's file sync answers it.
    void readDocuments()
    {
        const std::string body = R"({"root":{"parameters":{"methodName":"syncData","accountId":"alice",)"
                                 R"("clientId":"AcmeCo","deviceId":"bench","syncType":"file","isFull":"true"}}})";
        std::string target = "/";
        target.append(testsupport::TestBackend::kPath).append("/SyncServer;");
        auto answer = testsupport::httpExchange(backend->commandPort(), "POST", target, body);
        auto json = answer ? JSONValue(answer->body) : std::nullopt;
        if (!json) {
            error = "no file sync answer";
            return;
        }
        const auto& content = (*json)["content"];
        if (!content.isArray() || content.asArray().empty() || !content.asArray()[0].isArray()) {
            error = "no library table in the file sync answer";
            return;
        }
        const auto& rows = content.asArray()[0];
        size_t wanted = rows.asArray().size();
        if (const char* limit = std::getenv("BRIVANTA_BENCH_FILES"))
            wanted = std::min(wanted, static_cast<size_t>(std::atoi(limit)));
        std::vector<brivanta_library_files_Entity> records;
        for (size_t i = 0; i < wanted; ++i) {
            const auto& row = rows.asArray()[i];
            Document doc;
            doc.record.file_id = static_cast<int>(row["id"].toInt());
            doc.record.title = row["title"].toString();
            doc.record.file_name = row["fileName"].toString();
            doc.record.type = row["type"].toString();
            doc.record.category = static_cast<int>(row["category"].toInt());
            doc.record.info = row["info"].toString();
            doc.record.date = row["date"].toString();
            doc.record.published = 1;
            doc.record.ordering = static_cast<int>(i);
            doc.address = "http://127.0.0.1:" + std::to_string(backend->filePort()) + "/" +
                          testsupport::TestBackend::kImagePath + "/images/AcmeCo/library/" +
                          folderOf(*doc.record.type) + "/" + *doc.record.file_name;
            records.push_back(doc.record);
            documents.push_back(std::move(doc));
        }
        if (documents.empty() || !DataAccessManager::sharedDataModel()->saveToDatabaseLibraryFiles(records))
            error = "no documents saved";
    }

    void forgetDownloads() const
    {
        SaleslibraryModel::freeInstance();
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(home / "Documents" / "acmeco", ignored))
            if (entry.is_directory() && entry.path().filename() != "LibraryImages" && entry.path().filename() != "ProductImages")
                fs::remove_all(entry.path(), ignored);
    }
};

Setup& setup()
{
    static Setup s;
    return s;
}

// The grid, timing its handling of each report and each refresh after downloads land.
class TimedGrid : public LibraryDetailController {
public:
    int ReciveHttpRespondInfo(const std::shared_ptr<NetBaseRst>& result) override
    {
        double start = wallNow();
        int answer = LibraryDetailController::ReciveHttpRespondInfo(result);
        if (result && result->cmdCode == kCmdDownload) {
            replySeconds += wallNow() - start;
            ++replies;
        }
        return answer;
    }
    void ReciveDownloadPercent(const DownLoadRequestInfo& info) override
    {
        double start = wallNow();
        LibraryDetailController::ReciveDownloadPercent(info);
        progressSeconds += wallNow() - start;
        ++progressReports;
    }
    void downloadFinished() override
    {
        double start = wallNow();
        LibraryDetailController::downloadFinished();
        replySeconds += wallNow() - start;
        ++refreshes;
    }
    void reset()
    {
        replySeconds = progressSeconds = 0;
        replies = progressReports = refreshes = 0;
    }
    double replySeconds = 0, progressSeconds = 0;
    long replies = 0, progressReports = 0, refreshes = 0;
};

void BM_GridDownloadAll(benchmark::State& state)
{
    auto& s = setup();
    if (!s.error.empty()) {
        state.SkipWithError(s.error.c_str());
        return;
    }
    const size_t count = s.documents.size();
    for (auto _ : state) {
        s.forgetDownloads();
        auto grid = std::make_shared<TimedGrid>();
        grid->view();
        auto model = SaleslibraryModel::sharedInstance();
        // Not counted: the tile pass and main-loop reports of the grid's first load.
        base::RunLoop::main().runUntil([] { return false; }, 0.05);
        grid->reset();

        double start = wallNow();
        double cpuStart = benchsupport::selfCpuMs();
        grid->downloadAllFiles();
        bool done = base::RunLoop::main().runUntil(
            [&] { return model->downloadFileNameArray().empty() && model->existsFiles().size() >= count; }, 600);
        double wall = wallNow() - start;
        double cpu = benchsupport::selfCpuMs() - cpuStart;
        state.SetIterationTime(wall);
        if (!done || model->existsFiles().size() != count) {
            state.SkipWithError("the downloads did not all land");
            break;
        }
        // The last refresh may still be queued; the notices are answered before the next run.
        base::RunLoop::main().runUntil([] { return false; }, 0.05);
        if (!base::RunLoop::main().runUntil([] { return NetworkModel::sharedInstance()->pendingRequestCount() == 0; }, 120)) {
            state.SkipWithError("the notices were not all answered");
            break;
        }
        state.counters["files"] = double(count);
        state.counters["cpu_ms"] = cpu;
        state.counters["reply_handling_ms_per_reply"] = grid->replies ? grid->replySeconds * 1000 / double(grid->replies) : 0;
        state.counters["grid_refreshes"] = double(grid->refreshes);
        state.counters["progress_handling_ms_per_report"] =
            grid->progressReports ? grid->progressSeconds * 1000 / double(grid->progressReports) : 0;
        state.counters["progress_reports"] = double(grid->progressReports);
        state.counters["main_thread_handling_ms"] = (grid->replySeconds + grid->progressSeconds) * 1000;
    }
}
BENCHMARK(BM_GridDownloadAll)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// One curl run over the same addresses, three transfers at a time.
void BM_CurlSameFiles(benchmark::State& state)
{
    auto& s = setup();
    if (!s.error.empty()) {
        state.SkipWithError(s.error.c_str());
        return;
    }
    std::vector<std::pair<std::string, std::string>> fetches;
    for (const auto& doc : s.documents)
        fetches.emplace_back(doc.address, *doc.record.file_name);
    benchsupport::curlFetchBench(state, s.home, fetches);
}
BENCHMARK(BM_CurlSameFiles)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    return benchsupport::runWithPairRatios(argc, argv, {{"download-all", "BM_GridDownloadAll", "BM_CurlSameFiles"}});
}
