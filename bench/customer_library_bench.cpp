// The customer and library table models against raw prepared statements: every bulk save as a
// first load into empty tables and as a full re-save over the stored rows, the customer list
// with hidden customers, and the library search in its three orders (p50 and p95 over ten
// texts). Prints the query plans of the per-customer deletes and the model / raw ratios.
// Generated data with a fixed seed: a tenth of the full size by default;
// BRIVANTA_BENCH_FULL=1 uses 5,000 customers with 20,000 attribute values, 5,000 addresses
// and 5,000 contacts, and 3,000 library files in 200 categories.
#include "Database/CustomerModel.h"
#include "Database/DataAccessManager.h"
#include "Database/LibraryCategoryModel.h"
#include "Database/LibraryFilesModel.h"
#include "Database/SQLite/BRDatabase.h"
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
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char* const kWords[] = {"Brochure", "Manual", "Price list", "Catalogue", "Video",
                              "Datasheet", "Guide", "Presentation", "Report", "O'Neil"};
const char* const kSearches[] = {"brochure", "manual", "price", "cat", "video",
                                 "sheet", "guide 1", "o'neil", "50%", "zz"};

struct Data {
    fs::path folder;
    std::string rawPath;
    std::vector<brivanta_customer_Entity> customers;
    std::vector<brivanta_customer_attribute_Entity> attributes;
    std::vector<brivanta_customer_address_Entity> addresses;
    std::vector<brivanta_customer_contact_entity> contacts;
    std::vector<brivanta_fields_customer_attribute_Entity> fields;
    std::vector<brivanta_library_category_Entity> categories;
    std::vector<brivanta_library_files_Entity> files;

    Data()
    {
        const bool full = std::getenv("BRIVANTA_BENCH_FULL") != nullptr;
        const int customerCount = full ? 5000 : 500;
        const int categoryCount = full ? 200 : 20;
        const int fileCount = full ? 3000 : 300;
        std::mt19937 random(20130507);
        auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };

        std::string pattern = (fs::temp_directory_path() / "brcustlib-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        rawPath = (folder / "raw.sqlite").string();

        for (int f = 1; f <= 8; ++f) {
            brivanta_fields_customer_attribute_Entity field;
            field.field_id = f;
            field.field_name = "Field " + std::to_string(f);
            field.data_type = "text";
            field.display = f % 4 ? 1 : 0;
            field.published = 1;
            fields.push_back(field);
        }
        for (int i = 1; i <= customerCount; ++i) {
            brivanta_customer_Entity c;
            c.customer_id = i;
            c.customer_info_id = "C" + std::to_string(100000 + i);
            c.customer_name = "Customer " + std::to_string(pick(100000));
            c.customer_publish = i % 50 ? 1 : 0;
            c.customer_ordering = pick(10);
            c.discount = pick(100) / 100.0;
            customers.push_back(c);
            for (int a = 0; a < 4; ++a) {
                brivanta_customer_attribute_Entity attribute;
                attribute.attribute_id = (i - 1) * 4 + a + 1;
                attribute.customer_id = i;
                attribute.attribute_fields_id = a * 2 + 1 + pick(2);
                attribute.attribute_value = "value " + std::to_string(pick(1000));
                attributes.push_back(attribute);
            }
            brivanta_customer_address_Entity address;
            address.indexId = i;
            address.customerId = i;
            address.customerAddress = std::to_string(pick(999)) + " Main Street";
            address.customerCity = "City " + std::to_string(pick(50));
            address.customerState = "State";
            address.customerZipCode = std::to_string(10000 + pick(89999));
            address.isDefault = true;
            addresses.push_back(address);
            brivanta_customer_contact_entity contact;
            contact.contactID = i;
            contact.customerID = i;
            contact.first_name = "First" + std::to_string(pick(500));
            contact.last_name = "Last" + std::to_string(pick(500));
            contact.job_title = "Buyer";
            contact.work_phone = "555-" + std::to_string(pick(10000));
            contact.mobile_phone = "555-" + std::to_string(pick(10000));
            contact.email = "contact" + std::to_string(i) + "@example.com";
            contact.im = "im" + std::to_string(i);
            contact.note = "note";
            contacts.push_back(contact);
        }
        for (int i = 1; i <= categoryCount; ++i) {
            brivanta_library_category_Entity category;
            category.categoryID = i;
            category.name = "Category " + std::to_string(i);
            category.ordering = i;
            category.published = i % 10 ? 1 : 0;
            category.parent_id = i > 10 ? 1 + pick(10) : 0;
            categories.push_back(category);
        }
        for (int i = 1; i <= fileCount; ++i) {
            brivanta_library_files_Entity file;
            file.file_id = i;
            file.title = std::string(kWords[pick(10)]) + " " + std::to_string(pick(1000))
                + (pick(20) ? "" : " 50% off");
            file.file_name = "file" + std::to_string(i) + ".pdf";
            file.category = pick(categoryCount + 1);
            file.type = i % 3 ? "PDF" : "VEDIO";
            file.date = "2013-0" + std::to_string(1 + pick(9)) + "-1" + std::to_string(pick(10))
                + " 10:00:00";
            file.description = "A document of the sales library";
            file.ordering = i;
            file.published = i % 20 ? 1 : 0;
            file.cover_image = "cover" + std::to_string(i) + ".png";
            file.info = "PDF/1.5 M";
            files.push_back(file);
        }
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
        LoginMode::sharedInstance()->setClientID("bench");
        auto made = DataAccessManager::sharedDataModel();
        if (!made->hasModels())
            std::abort();
        made->customerModel()->saveToDatabaseFieldsCustomerAttribute(data().fields);
        return made;
    }();
    return m;
}

// The peer: the same template, written with hand-prepared statements.
sqlite3* raw()
{
    static sqlite3* db = [] {
        manager();
        fs::copy_file(*DataAccessManager::dataFilePath(), data().rawPath,
                      fs::copy_options::overwrite_existing);
        sqlite3* handle = nullptr;
        if (sqlite3_open_v2(data().rawPath.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
            std::abort();
        return handle;
    }();
    return db;
}

void clear(const char* table)
{
    std::string sql = std::string("delete from ") + table;
    if (!BRDatabase::sharedDataBase()->executeUpdate(sql)) {
        // Timing over tables left full would measure the wrong thing.
        std::fprintf(stderr, "cannot clear %s\n", table);
        std::abort();
    }
    sqlite3_exec(raw(), sql.c_str(), nullptr, nullptr, nullptr);
}

// One prepared statement of the peer, bound and stepped row by row.
class RawStatement {
public:
    explicit RawStatement(const char* sql) { sqlite3_prepare_v2(raw(), sql, -1, &m_statement, nullptr); }
    ~RawStatement() { sqlite3_finalize(m_statement); }
    RawStatement(const RawStatement&) = delete;
    RawStatement& operator=(const RawStatement&) = delete;
    RawStatement& integer(long long v)
    {
        sqlite3_bind_int64(m_statement, ++m_column, v);
        return *this;
    }
    RawStatement& real(double v)
    {
        sqlite3_bind_double(m_statement, ++m_column, v);
        return *this;
    }
    RawStatement& text(const std::optional<std::string>& s)
    {
        if (s)
            sqlite3_bind_text(m_statement, ++m_column, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
        else
            sqlite3_bind_null(m_statement, ++m_column);
        return *this;
    }
    void step()
    {
        if (sqlite3_step(m_statement) != SQLITE_DONE)
            std::abort();
        sqlite3_reset(m_statement);
        m_column = 0;
    }

private:
    sqlite3_stmt* m_statement = nullptr;
    int m_column = 0;
};

// The peer's transaction around its first statement; committed when it goes.
class RawInsert : public RawStatement {
public:
    explicit RawInsert(const char* sql) : RawStatement(sql)
    {
        sqlite3_exec(raw(), "begin exclusive transaction", nullptr, nullptr, nullptr);
    }
    ~RawInsert()
    {
        if (sqlite3_exec(raw(), "commit transaction", nullptr, nullptr, nullptr) != SQLITE_OK)
            std::abort();
    }
};

// The model's statements: the upsert that keeps the hidden flag, and the deletes of the
// customer's synced child rows (the device's own, with negative ids, stay).
void rawCustomers()
{
    RawInsert insert("INSERT INTO brivanta_customer(customer_id,customer_info_id,customer_name,"
                     "customer_publish,customer_ordering,discount) VALUES(?,?,?,?,?,?) "
                     "ON CONFLICT(customer_id) DO UPDATE SET customer_info_id=excluded.customer_info_id,"
                     "customer_name=excluded.customer_name,customer_publish=excluded.customer_publish,"
                     "customer_ordering=excluded.customer_ordering,discount=excluded.discount;");
    RawStatement attributes("DELETE FROM brivanta_customer_attribute WHERE customer_id = ? AND attribute_id > 0;");
    RawStatement addresses("DELETE FROM brivanta_customer_address WHERE customer_id = ? AND id > 0;");
    RawStatement contacts("DELETE FROM brivanta_customer_contact WHERE customer_id = ? AND contact_id > 0;");
    for (const auto& c : data().customers) {
        insert.integer(c.customer_id).text(c.customer_info_id).text(c.customer_name)
            .integer(c.customer_publish).integer(c.customer_ordering).real(c.discount).step();
        attributes.integer(c.customer_id).step();
        addresses.integer(c.customer_id).step();
        contacts.integer(c.customer_id).step();
    }
}

void rawAttributes()
{
    RawInsert insert("INSERT or REPLACE INTO brivanta_customer_attribute(attribute_id,customer_id,"
                     "attribute_fields_id,attribute_value) VALUES(?,?,?,?)");
    for (const auto& a : data().attributes)
        insert.integer(a.attribute_id).integer(a.customer_id).integer(a.attribute_fields_id).text(a.attribute_value).step();
}

void rawAddresses()
{
    RawInsert insert("INSERT or REPLACE INTO brivanta_customer_address(id,customer_id,address,city,state,"
                     "zip_code,isDefault) VALUES(?,?,?,?,?,?,?)");
    for (const auto& a : data().addresses) {
        insert.integer(a.indexId).integer(a.customerId).text(a.customerAddress).text(a.customerCity)
            .text(a.customerState).text(a.customerZipCode).integer(a.isDefault).step();
    }
}

void rawContacts()
{
    RawInsert insert("INSERT or REPLACE INTO brivanta_customer_contact(contact_id,customer_id,first_name,"
                     "last_name,job_title,work_phone,mobile_phone,email,im,note,isDefault) "
                     "VALUES(?,?,?,?,?,?,?,?,?,?,?)");
    for (const auto& c : data().contacts) {
        insert.integer(c.contactID).integer(c.customerID).text(c.first_name).text(c.last_name)
            .text(c.job_title).text(c.work_phone).text(c.mobile_phone).text(c.email).text(c.im)
            .text(c.note).integer(c.isDeful).step();
    }
}

void rawCategories()
{
    RawInsert insert("INSERT or REPLACE INTO brivanta_library_category(id,name,ordering,published,"
                     "parent_id) VALUES(?,?,?,?,?)");
    for (const auto& c : data().categories)
        insert.integer(c.categoryID).text(c.name).integer(c.ordering).integer(c.published).integer(c.parent_id).step();
}

void rawFiles()
{
    RawInsert insert("INSERT or REPLACE INTO brivanta_library_files(id,title,file_name,category,type,"
                     "date,description,ordering,published,cover_image,info) VALUES(?,?,?,?,?,?,?,?,?,?,?)");
    for (const auto& f : data().files) {
        insert.integer(f.file_id).text(f.title).text(f.file_name).integer(f.category).text(f.type)
            .text(f.date).text(f.description).integer(f.ordering).integer(f.published)
            .text(f.cover_image).text(f.info).step();
    }
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
        auto customers = [] { return manager()->customerModel(); };
        return std::vector<Table>{
            {"brivanta_customer", d.customers.size(),
             [=] { return customers()->saveToDatabaseCustomer(data().customers); }, rawCustomers},
            {"brivanta_customer_attribute", d.attributes.size(),
             [=] { return customers()->saveToDatabaseCustomerAttribute(data().attributes); }, rawAttributes},
            {"brivanta_customer_address", d.addresses.size(),
             [=] { return customers()->saveToDatabaseCustomerAddress(data().addresses); }, rawAddresses},
            {"brivanta_customer_contact", d.contacts.size(),
             [=] { return customers()->saveToDatabaseCustomerContact(data().contacts); }, rawContacts},
            {"brivanta_library_category", d.categories.size(),
             [] { return manager()->libraryCategoryModel()->saveToDatabaseLibraryCategory(data().categories); },
             rawCategories},
            {"brivanta_library_files", d.files.size(),
             [] { return manager()->libraryFilesModel()->saveToDatabaseLibraryFiles(data().files); }, rawFiles},
        };
    }();
    return list;
}

// range(0): the table; range(1): 0 first load into empty tables, 1 re-save over every row;
// range(2): 0 the model, 1 the raw peer.
void BM_Save(benchmark::State& state)
{
    const Table& table = tables()[static_cast<size_t>(state.range(0))];
    const bool resave = state.range(1) == 1, peer = state.range(2) == 1;
    state.SetLabel(std::string(table.name) + (resave ? " re-save" : " first load") + (peer ? " raw" : " model"));
    for (auto _ : state) {
        state.PauseTiming();
        clear(table.name);
        if (resave) {
            if (!table.model())
                std::abort();
            table.peer();
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
    for (const auto& table : tables()) // customers first: their save clears their children
        if (!table.model())
            std::abort();
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

void BM_GetAllCustomers(benchmark::State& state)
{
    loadEverything();
    auto model = manager()->customerModel();
    std::vector<double> millis;
    for (auto _ : state) {
        millis.push_back(timed([&] {
            auto all = model->getAllCustomers(true);
            if (all.empty())
                std::abort();
            benchmark::DoNotOptimize(all);
        }));
    }
    percentiles(state, millis);
}

void BM_LibrarySearch(benchmark::State& state)
{
    loadEverything();
    const char* const orders[] = {"title", "date desc", "type desc"};
    const std::string order = orders[state.range(0)];
    state.SetLabel(order);
    auto model = manager()->libraryFilesModel();
    std::vector<double> millis;
    for (auto _ : state) {
        for (const char* text : kSearches) {
            millis.push_back(timed([&] {
                benchmark::DoNotOptimize(model->getLibFilesBysearchNameOrderBy(text, order));
            }));
        }
    }
    percentiles(state, millis);
}

void printPlans()
{
    manager();
    const std::pair<const char*, const char*> children[] = {{"brivanta_customer_attribute", "attribute_id"},
                                                            {"brivanta_customer_address", "id"},
                                                            {"brivanta_customer_contact", "contact_id"}};
    for (const auto& [table, key] : children) {
        std::string sql = std::string("EXPLAIN QUERY PLAN DELETE FROM ") + table + " WHERE customer_id = ? AND " + key
                          + " > 0";
        auto rs = BRDatabase::sharedDataBase()->executeQuery(sql, 1);
        while (rs && rs->next())
            std::printf("%s: %s\n", sql.c_str() + 19, rs->stringForColumn("detail").value_or("").c_str());
    }
}


} // namespace

// Fixed counts: every save commits to disk, and the untimed clearing between runs does too,
// so a time-based count would run long on a busy disk.
const int kScale = std::getenv("BRIVANTA_BENCH_FULL") ? 5 : 1;

BENCHMARK(BM_Save)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5}, {0, 1}, {0, 1}})
    ->Iterations(2 * kScale)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetAllCustomers)->Iterations(10 * kScale)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LibrarySearch)->DenseRange(0, 2)->Iterations(5 * kScale)->Unit(benchmark::kMillisecond);

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
    return 0;
}
