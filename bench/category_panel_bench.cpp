// The catalogue panel's counts: one level counted with the category walk (as the panel does
// at every level change) beside one grouped COUNT(DISTINCT product_id) query over the same
// links through raw SQLite, and a drill-down from the tap to the first frame after the new
// level is in. Generated data with a fixed seed: 1,000 products in 50 categories by default;
// BRIVANTA_BENCH_FULL=1 uses 10,000 products in 500 categories, four levels deep.
#include "Classes/Catalog/CategoryWalk.h"
#include "Classes/Catalog/MasterViewController.h"
#include "Common/LanguageManager.h"
#include "Database/DataAccessManager.h"
#include "Database/productAndcategoryXrefModel.h"
#include "Platform/Base/RunLoop.h"
#include "Platform/UI/Window.h"
#include "Protocol/LoginMode.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Fixture {
    fs::path folder;
    std::vector<int> topLevel;
    sqlite3* raw = nullptr;

    Fixture()
    {
        const int scale = std::getenv("BRIVANTA_BENCH_FULL") ? 10 : 1;
        const int productCount = 1000 * scale;
        const int categoryCount = 50 * scale;
        std::string pattern = (fs::temp_directory_path() / "brpanel-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        fs::path exe = fs::read_symlink("/proc/self/exe");
        setenv("BRIVANTA_HOME", (folder / "home").c_str(), 1);
        setenv("BRIVANTA_BUNDLE", (exe.parent_path().parent_path() / "bin/Resources").c_str(), 1);
        LanguageManager::sharedInstance()->setCurrentLanguage(1);
        LoginMode::sharedInstance()->setClientID("Bench");
        auto data = DataAccessManager::sharedDataModel();
        if (!data->hasModels())
            std::abort();

        std::mt19937 random(20140601);
        auto pick = [&](size_t n) { return static_cast<size_t>(random() % n); };
        // Five top-level categories; each later one hangs under an earlier one above depth 4.
        std::vector<brivanta_category_Entity> categories;
        std::vector<int> depth(static_cast<size_t>(categoryCount) + 1, 0);
        std::vector<int> parents;
        for (int id = 1; id <= categoryCount; ++id) {
            brivanta_category_Entity c;
            c.category_id = id;
            c.category_name = "Category " + std::to_string(id);
            c.category_publish = 1;
            c.category_type = "category";
            if (id <= 5) {
                depth[static_cast<size_t>(id)] = 1;
                topLevel.push_back(id);
            } else {
                c.category_parent_id = parents[pick(parents.size())];
                depth[static_cast<size_t>(id)] = depth[static_cast<size_t>(c.category_parent_id)] + 1;
            }
            if (depth[static_cast<size_t>(id)] < 4)
                parents.push_back(id);
            categories.push_back(c);
        }
        std::vector<brivanta_product_Entity> products;
        std::vector<brivanta_product_category_xref_Entity> links;
        for (int id = 1; id <= productCount; ++id) {
            brivanta_product_Entity p;
            p.product_id = id;
            p.product_name = "Product " + std::to_string(id);
            p.product_sku = "SKU-" + std::to_string(id);
            p.product_publish = 1;
            products.push_back(p);
            // One category, a second one for every fourth product, none for every fiftieth.
            if (id % 50 == 0) {
                links.push_back({0, id});
                continue;
            }
            links.push_back({static_cast<int>(pick(static_cast<size_t>(categoryCount))) + 1, id});
            if (id % 4 == 0)
                links.push_back({static_cast<int>(pick(static_cast<size_t>(categoryCount))) + 1, id});
        }
        if (!data->saveToDatabaseProduct(products) || !data->saveToDatabaseCategory(categories)
            || !data->pacmodel()->saveToDatabasePxrefC(links))
            std::abort();
        if (sqlite3_open_v2(DataAccessManager::dataFilePath()->c_str(), &raw, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            std::abort();
    }
    ~Fixture()
    {
        sqlite3_close(raw);
        DataAccessManager::releaseDataModel();
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
};

Fixture& fixture()
{
    static Fixture f;
    return f;
}

void BM_CountLevelWithWalk(benchmark::State& state)
{
    auto& f = fixture();
    int total = 0;
    for (auto _ : state) {
        total = 0;
        for (int id : f.topLevel)
            total += CategoryWalk::countProductsUnderCategory(id);
        benchmark::DoNotOptimize(total);
    }
    state.counters["counted"] = total; // the same on both sides
}
BENCHMARK(BM_CountLevelWithWalk)->Unit(benchmark::kMillisecond);

// The same counts in one statement: the published tree under each top-level category (UNION
// ends on loops), its leaves' links, distinct published products per top-level category.
void BM_CountLevelRawGroupedQuery(benchmark::State& state)
{
    auto& f = fixture();
    const char* sql =
        "with recursive tree(top, id) as ("
        " select category_id, category_id from brivanta_category where category_parent_id = 0 and category_publish = 1"
        " union select tree.top, c.category_id from brivanta_category c join tree on c.category_parent_id = tree.id"
        " where c.category_publish = 1) "
        "select t.top, count(distinct x.product_id) from tree t"
        " join brivanta_product_category_xref x on x.category_id = t.id"
        " join brivanta_product p on p.product_id = x.product_id and p.product_publish = 1"
        " where not exists (select 1 from brivanta_category c where c.category_parent_id = t.id and c.category_publish = 1)"
        " group by t.top";
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(f.raw, sql, -1, &statement, nullptr) != SQLITE_OK)
        std::abort();
    int total = 0;
    for (auto _ : state) {
        total = 0;
        while (sqlite3_step(statement) == SQLITE_ROW)
            total += sqlite3_column_int(statement, 1);
        sqlite3_reset(statement);
        benchmark::DoNotOptimize(total);
    }
    sqlite3_finalize(statement);
    state.counters["counted"] = total;
}
BENCHMARK(BM_CountLevelRawGroupedQuery)->Unit(benchmark::kMillisecond);

// From the tap on a top-level category to the first frame drawn after the new level is in.
void BM_DrillDownToFirstFrame(benchmark::State& state)
{
    fixture();
    auto& loop = base::RunLoop::main();
    loop.setManualClock(true);
    auto window = std::make_shared<ui::Window>();
    window->makeKeyAndVisible();
    auto panel = std::make_shared<MasterViewController>();
    window->addSubview(panel->view());
    window->snapshot();
    ui::TableView& table = *panel->myTable();
    for (auto _ : state) {
        table.delegate()->didSelectRowAtIndexPath(table, ui::IndexPath::forRow(1, 0));
        loop.advance(MasterViewController::kSlideSeconds + 1e-3);
        benchmark::DoNotOptimize(window->snapshot());
        state.PauseTiming();
        loop.advance(1);
        panel->btnbackClicked();
        loop.advance(1);
        window->snapshot();
        state.ResumeTiming();
    }
    panel->view()->removeFromSuperview();
    panel.reset();
    window.reset();
    loop.advance(10);
    loop.setManualClock(false);
}
BENCHMARK(BM_DrillDownToFirstFrame)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
