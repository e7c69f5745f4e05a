// The orders tab over many stored orders: opening it (the screen made, loaded and shown in a
// headless window: every order read with its lines through the real order store, SUBMIT ALL
// decided, the visible rows filled) and one search typed into it ("o'neil"), beside the order
// tables' raw peer reading the same rows (one join, every column). Prints the screen / raw
// ratios (of the medians with --benchmark_repetitions). 200 orders of 5 lines by
// default; BRIVANTA_BENCH_FULL=1 uses 2,000.
#include "Classes/Order/QuoteOrderHistoryController.h"
#include "Classes/Order/QuoteOrderHistoryTableView.h"
#include "Classes/Order/QuoteOrderStore.h"
#include "Common/LanguageManager.h"
#include "Platform/Base/Log.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/SearchBar.h"
#include "Platform/UI/TextField.h"
#include "Platform/UI/Window.h"
#include "Protocol/LoginMode.h"

#include "BenchSupport.h"
#include "OrderBenchData.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

constexpr int kLines = 5;
constexpr int kProducts = 200;
constexpr const char* kSearch = "o'neil";

int orderCount()
{
    return std::getenv("BRIVANTA_BENCH_FULL") ? 2000 : 200;
}

// A home of its own with the built template, one client holding the orders.
struct World {
    fs::path home;
    std::string databasePath;
    size_t searchRows = 0; // orders × lines the search finds

    World()
    {
        std::string pattern = (fs::temp_directory_path() / "brhistory-bench-XXXXXX").string();
        home = ::mkdtemp(pattern.data());
        ::setenv("BRIVANTA_HOME", home.c_str(), 1);
        fs::path exe = fs::read_symlink("/proc/self/exe").parent_path();
        ::setenv("BRIVANTA_BUNDLE", (exe.parent_path() / "bin/Resources").c_str(), 1);
        base::setLogCapture([](const std::string&) {});
        LanguageManager::sharedInstance()->setCurrentLanguage(1);
        auto login = LoginMode::sharedInstance();
        login->setAcountID("bob");
        login->setVendorId(12);
        login->setLoginType(1);
        login->setClientID("history");
        auto manager = DataAccessManager::sharedDataModel();
        if (!manager->hasModels())
            std::abort();
        benchsupport::saveProducts(*manager, kProducts);
        benchsupport::saveOrders(*manager, orderCount(), kLines, kProducts, 0);
        databasePath = *DataAccessManager::dataFilePath();
        base::RunLoop::main().setManualClock(true);
        ui::View::setAnimationsEnabled(false);
    }
    ~World()
    {
        QuoteOrderStore::freeInstance();
        DataAccessManager::releaseDataModel();
        std::error_code ignored;
        fs::remove_all(home, ignored);
    }
};

World& world()
{
    static World w;
    return w;
}

struct Screen {
    std::shared_ptr<ui::Window> window = std::make_shared<ui::Window>();
    std::shared_ptr<QuoteOrderHistoryController> screen;

    Screen() { window->makeKeyAndVisible(); }
    void open()
    {
        screen = std::make_shared<QuoteOrderHistoryController>();
        window->setRootViewController(std::make_shared<ui::NavigationController>(screen));
    }
    void close()
    {
        window->setRootViewController(nullptr);
        screen.reset();
        base::RunLoop::main().advance(0);
    }
    // The text typed into the search field, as the field tells its bar.
    void type(const std::string& text)
    {
        auto& bar = *screen->searchBar();
        bar.textField().setText(text);
        bar.delegate()->searchBarTextDidChange(bar, text);
    }
    size_t listedLines() const
    {
        size_t lines = 0;
        for (const auto& order : screen->selectOrders())
            lines += order->items().size();
        return lines;
    }
};

void BM_OpenTab(benchmark::State& state)
{
    world();
    Screen s;
    for (auto _ : state) {
        s.open();
        state.PauseTiming();
        if (s.screen->selectOrders().size() != static_cast<size_t>(orderCount()) ||
            s.listedLines() != static_cast<size_t>(orderCount() * kLines))
            std::abort();
        s.close();
        state.ResumeTiming();
    }
    state.counters["orders"] = orderCount();
}
BENCHMARK(BM_OpenTab)->Unit(benchmark::kMillisecond);

void BM_SearchTab(benchmark::State& state)
{
    auto& w = world();
    Screen s;
    s.open();
    s.type(kSearch);
    w.searchRows = s.listedLines();
    for (auto _ : state) {
        state.PauseTiming();
        s.type("");
        state.ResumeTiming();
        s.type(kSearch);
    }
    if (s.listedLines() != w.searchRows || w.searchRows == 0)
        std::abort();
    state.counters["orders found"] = static_cast<double>(s.screen->selectOrders().size());
    s.close();
}
BENCHMARK(BM_SearchTab)->Unit(benchmark::kMillisecond);

sqlite3* openRaw()
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(world().databasePath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        std::abort();
    return db;
}

void BM_OpenTabRaw(benchmark::State& state)
{
    sqlite3* db = openRaw();
    for (auto _ : state) {
        if (benchsupport::readJoinRaw(db, "", nullptr) != static_cast<size_t>(orderCount() * kLines))
            std::abort();
    }
    sqlite3_close(db);
}
BENCHMARK(BM_OpenTabRaw)->Unit(benchmark::kMillisecond);

void BM_SearchTabRaw(benchmark::State& state)
{
    sqlite3* db = openRaw();
    std::string pattern = std::string("%") + kSearch + "%";
    size_t rows = 0;
    for (auto _ : state)
        rows = benchsupport::readJoinRaw(db, benchsupport::kOrderSearchWhere, pattern.c_str());
    // The same rows as the screen lists, once both have run.
    if (world().searchRows != 0 && rows != world().searchRows)
        std::abort();
    sqlite3_close(db);
}
BENCHMARK(BM_SearchTabRaw)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    std::printf("%d orders of %d lines\n", orderCount(), kLines);
    return benchsupport::runWithMedianRatios(argc, argv,
                                             {{"opening the tab, screen / raw", "BM_OpenTab", "BM_OpenTabRaw", ""},
                                              {"one search, screen / raw", "BM_SearchTab", "BM_SearchTabRaw", ""}});
}
