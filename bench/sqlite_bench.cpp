// The SQLite layer against raw prepared statements doing the same work on the same file
// system with the same settings: insert rows of 11 columns in one transaction with bound
// values, then read every row back by column name. Prints the layer/raw time ratios at the
// end. 2,000 rows by default; BRIVANTA_BENCH_FULL=1 uses 100,000.
#include "Database/SQLite/BRDatabase.h"
#include "Database/SQLite/BRResultSet.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr const char* kCreate =
    "create table bench (product_id integer primary key, product_sku text, product_name text, "
    "product_s_desc text, product_publish integer, product_ordering integer, product_stock "
    "integer, price double, currency text, product_c_date double, product_tags text)";
constexpr const char* kInsert = "insert into bench values (?,?,?,?,?,?,?,?,?,?,?)";
constexpr const char* kSelect = "select * from bench";
const char* const kColumns[] = {"product_id", "product_sku", "product_name", "product_s_desc",
                                "product_publish", "product_ordering", "product_stock", "price",
                                "currency", "product_c_date", "product_tags"};

struct Row {
    int id;
    std::string sku, name, desc;
    int publish, ordering, stock;
    double price;
    std::string currency;
    double date;
    std::string tags;
};

struct Data {
    fs::path folder;
    std::vector<Row> rows;

    Data()
    {
        const int count = std::getenv("BRIVANTA_BENCH_FULL") ? 100000 : 2000;
        std::string pattern = (fs::temp_directory_path() / "brsqlite-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        rows.reserve(count);
        for (int i = 1; i <= count; ++i) {
            rows.push_back({i, "SKU-" + std::to_string(i), "Product number " + std::to_string(i),
                            "A short description of product " + std::to_string(i), 1, i % 50,
                            i % 1000, i * 1.25, i % 2 ? "USD" : "CNY", 1367937000.5 + i,
                            "tag" + std::to_string(i % 7) + ",tag" + std::to_string(i % 11)});
        }
    }
    ~Data()
    {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    std::string file(const char* name) const { return (folder / name).string(); }
};

const Data& data()
{
    static Data d;
    return d;
}

void freshFile(const std::string& path)
{
    std::error_code ignored;
    fs::remove(path, ignored);
    fs::remove(path + "-journal", ignored);
}

void insertWithLayer(const std::string& path)
{
    freshFile(path);
    BRDatabase db(path);
    db.open();
    db.setShouldCacheStatements(true); // as the data manager runs it
    if (!db.executeUpdate(kCreate))
        std::abort();
    db.beginTransaction();
    for (const Row& r : data().rows) {
        if (!db.executeUpdate(kInsert, r.id, r.sku, r.name, r.desc, r.publish, r.ordering, r.stock,
                              r.price, r.currency, base::Date(r.date), r.tags))
            std::abort();
    }
    if (!db.commit())
        std::abort();
}

void insertRaw(const std::string& path)
{
    freshFile(path);
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    sqlite3_exec(db, kCreate, nullptr, nullptr, nullptr);
    sqlite3_exec(db, "begin exclusive transaction", nullptr, nullptr, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, kInsert, -1, &statement, nullptr);
    auto text = [&](int column, const std::string& s) {
        sqlite3_bind_text(statement, column, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
    };
    for (const Row& r : data().rows) {
        sqlite3_bind_int64(statement, 1, r.id);
        text(2, r.sku);
        text(3, r.name);
        text(4, r.desc);
        sqlite3_bind_int64(statement, 5, r.publish);
        sqlite3_bind_int64(statement, 6, r.ordering);
        sqlite3_bind_int64(statement, 7, r.stock);
        sqlite3_bind_double(statement, 8, r.price);
        text(9, r.currency);
        sqlite3_bind_double(statement, 10, r.date);
        text(11, r.tags);
        if (sqlite3_step(statement) != SQLITE_DONE)
            std::abort();
        sqlite3_reset(statement);
    }
    sqlite3_finalize(statement);
    if (sqlite3_exec(db, "commit transaction", nullptr, nullptr, nullptr) != SQLITE_OK)
        std::abort();
    sqlite3_close(db);
}

void BM_InsertLayer(benchmark::State& state)
{
    for (auto _ : state)
        insertWithLayer(data().file("layer.sqlite"));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(data().rows.size()));
}

void BM_InsertRaw(benchmark::State& state)
{
    for (auto _ : state)
        insertRaw(data().file("raw.sqlite"));
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(data().rows.size()));
}

void BM_ReadLayer(benchmark::State& state)
{
    const std::string path = data().file("read-layer.sqlite");
    insertWithLayer(path);
    BRDatabase db(path);
    db.open();
    db.setShouldCacheStatements(true);
    for (auto _ : state) {
        auto rs = db.executeQuery(kSelect);
        size_t rows = 0;
        while (rs->next()) {
            benchmark::DoNotOptimize(rs->intForColumn("product_id"));
            benchmark::DoNotOptimize(rs->stringForColumn("product_sku"));
            benchmark::DoNotOptimize(rs->stringForColumn("product_name"));
            benchmark::DoNotOptimize(rs->stringForColumn("product_s_desc"));
            benchmark::DoNotOptimize(rs->intForColumn("product_publish"));
            benchmark::DoNotOptimize(rs->intForColumn("product_ordering"));
            benchmark::DoNotOptimize(rs->intForColumn("product_stock"));
            benchmark::DoNotOptimize(rs->doubleForColumn("price"));
            benchmark::DoNotOptimize(rs->stringForColumn("currency"));
            benchmark::DoNotOptimize(rs->dateForColumn("product_c_date"));
            benchmark::DoNotOptimize(rs->stringForColumn("product_tags"));
            ++rows;
        }
        if (rows != data().rows.size())
            std::abort();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(data().rows.size()));
}

void BM_ReadRaw(benchmark::State& state)
{
    const std::string path = data().file("read-raw.sqlite");
    insertRaw(path);
    sqlite3* db = nullptr;
    sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, kSelect, -1, &statement, nullptr);
    // Names resolved once, as a hand-written reader would.
    int index[11];
    for (int c = 0; c < 11; ++c) {
        for (int i = 0; i < sqlite3_column_count(statement); ++i) {
            if (std::string(sqlite3_column_name(statement, i)) == kColumns[c])
                index[c] = i;
        }
    }
    auto text = [&](int column) -> std::optional<std::string> {
        if (sqlite3_column_type(statement, column) == SQLITE_NULL)
            return std::nullopt;
        auto p = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        return std::string(p, static_cast<size_t>(sqlite3_column_bytes(statement, column)));
    };
    for (auto _ : state) {
        size_t rows = 0;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            benchmark::DoNotOptimize(sqlite3_column_int(statement, index[0]));
            benchmark::DoNotOptimize(text(index[1]));
            benchmark::DoNotOptimize(text(index[2]));
            benchmark::DoNotOptimize(text(index[3]));
            benchmark::DoNotOptimize(sqlite3_column_int(statement, index[4]));
            benchmark::DoNotOptimize(sqlite3_column_int(statement, index[5]));
            benchmark::DoNotOptimize(sqlite3_column_int(statement, index[6]));
            benchmark::DoNotOptimize(sqlite3_column_double(statement, index[7]));
            benchmark::DoNotOptimize(text(index[8]));
            benchmark::DoNotOptimize(sqlite3_column_double(statement, index[9]));
            benchmark::DoNotOptimize(text(index[10]));
            ++rows;
        }
        sqlite3_reset(statement);
        if (rows != data().rows.size())
            std::abort();
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(data().rows.size()));
}

// Keeps each run's time per iteration so the ratios can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            m_times[run.benchmark_name()] = {run.GetAdjustedRealTime(), run.GetAdjustedCPUTime()};
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        ratio("insert", "BM_InsertLayer", "BM_InsertRaw");
        ratio("read by name", "BM_ReadLayer", "BM_ReadRaw");
    }

private:
    void ratio(const char* what, const std::string& layer, const std::string& raw)
    {
        auto a = m_times.find(layer), b = m_times.find(raw);
        if (a == m_times.end() || b == m_times.end() || b->second.first <= 0 || b->second.second <= 0)
            return;
        // The processor time leaves out waits for the disk, which a loaded machine stretches.
        std::printf("%s, %zu rows: layer / raw = %.2fx real time, %.2fx processor time\n", what,
                    data().rows.size(), a->second.first / b->second.first,
                    a->second.second / b->second.second);
    }
    std::map<std::string, std::pair<double, double>> m_times;
};

} // namespace

BENCHMARK(BM_InsertLayer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_InsertRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadLayer)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadRaw)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
