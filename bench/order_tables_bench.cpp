// The order tables against raw SQLite on the same files: reading every order with its lines
// (and a search), the upload document over unsent orders carrying signatures, and the import
// of the server's order history. The raw peer is one prepared join reading the same rows, and
// prepared inserts writing them. Prints the ratios and the statements compiled per call.
// Small data by default; BRIVANTA_BENCH_FULL=1 uses 2,000 orders of 5 lines, 500 unsent orders
// with 20 KB signatures and 1,000 history orders with 5,000 lines.
#include "Database/DataAccessManager.h"
#include "Database/ProductModel.h"
#include "Database/QuoteOrderModel.h"
#include "Database/SQLite/BRDatabase.h"
#include "Platform/Base/Log.h"
#include "Protocol/LoginMode.h"

#include "OrderBenchData.h"

#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

long g_compiled = 0;

} // namespace

// Every compile goes through here, so a run can count them; the work is SQLite's own.
extern "C" int sqlite3_prepare_v2(sqlite3* db, const char* sql, int bytes, sqlite3_stmt** statement,
                                  const char** tail)
{
    using Prepare = int (*)(sqlite3*, const char*, int, sqlite3_stmt**, const char**);
    static const auto real = reinterpret_cast<Prepare>(dlsym(RTLD_NEXT, "sqlite3_prepare_v2"));
    ++g_compiled;
    return real(db, sql, bytes, statement, tail);
}

namespace {

struct Sizes {
    int orders, linesPerOrder, unsent, signatureBytes, historyOrders, historyLines, products;
};

Sizes sizes()
{
    if (std::getenv("BRIVANTA_BENCH_FULL"))
        return {2000, 5, 500, 20 * 1024, 1000, 5000, 200};
    return {200, 5, 50, 20 * 1024, 10, 50, 50}; // the import commits per call: keep it short
}

// A home of its own with the built template, and one client per data set.
class World {
public:
    World()
    {
        std::string pattern = (fs::temp_directory_path() / "brorder-bench-XXXXXX").string();
        m_home = ::mkdtemp(pattern.data());
        ::setenv("BRIVANTA_HOME", m_home.c_str(), 1);
        fs::path exe = fs::read_symlink("/proc/self/exe").parent_path();
        ::setenv("BRIVANTA_BUNDLE", (exe.parent_path() / "bin/Resources").c_str(), 1);
        // The upload document is logged whole; the console is no part of the measure.
        base::setLogCapture([](const std::string&) {});
        LoginMode::sharedInstance()->setAcountID("bob");
        LoginMode::sharedInstance()->setVendorId(12);
        QuoteOrderModel::setCustomerOnShowHook([] { return true; });
    }
    // Before the process's statics go: the shared connection is one of them.
    void close()
    {
        DataAccessManager::releaseDataModel();
        std::error_code ignored;
        fs::remove_all(m_home, ignored);
    }

    // The manager of that client, made on first use.
    std::shared_ptr<DataAccessManager> use(const std::string& client)
    {
        if (LoginMode::sharedInstance()->clientID() != client) {
            DataAccessManager::releaseDataModel();
            LoginMode::sharedInstance()->setClientID(client);
        }
        auto manager = DataAccessManager::sharedDataModel();
        if (!manager->hasModels())
            std::abort();
        return manager;
    }
    std::string file(const std::string& client) const
    {
        return (m_home / "Documents" / client / "brivanta_lite.sqlite").string();
    }

private:
    fs::path m_home;
};

World& world()
{
    static World w;
    return w;
}

using benchsupport::saveOrders;
using benchsupport::saveProducts;

std::shared_ptr<DataAccessManager> ordersClient()
{
    static bool made = false;
    auto manager = world().use("orders");
    if (!made) {
        saveProducts(*manager, sizes().products);
        saveOrders(*manager, sizes().orders, sizes().linesPerOrder, sizes().products, 0);
        made = true;
    }
    return manager;
}

std::shared_ptr<DataAccessManager> uploadClient()
{
    static bool made = false;
    auto manager = world().use("upload");
    if (!made) {
        saveProducts(*manager, sizes().products);
        saveOrders(*manager, sizes().unsent, sizes().linesPerOrder, sizes().products, sizes().signatureBytes);
        made = true;
    }
    return manager;
}

void reportCompiles(benchmark::State& state, long before)
{
    state.counters["compiled/call"] =
        benchmark::Counter(static_cast<double>(g_compiled - before) / static_cast<double>(state.iterations()));
}

// --- Reading orders with their lines ----------------------------------------------------

void BM_FetchOrders(benchmark::State& state)
{
    auto model = ordersClient()->quoteOrderModel();
    model->fetchQuoteOrdersCondition(0, std::nullopt); // warm the statement cache
    long before = g_compiled;
    size_t lines = 0;
    for (auto _ : state) {
        auto orders = model->fetchQuoteOrdersCondition(0, std::nullopt);
        lines = 0;
        for (const auto& order : orders)
            lines += order->items().size();
        benchmark::DoNotOptimize(lines);
    }
    if (lines != static_cast<size_t>(sizes().orders * sizes().linesPerOrder))
        std::abort();
    reportCompiles(state, before);
}

void BM_SearchOrders(benchmark::State& state)
{
    auto model = ordersClient()->quoteOrderModel();
    model->fetchQuoteOrdersCondition(0, "o'neil");
    long before = g_compiled;
    for (auto _ : state)
        benchmark::DoNotOptimize(model->fetchQuoteOrdersCondition(0, "o'neil"));
    reportCompiles(state, before);
}

using benchsupport::readJoinRaw;

sqlite3* openRaw(const std::string& path)
{
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        std::abort();
    return db;
}

void BM_FetchOrdersRaw(benchmark::State& state)
{
    ordersClient();
    sqlite3* db = openRaw(world().file("orders"));
    long before = g_compiled;
    for (auto _ : state) {
        if (readJoinRaw(db, "", nullptr) != static_cast<size_t>(sizes().orders * sizes().linesPerOrder))
            std::abort();
    }
    reportCompiles(state, before);
    sqlite3_close(db);
}

void BM_SearchOrdersRaw(benchmark::State& state)
{
    ordersClient();
    sqlite3* db = openRaw(world().file("orders"));
    long before = g_compiled;
    for (auto _ : state)
        benchmark::DoNotOptimize(readJoinRaw(
            db, benchsupport::kOrderSearchWhere,
            "%o'neil%"));
    reportCompiles(state, before);
    sqlite3_close(db);
}

// --- The upload document ----------------------------------------------------------------

void BM_UploadDocument(benchmark::State& state)
{
    auto model = uploadClient()->quoteOrderModel();
    model->fetchQuoteOrdersDicString(0);
    long before = g_compiled;
    size_t bytes = 0;
    for (auto _ : state)
        bytes = model->fetchQuoteOrdersDicString(0).value_or("").size();
    if (bytes < static_cast<size_t>(sizes().unsent * sizes().signatureBytes))
        std::abort();
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
    reportCompiles(state, before);
}

void BM_UploadDocumentRaw(benchmark::State& state)
{
    uploadClient();
    sqlite3* db = openRaw(world().file("upload"));
    long before = g_compiled;
    for (auto _ : state)
        benchmark::DoNotOptimize(readJoinRaw(db, "where o.uploaded = 0 and length(trim(o.customer_name)) > 0", nullptr));
    reportCompiles(state, before);
    sqlite3_close(db);
}

// --- History import ---------------------------------------------------------------------

struct History {
    std::vector<base::Value> orders, lines;
};

const History& history()
{
    static History h = [] {
        History made;
        std::mt19937 random(7);
        const Sizes s = sizes();
        for (int i = 0; i < s.historyOrders; ++i) {
            base::Dictionary order{{"order_id", 5000 + i},
                                   {"customer_id", static_cast<int>(random() % 300)},
                                   {"customer_name", "Customer " + std::to_string(random() % 300)},
                                   {"order_number", "bob_" + std::to_string(130000000000 + i)},
                                   {"order_total", 100.5},
                                   {"order_currency", "USD"},
                                   {"cdate", benchsupport::orderDate(random)},
                                   {"discountRate", 90},
                                   {"clientId", "history"}};
            made.orders.emplace_back(std::move(order));
        }
        for (int i = 0; i < s.historyLines; ++i) {
            base::Dictionary line{{"order_item_id", i},
                                  {"order_id", 5000 + i % s.historyOrders},
                                  {"product_id", 1 + static_cast<int>(random() % s.products)},
                                  {"order_item_sku", "SKU"},
                                  {"product_quantity", 2},
                                  {"product_item_price", 10.0},
                                  {"product_final_price", 9.0},
                                  {"discountRate", 90}};
            made.lines.emplace_back(std::move(line));
        }
        return made;
    }();
    return h;
}

void BM_ImportHistory(benchmark::State& state)
{
    auto manager = world().use("history");
    auto model = manager->quoteOrderModel();
    auto db = BRDatabase::sharedDataBase();
    long compiled = 0;
    for (auto _ : state) {
        state.PauseTiming();
        if (!db->executeUpdate("delete from brivanta_quote_order")
            || !db->executeUpdate("delete from brivanta_quote_order_item")) {
            state.SkipWithError("cannot empty the order tables");
            break;
        }
        long before = g_compiled;
        state.ResumeTiming();
        // One call per dictionary, as the order store makes them.
        for (const auto& order : history().orders)
            if (!model->updateLocalHistoryOrderFromServer(order))
                std::abort();
        for (const auto& line : history().lines)
            if (!model->updateLocalHistoryOrderItemFromServer(line))
                std::abort();
        compiled += g_compiled - before;
    }
    state.counters["compiled/call"] = benchmark::Counter(
        static_cast<double>(compiled) /
        static_cast<double>(state.iterations() * (history().orders.size() + history().lines.size())));
}

// Prepared inserts of the same rows, one commit per row as above.
void BM_ImportHistoryRaw(benchmark::State& state)
{
    world().use("history");
    sqlite3* db = openRaw(world().file("history"));
    sqlite3_stmt* order = nullptr;
    sqlite3_stmt* line = nullptr;
    sqlite3_prepare_v2(db, "insert or replace into brivanta_quote_order (order_id, customer_id, customer_name, "
                           "order_number, order_total, order_currency, cdate, discount_rat, uploaded) values "
                           "(?,?,?,?,?,?,?,?,1)", -1, &order, nullptr);
    sqlite3_prepare_v2(db, "insert into brivanta_quote_order_item (order_item_id, order_id, product_id, "
                           "order_item_sku, product_quantity, product_item_price, product_final_price, "
                           "discount_rat) values (?,?,?,?,?,?,?,?)", -1, &line, nullptr);
    auto text = [](sqlite3_stmt* s, int column, const base::Value& v) {
        const std::string& t = v.asString();
        sqlite3_bind_text(s, column, t.data(), static_cast<int>(t.size()), SQLITE_STATIC);
    };
    for (auto _ : state) {
        state.PauseTiming();
        sqlite3_exec(db, "delete from brivanta_quote_order; delete from brivanta_quote_order_item", nullptr,
                     nullptr, nullptr);
        state.ResumeTiming();
        for (const auto& o : history().orders) {
            sqlite3_bind_int64(order, 1, o["order_id"].toInt());
            sqlite3_bind_int64(order, 2, o["customer_id"].toInt());
            text(order, 3, o["customer_name"]);
            text(order, 4, o["order_number"]);
            sqlite3_bind_double(order, 5, o["order_total"].toDouble());
            text(order, 6, o["order_currency"]);
            text(order, 7, o["cdate"]);
            sqlite3_bind_double(order, 8, o["discountRate"].toDouble());
            if (sqlite3_step(order) != SQLITE_DONE)
                std::abort();
            sqlite3_reset(order);
        }
        int id = 0;
        for (const auto& l : history().lines) {
            sqlite3_bind_int64(line, 1, --id);
            sqlite3_bind_int64(line, 2, l["order_id"].toInt());
            sqlite3_bind_int64(line, 3, l["product_id"].toInt());
            text(line, 4, l["order_item_sku"]);
            sqlite3_bind_int64(line, 5, l["product_quantity"].toInt());
            sqlite3_bind_double(line, 6, l["product_item_price"].toDouble());
            sqlite3_bind_double(line, 7, l["product_final_price"].toDouble());
            sqlite3_bind_double(line, 8, l["discountRate"].toDouble());
            if (sqlite3_step(line) != SQLITE_DONE)
                std::abort();
            sqlite3_reset(line);
        }
    }
    sqlite3_finalize(order);
    sqlite3_finalize(line);
    sqlite3_close(db);
}

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
        const Sizes s = sizes();
        std::printf("%d orders x %d lines, %d unsent with %d-byte signatures, %d history orders with %d lines\n",
                    s.orders, s.linesPerOrder, s.unsent, s.signatureBytes, s.historyOrders, s.historyLines);
        ratio("fetch all orders", "BM_FetchOrders", "BM_FetchOrdersRaw");
        ratio("search", "BM_SearchOrders", "BM_SearchOrdersRaw");
        ratio("upload document", "BM_UploadDocument", "BM_UploadDocumentRaw");
        ratio("history import", "BM_ImportHistory", "BM_ImportHistoryRaw");
    }

private:
    void ratio(const char* what, const std::string& layer, const std::string& raw)
    {
        auto a = m_times.find(layer), b = m_times.find(raw);
        if (a == m_times.end() || b == m_times.end() || b->second.first <= 0 || b->second.second <= 0)
            return;
        std::printf("%s: model / raw = %.2fx real time, %.2fx processor time\n", what,
                    a->second.first / b->second.first, a->second.second / b->second.second);
    }
    std::map<std::string, std::pair<double, double>> m_times;
};

} // namespace

BENCHMARK(BM_FetchOrders)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FetchOrdersRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchOrders)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchOrdersRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadDocument)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UploadDocumentRaw)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ImportHistoryRaw)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    world().close();
    return 0;
}
