// The library category tree's counts: every row of every level of the real panel (in a
// headless window, its list loaded as after a sync), each level's table reloaded and its rows'
// counts read, beside the same counts by one recursive query run with the sqlite3 shell on the
// same file (its output read and parsed). Both sides' counts are checked to agree. Prints the
// tree / shell ratio (of the medians with --benchmark_repetitions). Data of
// LibraryBenchData.h: BRIVANTA_BENCH_FULL=1 for 2,000 documents in 100 categories.
#include "Classes/Library/LibraryCatalogCell.h"
#include "Classes/Library/LibraryCatalogController.h"
#include "Common/ConfigManager.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/UI/ImageView.h"
#include "Platform/UI/Label.h"
#include "Platform/UI/Window.h"

#include "BenchSupport.h"
#include "LibraryBenchData.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <sstream>

namespace {

using Counts = std::map<int, int>; // category (0 uncategorised, -1 all documents) -> documents

benchsupport::LibraryData& fixture()
{
    static benchsupport::LibraryData data;
    return data;
}

// Every published document under each category, its own or a descendant's (UNION ends the
// climb on a loop), the uncategorised ones and all of them, in one statement.
constexpr const char* kCountsQuery =
    "with recursive up(file, category) as ("
    " select id, category from brivanta_library_files where published = 1 and category <> 0"
    " union select up.file, c.parent_id from up join brivanta_library_category c on c.id = up.category"
    " where c.parent_id <> 0) "
    "select category, count(*) from up group by category"
    " union all select 0, count(*) from brivanta_library_files where published = 1 and category = 0"
    " union all select -1, count(*) from brivanta_library_files where published = 1;";

Counts parseShellCounts(const std::string& output)
{
    Counts counts;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        auto bar = line.find('|');
        if (bar == std::string::npos)
            std::abort();
        counts[std::stoi(line.substr(0, bar))] = std::stoi(line.substr(bar + 1));
    }
    return counts;
}

int parseRowCount(const std::string& text)
{
    // "(%d)"
    if (text.size() < 3 || text.front() != '(' || text.back() != ')')
        std::abort();
    return std::stoi(text.substr(1, text.size() - 2));
}

// The panel in a window with every published document listed, at the top level.
struct Tree {
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<LibraryCatalogController> panel;

    Tree()
    {
        fixture();
        ui::View::setAnimationsEnabled(false);
        window = std::make_shared<ui::Window>();
        window->makeKeyAndVisible();
        panel = std::make_shared<LibraryCatalogController>();
        window->addSubview(panel->view());
        ConfigManager::sharedInstance()->flagDic()["Needreloadlibrary"] = "YES";
        panel->viewWillAppear(false);
    }
    ~Tree()
    {
        panel->view()->removeFromSuperview();
        panel.reset();
        window.reset();
        base::RunLoop::main().advance(1);
        ui::View::setAnimationsEnabled(true);
    }

    // The counts of every row of this level and the levels below it, the table reloaded at
    // each level (the walk between levels is not timed).
    void walk(benchmark::State* state, Counts& counts, int level)
    {
        ui::TableView& table = *panel->catatable();
        if (state)
            state->ResumeTiming();
        table.reloadData();
        std::vector<int> rowCounts;
        std::vector<bool> deeper;
        int rows = panel->numberOfRowsInSection(table, 0);
        for (int row = 0; row < rows; ++row) {
            auto ip = ui::IndexPath::forRow(row, 0);
            std::shared_ptr<ui::TableViewCell> made;
            auto* cell = dynamic_cast<LibraryCatalogCell*>(table.cellForRowAtIndexPath(ip));
            if (!cell) { // below the visible rows: asked as the table would on scrolling
                made = panel->cellForRowAtIndexPath(table, ip);
                cell = dynamic_cast<LibraryCatalogCell*>(made.get());
            }
            rowCounts.push_back(parseRowCount(cell->lbcount().text()));
            deeper.push_back(row > 0 && !cell->imgicon().isHidden());
        }
        if (state)
            state->PauseTiming();
        for (int row = 0; row < rows; ++row) {
            int category = row == 0 ? (level == 0 ? -1 : panel->cid()) : panel->cataArr()[static_cast<size_t>(row - 1)].categoryID;
            auto [it, added] = counts.emplace(category, rowCounts[static_cast<size_t>(row)]);
            if (!added && it->second != rowCounts[static_cast<size_t>(row)])
                std::abort(); // one category, two counts
        }
        for (int row = 1; row < rows; ++row) {
            if (!deeper[static_cast<size_t>(row)])
                continue;
            int before = panel->cid();
            panel->didSelectRowAtIndexPath(table, ui::IndexPath::forRow(row, 0));
            if (panel->cid() == before)
                std::abort();
            walk(state, counts, level + 1);
            panel->backToParentCategory();
            if (panel->cid() != before)
                std::abort();
        }
    }
};

Counts shellCounts()
{
    auto output = benchsupport::runProgramOutput({"sqlite3", "-readonly", fixture().databasePath, kCountsQuery});
    return output ? parseShellCounts(*output) : Counts{};
}

// The screen's counts agree with the query's (categories with no document show 0 there and
// are absent here).
void checkAgreement(const Counts& tree, const Counts& shell)
{
    for (const auto& [category, count] : tree) {
        auto it = shell.find(category);
        if ((it == shell.end() ? 0 : it->second) != count) {
            std::fprintf(stderr, "category %d: the tree counts %d, the query %d\n", category, count,
                         it == shell.end() ? 0 : it->second);
            std::abort();
        }
    }
}

void BM_TreeCounts(benchmark::State& state)
{
    Tree tree;
    Counts counts;
    tree.walk(nullptr, counts, 0);
    if (auto shell = shellCounts(); !shell.empty())
        checkAgreement(counts, shell);
    size_t rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        Counts seen;
        tree.walk(&state, seen, 0);
        rows = seen.size();
        state.ResumeTiming();
    }
    state.counters["categories counted"] = static_cast<double>(rows);
}
BENCHMARK(BM_TreeCounts)->Unit(benchmark::kMillisecond);

void BM_TreeCountsShell(benchmark::State& state)
{
    fixture();
    size_t rows = 0;
    for (auto _ : state) {
        auto output = benchsupport::runProgramOutput({"sqlite3", "-readonly", fixture().databasePath, kCountsQuery});
        if (!output) {
            state.SkipWithError("the sqlite3 shell failed (is it installed?)");
            break;
        }
        rows = parseShellCounts(*output).size();
    }
    state.counters["categories counted"] = static_cast<double>(rows);
}
BENCHMARK(BM_TreeCountsShell)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    const auto& data = fixture();
    std::printf("%d documents in %d categories\n", data.documents, data.categoryCount);
    return benchsupport::runWithMedianRatios(
        argc, argv, {{"every row of every level, tree / shell", "BM_TreeCounts", "BM_TreeCountsShell", ""}});
}
