// The catalogue tab over the large test catalogue, 5,000 and 10,000 products:
// - search as you type: each keystroke in the tab's search bar ("a", "b", "c", then three
//   backspaces back to "") to the first frame drawn with its popover (a new search list in a
//   new popover each time, as the tab does), p50 and p95 per text; beside it the bare search
//   query through raw SQLite (prepared, bound, every row and column read);
// - the first display of the tab (the panel with its counts, the grid with every product)
//   to its first frame, and a level change in the panel (a category with sub-categories
//   tapped, its animation's time skipped) to the frame with the new level.
// Five rounds by default, twenty with BRIVANTA_BENCH_FULL=1. Prints application / peer from the
// medians.
#include "BenchSupport.h"
#include "CatalogBenchHome.h"

#include "Classes/Catalog/CatalogViewController.h"
#include "Classes/Catalog/DetailViewController.h"
#include "Classes/Catalog/MasterViewController.h"
#include "Database/SQLite/BRDatabase.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/UI/Driver.h"
#include "Platform/UI/NavigationController.h"
#include "Platform/UI/TableView.h"
#include "Platform/UI/Window.h"

#include <sqlite3.h>

#include <chrono>
#include <map>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

// What each keystroke leaves in the bar.
const char* const kKeys[] = {"a", "b", "c", "\b", "\b", "\b"};
const char* const kTexts[] = {"a", "ab", "abc", "ab", "a", ""};

int rounds()
{
    return std::getenv("BRIVANTA_BENCH_FULL") ? 20 : 5;
}

double millis(Clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

std::string label(const std::string& text)
{
    return text.empty() ? "empty" : text;
}

void putPercentiles(benchmark::State& state, const std::map<std::string, std::vector<double>>& times)
{
    for (const auto& [name, values] : times) {
        state.counters[name + "_p50_ms"] = benchsupport::percentile(values, 0.5);
        state.counters[name + "_p95_ms"] = benchsupport::percentile(values, 0.95);
    }
}

// The tab's screen with its two stacks placed in the window as the tab bar places them.
struct Tab {
    Tab()
    {
        DetailViewController::resetSharedState();
        MasterViewController::resetCurrentState();
        window = std::make_shared<ui::Window>();
        window->makeKeyAndVisible();
        window->prepareFrame();
        window->drawFrame(1);
    }
    ~Tab()
    {
        if (catalog) {
            catalog->masterView()->removeFromSuperview();
            catalog->detailView()->removeFromSuperview();
        }
        window->setRootViewController(nullptr);
        nav.reset();
        catalog.reset();
        base::RunLoop::main().advance(2);
    }
    void show()
    {
        catalog = std::make_shared<CatalogViewController>();
        nav = std::make_shared<ui::NavigationController>(catalog);
        nav->setNavigationBarHidden(true);
        window->setRootViewController(nav);
        window->layoutIfNeeded();
        auto stack = catalog->detailView();
        stack->setFrame({0, 64, 1024, 638});
        window->addSubview(stack);
        window->addSubview(catalog->masterView());
    }
    void frame()
    {
        window->prepareFrame();
        window->drawFrame(1);
    }
    std::shared_ptr<ui::Window> window;
    std::shared_ptr<CatalogViewController> catalog;
    std::shared_ptr<ui::NavigationController> nav;
};

void BM_KeystrokeToPopoverFrame(benchmark::State& state)
{
    catalogbench::useCatalogue(static_cast<int>(state.range(0)));
    auto& loop = base::RunLoop::main();
    loop.setManualClock(true);
    std::map<std::string, std::vector<double>> times;
    {
        Tab tab;
        tab.show();
        tab.frame();
        ui::Driver driver(*tab.window);
        driver.tap(tab.catalog->searchBar());
        tab.frame();
        for (auto _ : state) {
            for (int round = 0; round < rounds(); ++round) {
                for (const char* key : kKeys) {
                    auto start = Clock::now();
                    tab.window->typeText(key);
                    tab.frame();
                    times[label(tab.catalog->searchBar()->text())].push_back(millis(Clock::now() - start));
                    loop.advance(0.1); // the popover's fade ends before the next key
                    tab.frame();
                }
            }
        }
    }
    loop.setManualClock(false);
    putPercentiles(state, times);
}
BENCHMARK(BM_KeystrokeToPopoverFrame)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);

// The query the search runs, read as its rows would be: prepared, bound, stepped to the end.
void BM_BareSearchQuery(benchmark::State& state)
{
    catalogbench::useCatalogue(static_cast<int>(state.range(0)));
    sqlite3* db = BRDatabase::sharedDataBase()->sqliteHandle();
    const char* sql = "select t1.* from brivanta_product t1 where ("
                      "t1.product_sku like '%' || ? || '%' ESCAPE '\\' or "
                      "t1.product_name like '%' || ? || '%' ESCAPE '\\' or "
                      "t1.product_tags like '%' || ? || '%' ESCAPE '\\') "
                      "and t1.product_publish = 1  order by t1.product_name";
    std::map<std::string, std::vector<double>> times;
    long cells = 0;
    for (auto _ : state) {
        for (int round = 0; round < rounds(); ++round) {
            for (const char* text : kTexts) {
                auto start = Clock::now();
                sqlite3_stmt* statement = nullptr;
                sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
                for (int i = 1; i <= 3; ++i)
                    sqlite3_bind_text(statement, i, text, -1, SQLITE_STATIC);
                while (sqlite3_step(statement) == SQLITE_ROW) {
                    int columns = sqlite3_column_count(statement);
                    for (int c = 0; c < columns; ++c) {
                        if (sqlite3_column_type(statement, c) == SQLITE_TEXT)
                            cells += sqlite3_column_bytes(statement, c) + (sqlite3_column_text(statement, c) != nullptr);
                        else
                            cells += sqlite3_column_int(statement, c);
                    }
                }
                sqlite3_finalize(statement);
                times[label(text)].push_back(millis(Clock::now() - start));
            }
        }
    }
    benchmark::DoNotOptimize(cells);
    putPercentiles(state, times);
}
BENCHMARK(BM_BareSearchQuery)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_TabFirstDisplayAndLevelChange(benchmark::State& state)
{
    catalogbench::useCatalogue(static_cast<int>(state.range(0)));
    auto data = DataAccessManager::sharedDataModel();
    auto& loop = base::RunLoop::main();
    loop.setManualClock(true);
    std::map<std::string, std::vector<double>> times;
    for (auto _ : state) {
        for (int round = 0; round < rounds(); ++round) {
            Tab tab;
            auto start = Clock::now();
            tab.show();
            tab.frame();
            times["first_display"].push_back(millis(Clock::now() - start));
            loop.advance(0.5);
            tab.frame();

            MasterViewController& panel = *tab.catalog->masterViewController();
            int row = 0;
            for (size_t i = 0; i < panel.dataArray().size() && !row; ++i)
                if (!data->getCategoryWithParentCategoryid(panel.dataArray()[i].category_id).empty())
                    row = static_cast<int>(i) + 1;
            if (!row) {
                state.SkipWithError("no category with sub-categories");
                break;
            }
            start = Clock::now();
            panel.didSelectRowAtIndexPath(*panel.myTable(), ui::IndexPath::forRow(row, 0));
            loop.advance(MasterViewController::kSlideSeconds * 2 + 0.05);
            tab.frame();
            times["level_change"].push_back(millis(Clock::now() - start));
        }
    }
    loop.setManualClock(false);
    putPercentiles(state, times);
}
BENCHMARK(BM_TabFirstDisplayAndLevelChange)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    std::vector<benchsupport::MedianRatioReporter::Pair> pairs;
    for (const char* size : {"5000", "10000"})
        for (const char* text : {"a", "ab", "abc", "empty"})
            pairs.push_back({std::string("\"") + (std::string(text) == "empty" ? "" : text) + "\" over " + size +
                                 ": keystroke to popover frame / bare query, p50",
                             std::string("BM_KeystrokeToPopoverFrame/") + size,
                             std::string("BM_BareSearchQuery/") + size, std::string(text) + "_p50_ms"});
    return benchsupport::runWithMedianRatios(argc, argv, std::move(pairs));
}
