// Searches that compare folded text, beside the same searches with SQLite's lower(), over
// 20,000 products, orders and customers whose names are four in five outside ASCII.
// Products and orders run the models' statements both ways on one connection; customers run
// the model's in-memory search and the same walk over the same texts lowered as lower() does.
// Prints the median of each and the ratio folded/lower. BRIVANTA_BENCH_SMOKE=1: 500 rows.
#include "BenchSupport.h"

#include "Classes/Customer/CustomerDataModel.h"
#include "Database/DataAccessManager.h"
#include "Database/QuoteOrderModelRows.h"
#include "Platform/Base/Text.h"
#include "Database/SQLite/BRDatabase.h"
#include "Protocol/LoginMode.h"

#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Four names in five outside ASCII: Latin with marks, Greek, Cyrillic, Chinese, and plain ASCII.
const char* const kNames[] = {"Ärzte Müller", "Σωκράτης Ανώνυμος", "Шереметьево Склад", "北京公司", "Acme Supplies"};
// Keys both rules match alike (lower() leaves capitals outside ASCII as they are), so the two
// searches find the same rows and differ only in the function.
const char* const kKeys[] = {"müller", "ωκράτ", "клад", "北京", "SUPPLIES", "acme", "zz9"};

// The models' search statements, each with the function that folds its columns.
std::string productSearch(const char* fold)
{
    std::string f = fold;
    return "select t1.* from brivanta_product t1 where (" + f + "(t1.product_sku) like '%' || ? || '%' ESCAPE '\\' or "
        + f + "(t1.product_name) like '%' || ? || '%' ESCAPE '\\' or " + f
        + "(t1.product_tags) like '%' || ? || '%' ESCAPE '\\') and t1.product_publish = 1  order by t1.product_name";
}

std::string orderSearch(const char* fold)
{
    std::string f = fold;
    return "SELECT * FROM brivanta_quote_order WHERE 1 = 1 and (" + f + "(customer_name) like '%' || ?1 || '%' "
        "ESCAPE '\\' or " + f + "(order_number) like '%' || ?1 || '%' ESCAPE '\\') order by " BR_ORDER_DATE_KEY
        " desc, abs(order_id) desc";
}

// SQLite's lower(): ASCII letters only.
std::string asciiLower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

struct Home {
    fs::path folder;
    int rows;

    Home()
    {
        rows = benchsupport::smokeRun() ? 500 : 20000;
        std::string pattern = (fs::temp_directory_path() / "brfolded-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        fs::path exe = fs::read_symlink("/proc/self/exe");
        setenv("BRIVANTA_HOME", (folder / "home").c_str(), 1);
        setenv("BRIVANTA_BUNDLE", (exe.parent_path().parent_path() / "bin/Resources").c_str(), 1);
        LoginMode::sharedInstance()->setClientID("bench");
        if (!DataAccessManager::sharedDataModel()->hasModels())
            std::abort();
        auto db = BRDatabase::sharedDataBase();
        std::mt19937 random(20261208);
        auto name = [&](int i) { return std::string(kNames[random() % 5]) + " " + std::to_string(i); };
        if (!db->beginTransaction())
            std::abort();
        bool ok = true;
        for (int i = 1; i <= rows; ++i) {
            ok = ok
                && db->executeUpdate("insert into brivanta_product (product_id, product_sku, product_name, "
                                     "product_tags, product_publish) values (?, ?, ?, ?, 1)",
                                     i, "SKU-" + std::to_string(i), name(i), std::string(kNames[i % 5]) + ",Tag")
                && db->executeUpdate("insert into brivanta_quote_order (order_id, order_number, customer_name, "
                                     "cdate, uploaded) values (?, ?, ?, ?, 0)",
                                     -i, "NO-" + std::to_string(i), name(i), "12/0" + std::to_string(1 + i % 9) + "/2026 10:00:00")
                && db->executeUpdate("insert into brivanta_customer (customer_id, customer_name, customer_publish) "
                                     "values (?, ?, 1)",
                                     i, name(i))
                && db->executeUpdate("insert into brivanta_customer_address (customer_id, address, city, state, "
                                     "zip_code, isDefault) values (?, ?, ?, ?, ?, 1)",
                                     i, name(i) + " Straße", name(i), "Zürich", std::to_string(10000 + i))
                && db->executeUpdate("insert into brivanta_customer_contact (customer_id, first_name, last_name, "
                                     "job_title, email, isDefault) values (?, ?, ?, ?, ?, 1)",
                                     i, name(i), name(i), "Käufer", "buyer" + std::to_string(i) + "@example.com");
        }
        if (!ok || !db->commit())
            std::abort();
        CustomerDataModel::sharedInstance()->reloadCustomerData();
    }
    ~Home() { fs::remove_all(folder); }
};

Home& home()
{
    static Home made;
    return made;
}

// Steps every row and reads every column, as a model reading its records would.
long runStatement(const std::string& sql, const std::string& key, int binds)
{
    auto db = BRDatabase::sharedDataBase();
    std::vector<base::Value> args(static_cast<size_t>(binds), base::Value(key));
    auto rs = db->executeQueryWithArgumentsInArray(sql, args);
    long found = 0;
    if (!rs)
        std::abort();
    while (rs->next()) {
        for (int c = 0; c < rs->columnCount(); ++c)
            benchmark::DoNotOptimize(rs->stringForColumnIndex(c));
        ++found;
    }
    rs->close();
    return found;
}

// The customer model's walk over every searched text, with lower()'s rule instead of the fold.
long lowerCustomerSearch(const std::string& key)
{
    auto model = CustomerDataModel::sharedInstance();
    std::string lowered = asciiLower(key);
    auto holds = [&](std::string_view text) {
        return !text.empty() && asciiLower(text).find(lowered) != std::string::npos;
    };
    // The model hands back copies of what it found: so does this.
    std::vector<PersonInfo> found;
    for (const auto& person : model->allSearchPersonList()) {
        // The rows' texts read where they are packed, as the model reads them.
        bool hit = holds(person.name)
            || person.attribute.anyText<&customer_attribute_cell_Entity::attributeValue>(holds)
            || person.address.anyText(holds) || person.contact.anyText(holds);
        if (hit)
            found.push_back(person);
    }
    return static_cast<long>(found.size());
}

struct Pair {
    const char* what;
    std::function<long(const std::string& key)> folded;
    std::function<long(const std::string& key)> lower;
};

std::vector<Pair> pairs()
{
    return {
        {"products", [](const std::string& k) { return runStatement(productSearch("folded"), base::folded(k), 3); },
         [](const std::string& k) { return runStatement(productSearch("lower"), asciiLower(k), 3); }},
        {"orders", [](const std::string& k) { return runStatement(orderSearch("folded"), base::folded(k), 1); },
         [](const std::string& k) { return runStatement(orderSearch("lower"), asciiLower(k), 1); }},
        {"customers",
         [](const std::string& k) { return static_cast<long>(CustomerDataModel::sharedInstance()->customerSearch(k).size()); },
         [](const std::string& k) { return lowerCustomerSearch(k); }},
    };
}

void BM_FoldedSearch(benchmark::State& state)
{
    home();
    const Pair pair = pairs()[static_cast<size_t>(state.range(0))];
    const int rounds = benchsupport::smokeRun() ? 1 : 15;
    std::vector<double> foldedMs, lowerMs;
    long foldedFound = 0, lowerFound = 0;
    for (auto _ : state) {
        // Alternate the two, key by key, so that both see the same machine.
        for (int r = 0; r < rounds; ++r) {
            for (const char* key : kKeys) {
                auto start = std::chrono::steady_clock::now();
                foldedFound += pair.folded(key);
                foldedMs.push_back(benchsupport::msSince(start));
                start = std::chrono::steady_clock::now();
                lowerFound += pair.lower(key);
                lowerMs.push_back(benchsupport::msSince(start));
            }
        }
    }
    double f = benchsupport::median(foldedMs), l = benchsupport::median(lowerMs);
    state.counters["folded_ms"] = f;
    state.counters["lower_ms"] = l;
    state.counters["ratio"] = f / l;
    if (foldedFound != lowerFound) {
        state.SkipWithError("the two searches found different rows");
        return;
    }
    std::printf("%-9s %d rows: folded() %.2f ms, lower() %.2f ms, ratio %.2f (median of %zu searches)\n", pair.what,
                home().rows, f, l, f / l, foldedMs.size());
}
BENCHMARK(BM_FoldedSearch)->DenseRange(0, 2)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
