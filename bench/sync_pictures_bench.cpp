// The product picture phase of a sync against the loopback back end (fixture M, 20,000
// pictures, with BRIVANTA_BENCH_FULL=1; fixture S otherwise), beside one curl process fetching
// the same addresses from a config file, three at a time as the download queue runs them.
// Each of our runs is a whole sync in a fresh home of which only the picture phase is timed:
// from the turn its files reach the download queue to its last answer. A first, untimed sync has the back end draw every picture
// once, so that both sides are served from its store. "cpu_ms" is the processor time of the
// phase (this process's threads) or of curl. Medians with --benchmark_repetitions=N; the runs
// of both sides alternate. The same phase also runs against a second back end that answers
// with Nagle's algorithm on (its head and body in two writes), beside the first.
#include "BenchSupport.h"
#include "SyncBenchHome.h"

#include "Common/ConfigManager.h"
#include "Common/PublicFunction.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Timer.h"
#include "Platform/Base/UserDefaults.h"
#include "Protocol/HttpNetworkCtrl.h"
#include "Protocol/LoginMode.h"
#include "Protocol/NetworkModel.h"
#include "Protocol/RequestLogin.h"
#include "Protocol/SyncModel.h"
#include "tests/Support/TestBackend.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

namespace {

namespace fs = std::filesystem;

constexpr int kProductImages = 1;

using benchsupport::wallNow;

// The sync screen, noting when the product picture phase answered first and last.
class Screen : public benchsupport::SyncEndWatch {
public:
    double phaseStart = 0;
    double phaseEnd = 0;
    double cpuStart = 0, cpuEnd = 0;
    // Looked at every millisecond of the main loop until the phase's files are queued.
    void watchForTheQueue()
    {
        m_watch = base::Timer::scheduled(0.001, true, [this](base::Timer& timer) {
            if (HttpNetworkCtrl::sharedInstance()->batchQueue()->requestsCount() == 0)
                return;
            phaseStart = wallNow();
            cpuStart = benchsupport::selfCpuMs();
            timer.invalidate();
        });
    }
    ~Screen() override
    {
        if (m_watch)
            m_watch->invalidate();
    }
    void setProgressImageTypeRemainTime(float progress, int imageType, int) override
    {
        if (imageType != kProductImages)
            return;
        if (progress >= 1.0f && phaseEnd == 0) {
            phaseEnd = wallNow();
            cpuEnd = benchsupport::selfCpuMs();
        }
    }

private:
    std::shared_ptr<base::Timer> m_watch;
};

struct SyncRun {
    std::string error;
    double phaseSeconds = 0;
    double cpuMs = 0;
    size_t pictures = 0;
};

// One whole sync in a fresh home; the home stays for the caller to read and remove.
SyncRun syncInto(testsupport::TestBackend& backend, const fs::path& home)
{
    SyncRun run;
    benchsupport::signInForSync(backend, home.string());
    auto screen = std::make_shared<Screen>();
    SyncModel::sharedInstance()->setDelegate(screen);
    screen->watchForTheQueue();
    SyncModel::sharedInstance()->startSync();
    base::RunLoop::main().runUntil([&] { return screen->ended; }, 1200);
    if (!screen->ended)
        run.error = "the sync did not end";
    else if (!screen->broke.empty())
        run.error = screen->broke;
    else if (screen->phaseStart == 0 || screen->phaseEnd == 0)
        run.error = "no picture phase";
    run.phaseSeconds = screen->phaseEnd - screen->phaseStart;
    run.cpuMs = screen->cpuEnd - screen->cpuStart;
    std::error_code ignored;
    for (const auto& entry : fs::directory_iterator(home / "Documents" / "acmeco" / "ProductImages", ignored))
        run.pictures += entry.is_regular_file();
    return run;
}

void release()
{
    SyncModel::freeInstance();
    DataAccessManager::releaseDataModel();
    ConfigManager::freeInstance();
    NetworkModel::sharedInstance()->cancelAllRequests();
}

fs::path freshHome()
{
    char pattern[] = "/tmp/brivanta-pictures-bench-XXXXXX";
    return ::mkdtemp(pattern);
}

// The back end with its pictures drawn, and the addresses of the phase's pictures.
struct Setup {
    std::unique_ptr<testsupport::TestBackend> backend;
    fs::path work;
    std::vector<std::string> addresses;
    std::vector<std::string> names;
    std::string error;

    Setup()
    {
        std::signal(SIGPIPE, SIG_IGN);
        setenv("BRIVANTA_BUNDLE", BRIVANTA_BUNDLE_DIR, 0);
        backend = testsupport::TestBackend::start(std::getenv("BRIVANTA_BENCH_FULL") ? "M" : "S", &error);
        if (!backend)
            return;
        work = freshHome();
        fs::path home = work / "first";
        fs::create_directories(home);
        SyncRun first = syncInto(*backend, home);
        if (!first.error.empty()) {
            error = "first sync: " + first.error;
            return;
        }
        // The names the phase fetched, as the synced rows give them.
        std::set<std::string> seen;
        for (const auto& image : DataAccessManager::sharedDataModel()->getPublishImages(true))
            for (const auto& name : {image.imageFull, image.imageThumb})
                if (name && !name->empty() && seen.insert(*name).second) {
                    names.push_back(*name);
                    addresses.push_back(PublicFunction::fileURLWithNameFiletype(*name, kProductImages).value_or(""));
                }
        release();
        fs::remove_all(home);
        if (names.empty())
            error = "no pictures listed";
    }
    ~Setup()
    {
        std::error_code ignored;
        fs::remove_all(work, ignored);
    }
};

Setup& setup()
{
    static Setup s;
    return s;
}

void BM_SyncPicturePhase(benchmark::State& state)
{
    auto& s = setup();
    if (!s.error.empty()) {
        state.SkipWithError(s.error.c_str());
        return;
    }
    for (auto _ : state) {
        fs::path home = freshHome();
        SyncRun run = syncInto(*s.backend, home);
        release();
        std::error_code ignored;
        fs::remove_all(home, ignored);
        if (!run.error.empty()) {
            state.SkipWithError(run.error.c_str());
            break;
        }
        state.SetIterationTime(run.phaseSeconds);
        state.counters["files"] = double(run.pictures);
        state.counters["cpu_ms"] = run.cpuMs;
        state.counters["files_per_s"] = run.phaseSeconds > 0 ? double(run.pictures) / run.phaseSeconds : 0;
    }
}
BENCHMARK(BM_SyncPicturePhase)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// One curl process over the same addresses, three transfers at a time.
void BM_CurlSamePictures(benchmark::State& state)
{
    auto& s = setup();
    if (!s.error.empty()) {
        state.SkipWithError(s.error.c_str());
        return;
    }
    std::vector<std::pair<std::string, std::string>> fetches;
    for (size_t i = 0; i < s.addresses.size(); ++i)
        fetches.emplace_back(s.addresses[i], s.names[i]);
    benchsupport::curlFetchBench(state, s.work, fetches);
}
BENCHMARK(BM_CurlSamePictures)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

// A back end of the same fixture that answers with Nagle's algorithm on, its pictures drawn by
// a first, untimed sync.
struct NagleSetup {
    std::unique_ptr<testsupport::TestBackend> backend;
    std::string error;

    NagleSetup()
    {
        if (!setup().error.empty()) {
            error = setup().error;
            return;
        }
        backend = testsupport::TestBackend::start(std::getenv("BRIVANTA_BENCH_FULL") ? "M" : "S", &error, {"--nagle"});
        if (!backend)
            return;
        fs::path home = freshHome();
        SyncRun first = syncInto(*backend, home);
        release();
        std::error_code ignored;
        fs::remove_all(home, ignored);
        if (!first.error.empty())
            error = "first sync: " + first.error;
    }
};

void BM_SyncPicturePhase_NagleOn(benchmark::State& state)
{
    static NagleSetup s;
    if (!s.error.empty()) {
        state.SkipWithError(s.error.c_str());
        return;
    }
    for (auto _ : state) {
        fs::path home = freshHome();
        SyncRun run = syncInto(*s.backend, home);
        release();
        std::error_code ignored;
        fs::remove_all(home, ignored);
        if (!run.error.empty()) {
            state.SkipWithError(run.error.c_str());
            break;
        }
        state.SetIterationTime(run.phaseSeconds);
        state.counters["files"] = double(run.pictures);
        state.counters["cpu_ms"] = run.cpuMs;
        state.counters["files_per_s"] = run.phaseSeconds > 0 ? double(run.pictures) / run.phaseSeconds : 0;
    }
}
BENCHMARK(BM_SyncPicturePhase_NagleOn)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    return benchsupport::runWithPairRatios(
        argc, argv,
        {{"picture phase", "BM_SyncPicturePhase", "BM_CurlSamePictures"},
         {"picture phase, head and body apart", "BM_SyncPicturePhase_NagleOn", "BM_SyncPicturePhase",
          "Nagle on / Nagle off"}});
}
