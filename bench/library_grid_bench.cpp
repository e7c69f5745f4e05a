// The library grid's reload (the list, its order, the favourites and pending updates, the
// local files, the category narrowing) for tab 0 and tab 1, with and without a category,
// beside the very statements that reload runs, recorded from it and run by the sqlite3 shell
// on the same file (its output read to the end). Prints the statements per reload and the
// grid / shell ratios (of the medians with --benchmark_repetitions). Data of
// LibraryBenchData.h: BRIVANTA_BENCH_FULL=1 for 2,000 documents in 100 categories.
#include "Classes/Library/LibraryDetailController.h"

#include "BenchSupport.h"
#include "LibraryBenchData.h"
#include "LibraryStatements.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <vector>

namespace {

benchsupport::LibraryData& fixture()
{
    static benchsupport::LibraryData data;
    return data;
}

// Category 1 is a top-level one: its tree holds about a quarter of the documents.
constexpr int kCategory = 1;

std::shared_ptr<LibraryDetailController> makeGrid(int tab, bool narrowed)
{
    auto grid = std::make_shared<LibraryDetailController>();
    grid->setLibraryTab(tab);
    grid->setSelectedCategory(narrowed ? kCategory : -1);
    return grid;
}

// The statements one reload of that grid runs, recorded once per configuration.
const std::vector<std::string>& reloadStatements(int tab, bool narrowed)
{
    static std::map<std::pair<int, bool>, std::vector<std::string>> recorded;
    auto key = std::pair(tab, narrowed);
    if (auto it = recorded.find(key); it != recorded.end())
        return it->second;
    fixture();
    auto grid = makeGrid(tab, narrowed);
    grid->reloadDataWithPostNotiChangeTab(false, false);
    auto statements = benchsupport::statementsRunBy([&] { grid->reloadDataWithPostNotiChangeTab(false, false); });
    if (statements.empty())
        std::abort();
    return recorded[key] = std::move(statements);
}

// Args: tab, and 1 to narrow to a top-level category.
void BM_GridReload(benchmark::State& state)
{
    int tab = static_cast<int>(state.range(0));
    bool narrowed = state.range(1) != 0;
    size_t statements = reloadStatements(tab, narrowed).size();
    auto grid = makeGrid(tab, narrowed);
    for (auto _ : state) {
        grid->reloadDataWithPostNotiChangeTab(false, false);
        benchmark::DoNotOptimize(grid->libfilesArray().size());
    }
    state.counters["listed"] = static_cast<double>(grid->libfilesArray().size());
    state.counters["statements/reload"] = static_cast<double>(statements);
}
BENCHMARK(BM_GridReload)->Args({0, 0})->Args({0, 1})->Args({1, 0})->Args({1, 1})->Unit(benchmark::kMillisecond);

// The same statements through the sqlite3 shell, one process per reload.
void BM_GridReloadShell(benchmark::State& state)
{
    int tab = static_cast<int>(state.range(0));
    bool narrowed = state.range(1) != 0;
    const auto& statements = reloadStatements(tab, narrowed);
    std::string script = benchsupport::shellScript(statements);
    size_t bytes = 0;
    for (auto _ : state) {
        auto output = benchsupport::runProgramOutput({"sqlite3", "-readonly", fixture().databasePath, script});
        if (!output) {
            state.SkipWithError("the sqlite3 shell failed (is it installed?)");
            break;
        }
        bytes = output->size();
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["statements/reload"] = static_cast<double>(statements.size());
    state.counters["output bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_GridReloadShell)->Args({0, 0})->Args({0, 1})->Args({1, 0})->Args({1, 1})->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    const auto& data = fixture();
    std::printf("%d documents in %d categories\n", data.documents, data.categoryCount);
    std::vector<benchsupport::MedianRatioReporter::Pair> pairs;
    for (int tab : {0, 1}) {
        for (bool narrowed : {false, true}) {
            std::string args = "/" + std::to_string(tab) + "/" + (narrowed ? "1" : "0");
            std::string what = "tab " + std::to_string(tab) + (narrowed ? ", category 1" : ", no category");
            const auto& statements = reloadStatements(tab, narrowed);
            std::printf("%s: %zu statements per reload\n", what.c_str(), statements.size());
            for (const auto& statement : statements)
                std::printf("  %s\n", statement.c_str());
            pairs.push_back({what + ", grid / shell", "BM_GridReload" + args, "BM_GridReloadShell" + args, ""});
        }
    }
    return benchsupport::runWithMedianRatios(argc, argv, std::move(pairs));
}
