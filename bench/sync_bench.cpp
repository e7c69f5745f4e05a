// One whole sync against the loopback back end, as the sync screen runs it: the table saves'
// rows per second (timed by the longest turn of the main loop, which is the 513 answer's save),
// the image phases' files per second, and the longest main-loop stall seen by a 5 ms timer.
// Fixture S by default; BRIVANTA_BENCH_FULL=1 (or bench/sync_m.sh) uses fixture M, and
// BRIVANTA_BENCH_FIXTURE names any other (bench/sync_large.sh runs M and L, each in a process of
// its own, so that each peak resident size is that sync's alone).
#include "Common/ConfigManager.h"
#include "Database/DataAccessManager.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/Base/Timer.h"
#include "Platform/Base/UserDefaults.h"
#include "Protocol/LoginMode.h"
#include "Protocol/NetworkModel.h"
#include "Protocol/RequestLogin.h"
#include "Protocol/SyncModel.h"
#include "tests/Support/TestBackend.h"
#include "BenchSupport.h"
#include "SyncBenchHome.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sqlite3.h>

namespace {

namespace fs = std::filesystem;

const bool kFull = std::getenv("BRIVANTA_BENCH_FULL") != nullptr;

std::string fixtureName()
{
    if (const char* named = std::getenv("BRIVANTA_BENCH_FIXTURE"); named && *named)
        return named;
    return kFull ? "M" : "S";
}

using benchsupport::wallNow;

class Screen : public benchsupport::SyncEndWatch {
public:
    double firstReport = 0;
    double lastReport = 0;
    // The peak resident size when the first file was answered: what the tables took.
    double peakBeforeFiles = 0;
    // The peak before the customer tables: the sync's own, without the customer list that the
    // customer screens keep once it has read the new customers.
    double peakBeforeCustomers = 0;
    void setProgressImageTypeRemainTime(float, int, int) override
    {
        double now = wallNow();
        if (firstReport == 0) {
            firstReport = now;
            peakBeforeFiles = benchsupport::peakRssMB();
        }
        lastReport = now;
        peakBeforeCustomers = benchsupport::peakRssMB();
    }
};

long long rows(const fs::path& database)
{
    sqlite3* db = nullptr;
    long long total = 0;
    if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        for (const char* table : {"brivanta_product", "brivanta_product_price", "brivanta_image",
                                  "brivanta_product_category_xref", "brivanta_product_attribute", "brivanta_category"}) {
            sqlite3_stmt* statement = nullptr;
            std::string sql = std::string("SELECT count(*) FROM ") + table;
            if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK &&
                sqlite3_step(statement) == SQLITE_ROW)
                total += sqlite3_column_int64(statement, 0);
            sqlite3_finalize(statement);
        }
    }
    sqlite3_close(db);
    return total;
}

void BM_FullSync(benchmark::State& state)
{
    std::signal(SIGPIPE, SIG_IGN);
    setenv("BRIVANTA_BUNDLE", BRIVANTA_BUNDLE_DIR, 0);
    std::string error;
    auto backend = testsupport::TestBackend::start(fixtureName(), &error);
    if (!backend) {
        state.SkipWithError(error.c_str());
        return;
    }
    for (auto _ : state) {
        char pattern[] = "/tmp/brivanta-sync-bench-XXXXXX";
        fs::path home = ::mkdtemp(pattern);
        benchsupport::signInForSync(*backend, home.string());
        auto screen = std::make_shared<Screen>();
        SyncModel::sharedInstance()->setDelegate(screen);

        double lastTick = wallNow();
        double stall = 0;
        auto ticker = base::Timer::scheduled(0.005, true, [&](base::Timer&) {
            double now = wallNow();
            stall = std::max(stall, now - lastTick);
            lastTick = now;
        });
        double start = wallNow();
        SyncModel::sharedInstance()->startSync();
        const char* limit = std::getenv("BRIVANTA_BENCH_LIMIT");
        base::RunLoop::main().runUntil([&] { return screen->ended; }, limit ? std::atof(limit) : 1200);
        double total = wallNow() - start;
        ticker->invalidate();
        // Said even for a sync that did not end: its peaks are what it took meanwhile.
        std::fprintf(stderr, "peak_rss_MB %.1f peak_tables_MB %.1f peak_before_customers_MB %.1f\n",
                     benchsupport::peakRssMB(), screen->peakBeforeFiles, screen->peakBeforeCustomers);
        if (!screen->ended)
            state.SkipWithError("the sync did not end");
        else if (!screen->broke.empty())
            state.SkipWithError(screen->broke.c_str());

        long long saved = rows(home / "Documents" / "acmeco" / "brivanta_lite.sqlite");
        long long files = 0;
        for (const char* folder : {"ProductImages", "LibraryImages", "ConfigImages"})
            for (const auto& entry : fs::directory_iterator(home / "Documents" / "acmeco" / folder))
                files += entry.is_regular_file();
        state.counters["sync_s"] = total;
        state.counters["stall_ms"] = stall * 1000;
        state.counters["product_rows"] = double(saved);
        state.counters["rows_per_s_by_stall"] = stall > 0 ? double(saved) / stall : 0;
        double phases = screen->lastReport - screen->firstReport;
        state.counters["files"] = double(files);
        state.counters["files_per_s"] = phases > 0 ? double(files) / phases : 0;
        state.counters["peak_rss_MB"] = benchsupport::peakRssMB();
        state.counters["peak_tables_MB"] = screen->peakBeforeFiles;
        state.counters["peak_before_customers_MB"] = screen->peakBeforeCustomers;

        SyncModel::freeInstance();
        DataAccessManager::releaseDataModel();
        ConfigManager::freeInstance();
        NetworkModel::sharedInstance()->cancelAllRequests();
        std::error_code ignored;
        fs::remove_all(home, ignored);
    }
}
BENCHMARK(BM_FullSync)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
