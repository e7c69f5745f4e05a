// The customer model's in-memory search (ten keys over every customer text) against one
// prepared LIKE query per key on the same rows in raw sqlite3, and the model's reload.
// A tenth of the full size by default; BRIVANTA_BENCH_FULL=1 uses 5,000 customers with
// 20,000 attribute values, 5,000 addresses and 5,000 contacts.
#include "Classes/Customer/CustomerDataModel.h"
#include "Database/DataAccessManager.h"
#include "Database/SQLite/BRDatabase.h"
#include "Protocol/LoginMode.h"

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const char* const kKeys[] = {"acme", "main", "buyer", "555-12", "city 4", "zz", "first1", "@example", "value 99", "ärz"};

struct Setup {
    fs::path folder;
    sqlite3* raw = nullptr;
    std::shared_ptr<CustomerDataModel> model;

    Setup()
    {
        const int count = std::getenv("BRIVANTA_BENCH_FULL") ? 5000 : 500;
        std::string pattern = (fs::temp_directory_path() / "brcustsearch-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
        fs::path exe = fs::read_symlink("/proc/self/exe");
        setenv("BRIVANTA_HOME", (folder / "home").c_str(), 1);
        setenv("BRIVANTA_BUNDLE", (exe.parent_path().parent_path() / "bin/Resources").c_str(), 1);
        LoginMode::sharedInstance()->setClientID("bench");
        auto data = DataAccessManager::sharedDataModel();
        if (!data->hasModels())
            std::abort();
        std::mt19937 random(20130507);
        auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
        std::vector<brivanta_fields_customer_attribute_Entity> fields;
        for (int f = 1; f <= 4; ++f) {
            brivanta_fields_customer_attribute_Entity field;
            field.field_id = f;
            field.field_name = "Field " + std::to_string(f);
            field.display = 1;
            field.published = 1;
            fields.push_back(field);
        }
        std::vector<brivanta_customer_Entity> customers;
        std::vector<brivanta_customer_attribute_Entity> attributes;
        std::vector<brivanta_customer_address_Entity> addresses;
        std::vector<brivanta_customer_contact_entity> contacts;
        const char* names[] = {"Acme", "Globex", "Initech", "Umbrella", "Hooli", "Ärzte", "Stark", "Wayne"};
        for (int i = 1; i <= count; ++i) {
            brivanta_customer_Entity c;
            c.customer_id = i;
            c.customer_name = std::string(names[pick(8)]) + " " + std::to_string(pick(100000));
            c.customer_publish = 1;
            customers.push_back(c);
            for (int a = 1; a <= 4; ++a)
                attributes.push_back({0, (i - 1) * 4 + a, i, a, "value " + std::to_string(pick(1000))});
            brivanta_customer_address_Entity address;
            address.indexId = i;
            address.customerId = i;
            address.customerAddress = std::to_string(pick(999)) + " Main Street";
            address.customerCity = "City " + std::to_string(pick(50));
            address.customerState = "State";
            address.customerZipCode = std::to_string(10000 + pick(89999));
            addresses.push_back(address);
            brivanta_customer_contact_entity contact;
            contact.contactID = i;
            contact.customerID = i;
            contact.first_name = "First" + std::to_string(pick(500));
            contact.last_name = "Last" + std::to_string(pick(500));
            contact.job_title = "Buyer";
            contact.work_phone = "555-" + std::to_string(pick(10000));
            contact.email = "contact" + std::to_string(i) + "@example.com";
            contacts.push_back(contact);
        }
        if (!data->saveToDatabaseFieldsCustomerAttribute(fields) || !data->saveToDatabaseCustomer(customers)
            || !data->saveToDatabaseCustomerAttribute(attributes) || !data->saveToDatabaseCustomerAddress(addresses)
            || !data->saveToDatabaseCustomerContact(contacts))
            std::abort();
        model = CustomerDataModel::sharedInstance();
        auto start = std::chrono::steady_clock::now();
        model->reloadCustomerData();
        double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        std::printf("reloadCustomerData of %d customers: %.1f ms\n", count, ms);
        if (sqlite3_open_v2(DataAccessManager::dataFilePath()->c_str(), &raw, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            std::abort();
    }
    ~Setup()
    {
        sqlite3_close(raw);
        CustomerDataModel::freeInstance();
        DataAccessManager::releaseDataModel();
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
};

Setup& setup()
{
    static Setup s;
    return s;
}

void BM_ModelSearch(benchmark::State& state)
{
    auto& model = *setup().model;
    size_t hits = 0;
    for (auto _ : state) {
        for (const char* key : kKeys)
            hits += model.customerSearch(std::string(key)).size();
    }
    benchmark::DoNotOptimize(hits);
    state.counters["keys"] = 10;
}
BENCHMARK(BM_ModelSearch)->Unit(benchmark::kMillisecond);

// The same question of the tables: any customer text LIKE the key (SQLite's LIKE folds ASCII only).
void BM_RawLikeSearch(benchmark::State& state)
{
    sqlite3* db = setup().raw;
    sqlite3_stmt* statement = nullptr;
    const char* sql =
        "SELECT c.customer_id FROM brivanta_customer c WHERE c.customer_publish = 1 AND ("
        "c.customer_name LIKE ?1 OR EXISTS (SELECT 1 FROM brivanta_customer_attribute a WHERE a.customer_id = "
        "c.customer_id AND a.attribute_value LIKE ?1) OR EXISTS (SELECT 1 FROM brivanta_customer_address d WHERE "
        "d.customer_id = c.customer_id AND (d.address LIKE ?1 OR d.city LIKE ?1 OR d.state LIKE ?1 OR d.zip_code LIKE "
        "?1)) OR EXISTS (SELECT 1 FROM brivanta_customer_contact t WHERE t.customer_id = c.customer_id AND ("
        "t.first_name LIKE ?1 OR t.last_name LIKE ?1 OR t.job_title LIKE ?1 OR t.work_phone LIKE ?1 OR "
        "t.mobile_phone LIKE ?1 OR t.email LIKE ?1 OR t.im LIKE ?1 OR t.note LIKE ?1))) ORDER BY c.customer_id";
    if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
        std::abort();
    size_t hits = 0;
    for (auto _ : state) {
        for (const char* key : kKeys) {
            std::string pattern = std::string("%") + key + "%";
            sqlite3_bind_text(statement, 1, pattern.c_str(), -1, SQLITE_TRANSIENT);
            while (sqlite3_step(statement) == SQLITE_ROW)
                ++hits;
            sqlite3_reset(statement);
        }
    }
    sqlite3_finalize(statement);
    benchmark::DoNotOptimize(hits);
    state.counters["keys"] = 10;
}
BENCHMARK(BM_RawLikeSearch)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
