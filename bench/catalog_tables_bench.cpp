// The catalogue table models against raw prepared statements doing the same work: every bulk
// save as a first load into an empty table and as a full re-save over the stored rows, the
// product search (p50 and p95 over ten texts) and the tag list. Prints the query plans of the
// per-record deletes and the model / raw ratios.
// Generated data with a fixed seed: a tenth of the full size by default; BRIVANTA_BENCH_FULL=1
// uses 20,000 products, 60,000 attributes, 40,000 category links, 20,000 prices, 50,000 images,
// 2,000 icons, 1,000 tags and 30,000 tag links.
#include "Database/DataAccessManager.h"
#include "Database/IconModel.h"
#include "Database/ImageModel.h"
#include "Database/PriceModel.h"
#include "Database/ProductModel.h"
#include "Database/SQLite/BRDatabase.h"
#include "Database/productAndcategoryXrefModel.h"
#include "Protocol/LoginMode.h"

#include "BenchSupport.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char* const kWords[] = {"Chair", "Table", "Lamp", "Sofa", "Desk", "Shelf", "Cabinet", "Bench",
                              "Stool", "O'Neil"};
const char* const kSearches[] = {"chair", "lamp", "o'neil", "50%", "sku-1", "red", "desk 12", "ab",
                                 "bench", "zz"};
const char* const kColours[] = {"red", "blue", "green", "black", "white", "oak", "steel", "beach"};

struct Data {
    fs::path folder;
    std::string rawPath;
    std::vector<brivanta_product_Entity> products;
    std::vector<brivanta_product_attribute_Entity> attributes;
    std::vector<brivanta_product_category_xref_Entity> links;
    std::vector<brivanta_product_price_Entity> prices;
    std::vector<brivanta_image_Entity> images;
    std::vector<brivanta_icon_Entity> icons;
    std::vector<brivanta_tag_entity> tags;
    std::vector<brivanta_product_related_tag_Entity> tagLinks;

    Data()
    {
        const int scale = std::getenv("BRIVANTA_BENCH_FULL") ? 10 : 1;
        const int productCount = 2000 * scale;
        std::mt19937 random(20130507);
        auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };

        std::string pattern = (fs::temp_directory_path() / "brcatalog-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        rawPath = (folder / "raw.sqlite").string();

        for (int i = 1; i <= productCount; ++i) {
            brivanta_product_Entity p;
            p.product_id = i;
            p.product_sku = i % 10 ? "SKU-" + std::to_string(i) : "bench_" + std::to_string(i);
            p.product_name = std::string(kWords[pick(10)]) + " " + std::to_string(pick(1000))
                + (pick(50) ? "" : " 50% off");
            p.product_s_desc = "A short description";
            p.product_l_desc = "A longer description of the product, as the catalogue shows it.";
            p.product_publish = i % 40 ? 1 : 0;
            p.product_ordering = pick(100);
            p.product_stock = pick(500);
            p.product_tags = std::string(kColours[pick(8)]) + "," + kColours[pick(8)];
            products.push_back(p);
            for (int a = 0; a < 3; ++a) {
                brivanta_product_attribute_Entity attribute;
                attribute.attribute_id = (i - 1) * 3 + a + 1;
                attribute.product_id = i;
                attribute.attribute_fields_id = a + 1;
                attribute.attribute_value = "Small,Medium,Large";
                attribute.default_value = "Medium";
                attributes.push_back(attribute);
            }
            links.push_back({pick(100), i});
            links.push_back({pick(100), i});
            brivanta_product_price_Entity price;
            price.price_id = i;
            price.product_id = i;
            price.price = pick(100000) / 100.0;
            price.currency = i % 2 ? "USD" : "CNY";
            price.discount_price = price.price * 0.9;
            price.discount_start_date = base::Date(1367937000);
            price.discount_end_date = base::Date(1367937000 + 86400.0 * pick(60));
            price.discontRat = 90;
            prices.push_back(price);
        }
        for (int i = 1; i <= 25 * productCount / 10; ++i) {
            brivanta_image_Entity image;
            image.image_id = i;
            image.key_id = 1 + pick(productCount);
            image.key_type = "product";
            image.image_thumb_address = "thumb" + std::to_string(i) + ".jpg";
            image.image_full_address = "full" + std::to_string(i) + ".jpg";
            image.image_isdault = i % 5 == 0;
            image.image_publis = 1;
            image.image_ordering = i % 5;
            images.push_back(image);
        }
        for (int i = 1; i <= 200 * scale; ++i) {
            brivanta_icon_Entity icon;
            icon._id = i;
            icon.title = "icon " + std::to_string(i);
            icon.name = "icon" + std::to_string(i) + ".png";
            icon.width = icon.height = 32;
            icon.publish = 1;
            icons.push_back(icon);
        }
        for (int i = 1; i <= 100 * scale; ++i) {
            brivanta_tag_entity tag;
            tag.tag_id = i;
            tag.tag_name = "tag " + std::to_string(i);
            tags.push_back(tag);
        }
        for (int i = 0; i < 3000 * scale; ++i)
            tagLinks.push_back({1 + pick(productCount), 1 + pick(100 * scale)});
    }
    ~Data()
    {
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
};

Data& data()
{
    static Data d;
    return d;
}

// The client's database through the data manager, made from the built template.
std::shared_ptr<DataAccessManager> manager()
{
    static std::shared_ptr<DataAccessManager> m = [] {
        fs::path exe = fs::read_symlink("/proc/self/exe");
        setenv("BRIVANTA_HOME", (data().folder / "home").c_str(), 1);
        setenv("BRIVANTA_BUNDLE", (exe.parent_path().parent_path() / "bin/Resources").c_str(), 1);
        LoginMode::sharedInstance()->setClientID("Bench");
        auto made = DataAccessManager::sharedDataModel();
        if (!made->hasModels())
            std::abort();
        return made;
    }();
    return m;
}

// The peer: a copy of the same template, written with hand-prepared statements.
sqlite3* raw()
{
    static sqlite3* db = [] {
        manager();
        fs::copy_file(*DataAccessManager::dataFilePath(), data().rawPath, fs::copy_options::overwrite_existing);
        sqlite3* handle = nullptr;
        if (sqlite3_open_v2(data().rawPath.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            std::abort();
        return handle;
    }();
    return db;
}

// Empties the table on the side being measured only: every commit waits for the disk.
void clear(const char* table, bool peer)
{
    std::string sql = std::string("delete from ") + table;
    if (peer)
        sqlite3_exec(raw(), sql.c_str(), nullptr, nullptr, nullptr);
    else if (!BRDatabase::sharedDataBase()->executeUpdate(sql)) {
        // Timing over tables left full would measure the wrong thing.
        std::fprintf(stderr, "cannot clear %s\n", table);
        std::abort();
    }
}

// One transaction of prepared statements on the peer, values bound in order.
class RawTransaction {
public:
    RawTransaction() { sqlite3_exec(raw(), "begin exclusive transaction", nullptr, nullptr, nullptr); }
    ~RawTransaction()
    {
        for (auto* statement : m_statements)
            sqlite3_finalize(statement);
        if (sqlite3_exec(raw(), "commit transaction", nullptr, nullptr, nullptr) != SQLITE_OK)
            std::abort();
    }
    RawTransaction& prepare(const char* sql)
    {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(raw(), sql, -1, &statement, nullptr) != SQLITE_OK)
            std::abort();
        m_statements.push_back(statement);
        return *this;
    }
    RawTransaction& use(size_t index)
    {
        m_current = m_statements[index];
        m_column = 0;
        return *this;
    }
    RawTransaction& integer(long long v)
    {
        sqlite3_bind_int64(m_current, ++m_column, v);
        return *this;
    }
    RawTransaction& real(double v)
    {
        sqlite3_bind_double(m_current, ++m_column, v);
        return *this;
    }
    RawTransaction& date(const std::optional<base::Date>& d)
    {
        if (d)
            return real(d->timeIntervalSince1970());
        sqlite3_bind_null(m_current, ++m_column);
        return *this;
    }
    RawTransaction& text(const std::optional<std::string>& s)
    {
        if (s)
            sqlite3_bind_text(m_current, ++m_column, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
        else
            sqlite3_bind_null(m_current, ++m_column);
        return *this;
    }
    void step()
    {
        if (sqlite3_step(m_current) != SQLITE_DONE)
            std::abort();
        sqlite3_reset(m_current);
    }

private:
    std::vector<sqlite3_stmt*> m_statements;
    sqlite3_stmt* m_current = nullptr;
    int m_column = 0;
};

// The peers do the statements the models do, so the ratio is the models' own cost.
void rawProducts()
{
    RawTransaction t;
    t.prepare("INSERT or REPLACE INTO brivanta_product(product_id,product_sku,product_name,product_s_desc,"
              "product_l_desc,product_publish,product_ordering,product_stock,product_sale,product_buy,"
              "product_tags) VALUES(?,?,?,?,?,?,?,?,?,?,?)")
        .prepare("delete from brivanta_product_attribute where product_id = ?");
    for (const auto& p : data().products) {
        t.use(0).integer(p.product_id).text(p.product_sku).text(p.product_name).text(p.product_s_desc)
            .text(p.product_l_desc).integer(p.product_publish).integer(p.product_ordering)
            .integer(p.product_stock).integer(p.product_sale).integer(p.product_buy).text(p.product_tags).step();
        t.use(1).integer(p.product_id).step();
    }
}

void rawAttributes()
{
    RawTransaction t;
    t.prepare("INSERT or REPLACE INTO brivanta_product_attribute(attribute_id,product_id,attribute_fields_id,"
              "attribute_value,selection_list) VALUES(?,?,?,?,?)");
    for (const auto& a : data().attributes) {
        t.use(0).integer(a.attribute_id).integer(a.product_id).integer(a.attribute_fields_id)
            .text(a.default_value).text(a.attribute_value).step();
    }
}

void rawLinks()
{
    RawTransaction t;
    t.prepare("DELETE FROM brivanta_product_category_xref WHERE product_id = ?")
        .prepare("INSERT or REPLACE INTO brivanta_product_category_xref(category_id,product_id) VALUES(?,?)");
    std::set<int> cleared;
    for (const auto& l : data().links) {
        if (cleared.insert(l.product_id).second)
            t.use(0).integer(l.product_id).step();
    }
    for (const auto& l : data().links)
        t.use(1).integer(l.category_id).integer(l.product_id).step();
}

void rawPrices()
{
    RawTransaction t;
    t.prepare("INSERT or REPLACE INTO brivanta_product_price(price_id,product_id,vendor_group_id_list,"
              "vendor_state_id_list,vendor_id_list,customer_id_list,price,currency,discount_price,"
              "discount_identifier,discount_start_date,discount_end_date,discount_publish,tier_start_date,"
              "tier_end_date,tier_quantity_price,tier_publish,discount_rat) "
              "VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
    for (const auto& p : data().prices) {
        t.use(0).integer(p.price_id).integer(p.product_id).text(p.vendor_group_id_list)
            .text(p.vendor_state_id_list).text(p.vendor_id_list).text(p.customer_id_list).real(p.price)
            .text(p.currency).real(p.discount_price).text(p.discount_identifier).date(p.discount_start_date)
            .date(p.discount_end_date).integer(p.discount_publish).date(p.tier_start_date)
            .date(p.tier_end_date).text(p.tier_quantity_price).integer(p.tier_publish).real(p.discontRat).step();
    }
}

void rawImages()
{
    RawTransaction t;
    t.prepare("INSERT or REPLACE INTO brivanta_image(image_id,key_id,key_type,image_thumb_address,"
              "image_full_address,image_isdault,image_s_desc,image_l_desc,image_publis,image_ordering) "
              "VALUES(?,?,?,?,?,?,?,?,?,?)");
    for (const auto& i : data().images) {
        t.use(0).integer(i.image_id).integer(i.key_id).text(i.key_type).text(i.image_thumb_address)
            .text(i.image_full_address).integer(i.image_isdault).text(i.image_s_desc).text(i.image_l_desc)
            .integer(i.image_publis).integer(i.image_ordering).step();
    }
}

void rawIcons()
{
    RawTransaction t;
    t.prepare("INSERT or REPLACE INTO brivanta_icon(id,title,name,width,height,description,category,publish) "
              "VALUES(?,?,?,?,?,?,?,?)");
    for (const auto& i : data().icons) {
        t.use(0).integer(i._id).text(i.title).text(i.name).integer(i.width).integer(i.height)
            .text(i.description).text(i.category).integer(i.publish).step();
    }
}

void rawTags()
{
    RawTransaction t;
    t.prepare("delete from brivanta_product_tag")
        .prepare("INSERT or REPLACE INTO brivanta_product_tag(tag_id,tag_name) VALUES(?,?)");
    t.use(0).step();
    for (const auto& tag : data().tags)
        t.use(1).integer(tag.tag_id).text(tag.tag_name).step();
}

void rawTagLinks()
{
    RawTransaction t;
    t.prepare("delete from brivanta_product_related_tag")
        .prepare("INSERT or REPLACE INTO brivanta_product_related_tag(tag_id,product_id) VALUES(?,?)");
    t.use(0).step();
    for (const auto& l : data().tagLinks)
        t.use(1).integer(l.tag_id).integer(l.product_id).step();
}

struct Table {
    const char* name;
    size_t rows;
    std::function<bool()> model;
    std::function<void()> peer;
};

std::vector<Table>& tables()
{
    static std::vector<Table> list = [] {
        auto& d = data();
        auto products = [] { return manager()->productmodel(); };
        return std::vector<Table>{
            {"brivanta_product", d.products.size(),
             [=] { return products()->saveToDatabaseProduct(data().products); }, rawProducts},
            {"brivanta_product_attribute", d.attributes.size(),
             [=] { return products()->saveToDatabaseProductAttribute(data().attributes); }, rawAttributes},
            {"brivanta_product_category_xref", d.links.size(),
             [] { return manager()->pacmodel()->saveToDatabasePxrefC(data().links); }, rawLinks},
            {"brivanta_product_price", d.prices.size(),
             [] { return manager()->pricemodel()->saveToDatabasePrice(data().prices); }, rawPrices},
            {"brivanta_image", d.images.size(),
             [] { return manager()->imagemodel()->saveToDatabaseImage(data().images); }, rawImages},
            {"brivanta_icon", d.icons.size(),
             [] { return manager()->iconmodel()->saveToDatabaseIcon(data().icons); }, rawIcons},
            {"brivanta_product_tag", d.tags.size(),
             [=] { return products()->saveToDatabaseProductTag(data().tags); }, rawTags},
            {"brivanta_product_related_tag", d.tagLinks.size(),
             [=] { return products()->saveToDatabaseProductRelatedTag(data().tagLinks); }, rawTagLinks},
        };
    }();
    return list;
}

// range(0): the table; range(1): 0 first load into an empty table, 1 re-save over every row;
// range(2): 0 the model, 1 the raw peer.
void BM_Save(benchmark::State& state)
{
    const Table& table = tables()[static_cast<size_t>(state.range(0))];
    const bool resave = state.range(1) == 1, peer = state.range(2) == 1;
    state.SetLabel(std::string(table.name) + (resave ? " re-save" : " first load") + (peer ? " raw" : " model"));
    for (auto _ : state) {
        state.PauseTiming();
        clear(table.name, peer);
        if (resave) {
            if (peer)
                table.peer();
            else if (!table.model())
                std::abort();
        }
        state.ResumeTiming();
        if (peer)
            table.peer();
        else if (!table.model())
            std::abort();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(table.rows));
}

void loadEverything()
{
    static bool loaded = false;
    if (loaded)
        return;
    for (const auto& table : tables()) // products first: their save clears their attributes
        if (!table.model())
            std::abort();
    loaded = true;
}

void percentiles(benchmark::State& state, std::vector<double>& millis)
{
    std::sort(millis.begin(), millis.end());
    if (millis.empty())
        return;
    state.counters["p50_ms"] = millis[millis.size() / 2];
    state.counters["p95_ms"] = millis[std::min(millis.size() - 1, millis.size() * 95 / 100)];
}

template <typename Work>
double timed(Work work)
{
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void BM_ProductSearch(benchmark::State& state)
{
    loadEverything();
    auto model = manager()->productmodel();
    std::vector<double> millis;
    for (auto _ : state) {
        for (const char* text : kSearches)
            millis.push_back(timed([&] { benchmark::DoNotOptimize(model->getProductsBySearchString(text)); }));
    }
    percentiles(state, millis);
}

void BM_GetAllProductTags(benchmark::State& state)
{
    loadEverything();
    auto model = manager()->productmodel();
    std::vector<double> millis;
    for (auto _ : state) {
        millis.push_back(timed([&] {
            auto tags = model->getAllProductTags();
            if (tags.empty())
                std::abort();
            benchmark::DoNotOptimize(tags);
        }));
    }
    percentiles(state, millis);
}

void printPlans()
{
    manager();
    for (const char* sql : {"EXPLAIN QUERY PLAN delete from brivanta_product_attribute where product_id = ?",
                            "EXPLAIN QUERY PLAN DELETE FROM brivanta_product_category_xref WHERE product_id = ?"}) {
        auto rs = BRDatabase::sharedDataBase()->executeQuery(sql, 1);
        while (rs && rs->next())
            std::printf("%s: %s\n", sql + 19, rs->stringForColumn("detail").value_or("").c_str());
    }
}


} // namespace

BENCHMARK(BM_Save)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5, 6, 7}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ProductSearch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetAllProductTags)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    printPlans();
    benchsupport::TableRatioReporter reporter([] { return tables(); });
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    DataAccessManager::releaseDataModel();
    if (sqlite3* db = raw())
        sqlite3_close(db);
    return 0;
}
