// The library grid's reload (the list, its order, the favourites and pending updates, the
// local files, the category narrowing) for tab 0 and tab 1, with and without a category,
// beside the same statements run through raw SQLite. Generated data with a fixed seed: 400
// documents in 20 categories by default; BRIVANTA_BENCH_FULL=1 uses 2,000 documents in 100
// categories, four levels deep.
#include "Classes/Library/LibraryDetailController.h"
#include "Classes/Library/SaleslibraryModel.h"
#include "Common/LanguageManager.h"
#include "Database/DataAccessManager.h"
#include "Protocol/LoginMode.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Fixture {
    fs::path folder;
    int deepCategory = 0;
    sqlite3* raw = nullptr;

    Fixture()
    {
        const int scale = std::getenv("BRIVANTA_BENCH_FULL") ? 5 : 1;
        const int documents = 400 * scale;
        const int categoryCount = 20 * scale;
        std::string pattern = (fs::temp_directory_path() / "brlibrary-bench-XXXXXX").string();
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
        std::vector<brivanta_library_category_Entity> categories;
        std::vector<int> depth(static_cast<size_t>(categoryCount) + 1, 0);
        std::vector<int> parents;
        for (int id = 1; id <= categoryCount; ++id) {
            brivanta_library_category_Entity c;
            c.categoryID = id;
            c.name = "Category " + std::to_string(id);
            c.published = 1;
            if (id <= 4) {
                depth[static_cast<size_t>(id)] = 1;
            } else {
                c.parent_id = parents[pick(parents.size())];
                depth[static_cast<size_t>(id)] = depth[static_cast<size_t>(c.parent_id)] + 1;
            }
            if (depth[static_cast<size_t>(id)] < 4)
                parents.push_back(id);
            categories.push_back(c);
        }
        deepCategory = 1;
        std::vector<brivanta_library_files_Entity> files;
        static const char* kTypes[] = {"PDF", "VEDIO", "WORD", "EXCEL"};
        fs::create_directories(folder / "home/Documents/bench/Pdf");
        for (int id = 1; id <= documents; ++id) {
            brivanta_library_files_Entity f;
            f.file_id = id;
            f.title = "Document " + std::to_string(id);
            f.file_name = "doc" + std::to_string(id) + ".pdf";
            f.type = kTypes[id % 4];
            f.category = id % 25 == 0 ? 0 : static_cast<int>(pick(static_cast<size_t>(categoryCount))) + 1;
            f.date = "2025-0" + std::to_string(id % 9 + 1) + "-01 10:00:00";
            f.info = "PDF/1.2 M";
            f.published = 1;
            files.push_back(f);
            // Every tenth document is on the device, every thirtieth a favourite.
            if (id % 10 == 0 && f.type == std::optional<std::string>("PDF"))
                std::ofstream(folder / "home/Documents/bench/Pdf" / *f.file_name) << "x";
            if (id % 30 == 0)
                data->saveToDatabaseLibraryFavoriteName(id, f.file_name);
        }
        if (!data->saveToDatabaseLibraryFiles(files) || !data->saveToDatabaseLibraryCategory(categories))
            std::abort();
        if (sqlite3_open_v2(DataAccessManager::dataFilePath()->c_str(), &raw, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            std::abort();
    }
    ~Fixture()
    {
        sqlite3_close(raw);
        SaleslibraryModel::freeInstance();
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

// Args: tab, and 1 to narrow to a top-level category.
void BM_GridReload(benchmark::State& state)
{
    auto& f = fixture();
    auto grid = std::make_shared<LibraryDetailController>();
    grid->setLibraryTab(static_cast<int>(state.range(0)));
    grid->setSelectedCategory(state.range(1) ? f.deepCategory : -1);
    for (auto _ : state) {
        grid->reloadDataWithPostNotiChangeTab(false, false);
        benchmark::DoNotOptimize(grid->libfilesArray().size());
    }
    state.counters["listed"] = static_cast<double>(grid->libfilesArray().size());
}
BENCHMARK(BM_GridReload)->Args({0, 0})->Args({0, 1})->Args({1, 0})->Args({1, 1})->Unit(benchmark::kMillisecond);

// The statements a reload runs (update ids, the list, the favourites, the parent map), read
// to the end through raw SQLite.
void BM_GridReloadRawStatements(benchmark::State& state)
{
    auto& f = fixture();
    const char* statements[] = {
        "select fileId from brivanta_update",
        "select * from brivanta_library_files where published = 1 order by title",
        "select id from brivanta_library_favorite",
        "select id, parent_id from brivanta_library_category",
    };
    std::vector<sqlite3_stmt*> prepared;
    for (const char* sql : statements) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(f.raw, sql, -1, &statement, nullptr) != SQLITE_OK)
            std::abort();
        prepared.push_back(statement);
    }
    long rows = 0;
    for (auto _ : state) {
        rows = 0;
        for (auto* statement : prepared) {
            while (sqlite3_step(statement) == SQLITE_ROW) {
                for (int i = 0; i < sqlite3_column_count(statement); ++i)
                    benchmark::DoNotOptimize(sqlite3_column_text(statement, i));
                ++rows;
            }
            sqlite3_reset(statement);
        }
    }
    state.counters["statements"] = static_cast<double>(prepared.size());
    state.counters["rows"] = static_cast<double>(rows);
    for (auto* statement : prepared)
        sqlite3_finalize(statement);
}
BENCHMARK(BM_GridReloadRawStatements)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
