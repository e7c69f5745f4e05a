// Carrying unsent orders and local customers from an old database into a fresh one.
#include "DatabaseTestSupport.h"

#include "Database/UnsentWork.h"

#include <sqlite3.h>

#include <algorithm>
#include <fstream>

namespace {

// Every row of a query as "a|b|c" lines, from a file opened on its own.
std::string dump(const std::filesystem::path& file, const std::string& sql)
{
    sqlite3* handle = nullptr;
    if (sqlite3_open_v2(file.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(handle);
        return "<cannot open>";
    }
    std::string out;
    auto row = [](void* text, int count, char** values, char**) {
        auto& s = *static_cast<std::string*>(text);
        for (int i = 0; i < count; ++i)
            s += (i ? "|" : "") + std::string(values[i] ? values[i] : "NULL");
        s += "\n";
        return 0;
    };
    char* error = nullptr;
    if (sqlite3_exec(handle, sql.c_str(), row, &out, &error) != SQLITE_OK) {
        out = std::string("<error ") + (error ? error : "") + ">";
        sqlite3_free(error);
    }
    sqlite3_close(handle);
    return out;
}

bool exec(const std::filesystem::path& file, const std::string& sql)
{
    sqlite3* handle = nullptr;
    bool ok = sqlite3_open(file.c_str(), &handle) == SQLITE_OK
        && sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(handle);
    return ok;
}

class UnsentWorkTest : public dbtest::DatabaseTest {
protected:
    void SetUp() override
    {
        DatabaseTest::SetUp();
        if (HasFatalFailure())
            return;
        oldFile = m_home.path() / "old.sqlite";
        ASSERT_TRUE(base::FileManager::copyItem(templatePath(), oldFile));
        ASSERT_TRUE(exec(oldFile, R"(
            insert into brivanta_quote_order(order_id, customer_id, order_number, uploaded, customer_note)
                values (-1, -1, 'alice-1', 0, 'keep me'), (-2, -1, 'alice-2', 1, ''),
                       (5, 9001, 'alice-5', 0, 'server id, not sent'), (6, 9001, 'alice-6', 1, '');
            insert into brivanta_quote_order_item(order_item_id, order_id, order_item_sku, product_quantity, product_final_price)
                values (-10, -1, 'CH-1', 2, 99.5), (-11, -1, 'TB-1', 1, 280), (-12, -2, 'CH-1', 1, 1), (13, 5, 'TB-1', 3, 2), (14, 6, 'x', 1, 1);
            insert into brivanta_customer(customer_id, customer_name) values (-1, 'Local Ltd'), (9001, 'Globex');
            insert into brivanta_customer_address(id, customer_id, address, city) values (-3, -1, '1 Road', 'Town'), (7, 9001, 'Main', 'City'), (-4, 9001, 'New', 'City');
            insert into brivanta_customer_attribute(attribute_id, customer_id, attribute_fields_id, attribute_value) values (11, -1, 1, 'Gold'), (12, 9001, 1, 'Silver');
            insert into brivanta_customer_contact(contact_id, customer_id, first_name) values (-5, 9001, 'Ann'), (6, 9001, 'Bob');
            insert into brivanta_product(product_id, product_sku) values (101, 'CH-1');
        )"));
        logIn("AcmeCo");
        ASSERT_TRUE(DataAccessManager::sharedDataModel()->hasModels());
        newFile = documents() / "acmeco/brivanta_lite.sqlite";
    }

    std::filesystem::path oldFile, newFile;
};

TEST_F(UnsentWorkTest, CarriesOnlyWorkNotOnTheServerRowsUnchanged)
{
    ASSERT_TRUE(UnsentWork::copyFromDatabase(oldFile.string()));
    struct Case {
        const char* table;
        const char* key;
        const char* keys;
    } cases[] = {
        {"brivanta_quote_order", "order_id", "-1\n5\n"},
        {"brivanta_quote_order_item", "order_item_id", "-11\n-10\n13\n"},
        {"brivanta_customer", "customer_id", "-1\n"},
        {"brivanta_customer_address", "id", "-4\n-3\n"},
        {"brivanta_customer_attribute", "attribute_id", "11\n"},
        {"brivanta_customer_contact", "contact_id", "-5\n"},
        {"brivanta_product", "product_id", ""},
    };
    for (const auto& c : cases) {
        std::string keys = std::string("select ") + c.key + " from " + c.table + " order by 1";
        EXPECT_EQ(dump(newFile, keys), c.keys) << c.table;
        // Whole rows, every column, as they were.
        std::string list = c.keys;
        std::replace(list.begin(), list.end(), '\n', ',');
        list += "0";
        std::string rows = std::string("select * from ") + c.table + " where " + c.key + " in (" + list + ") order by 1";
        EXPECT_EQ(dump(newFile, rows), dump(oldFile, rows)) << c.table;
    }
    // Nothing stays attached to the shared connection.
    EXPECT_EQ(dump(newFile, "pragma database_list").find("carried"), std::string::npos);
    EXPECT_TRUE(BRDatabase::sharedDataBase()->executeUpdate("ATTACH DATABASE ? AS carried", oldFile.string()));
    EXPECT_TRUE(BRDatabase::sharedDataBase()->executeUpdate("DETACH DATABASE carried"));
}

// The new database's own local rows hold the ids the carried ones had: the carried rows get
// fresh ids, the rows naming them follow, and carrying the same file again adds nothing.
TEST_F(UnsentWorkTest, CollidingLocalIdsAreRenumberedAndCarryingAgainAddsNothing)
{
    auto db = BRDatabase::sharedDataBase();
    for (const char* sql : {
             "insert into brivanta_customer(customer_id, customer_name) values (-1, 'Other Co')",
             "insert into brivanta_customer_address(id, customer_id, address) values (-3, -1, '9 Other St')",
             "insert into brivanta_customer_contact(contact_id, customer_id, first_name) values (-5, -1, 'Olga')",
             "insert into brivanta_quote_order(order_id, customer_id, order_number, uploaded) values (-1, -1, 'bob-9', 0)",
             "insert into brivanta_quote_order_item(order_item_id, order_id, order_item_sku, product_quantity) "
             "values (-10, -1, 'CH-1', 7)"})
        ASSERT_TRUE(db->executeUpdate(sql)) << sql;
    // What the user changed of the carried customer, and its upload waiting for an answer.
    ASSERT_TRUE(exec(oldFile, "insert into brivanta_customer_changed values (-1, 'customer', 0, 'customer_name'); "
                              "insert into brivanta_customer_sent(customer_id, sent) values (-1, 'Local Ltd')"));
    struct Case {
        const char* what;
        const char* sql;
        const char* rows;
    } cases[] = {
        {"each order with its customer and lines",
         "select o.order_number, ifnull(c.customer_name, o.customer_id), (select group_concat(x) from (select "
         "order_item_sku || 'x' || product_quantity as x from brivanta_quote_order_item i where i.order_id = "
         "o.order_id order by 1)) from brivanta_quote_order o left join brivanta_customer c on c.customer_id = "
         "o.customer_id order by 1",
         "alice-1|Local Ltd|CH-1x2,TB-1x1\nalice-5|9001|TB-1x3\nbob-9|Other Co|CH-1x7\n"},
        {"each local customer with its addresses",
         "select c.customer_id, c.customer_name, (select group_concat(address) from brivanta_customer_address a "
         "where a.customer_id = c.customer_id) from brivanta_customer c order by 2",
         "-2|Local Ltd|1 Road\n-1|Other Co|9 Other St\n"},
        {"attributes follow their customer",
         "select c.customer_name, a.attribute_value from brivanta_customer_attribute a join brivanta_customer c "
         "on c.customer_id = a.customer_id",
         "Local Ltd|Gold\n"},
        {"contacts keep their customer",
         "select ifnull(c.customer_name, t.customer_id), t.first_name from brivanta_customer_contact t left join "
         "brivanta_customer c on c.customer_id = t.customer_id order by 2",
         "9001|Ann\nOther Co|Olga\n"},
        {"addresses once each", "select count(*) from brivanta_customer_address",
         "3\n"},
        {"the changed fields and the unanswered upload follow their customer",
         "select c.customer_name, f.field from brivanta_customer_changed f join brivanta_customer c on "
         "c.customer_id = f.customer_id union all select c.customer_name, s.sent from brivanta_customer_sent s "
         "join brivanta_customer c on c.customer_id = s.customer_id",
         "Local Ltd|customer_name\nLocal Ltd|Local Ltd\n"},
    };
    for (int round = 1; round <= 2; ++round) {
        ASSERT_TRUE(UnsentWork::copyFromDatabase(oldFile.string())) << "round " << round;
        for (const auto& c : cases)
            EXPECT_EQ(dump(newFile, c.sql), c.rows) << c.what << ", round " << round;
    }
}

// A synced customer edited on the device goes whole with its count of changes; an old file
// that counts none carries as before.
TEST_F(UnsentWorkTest, CustomersChangedOnTheDeviceGoWhole)
{
    struct Case {
        const char* name;
        const char* prepare;
        const char* customers;
        const char* addresses;
        const char* contacts;
        const char* changes;
    } cases[] = {
        {"counted", "insert into brivanta_customer_unsent values (9001, 3), (-1, 1)", "-1\n9001\n", "-4\n-3\n7\n",
         "-5\n6\n", "-1|1\n9001|3\n"},
        {"no such table", "drop table brivanta_customer_unsent", "-1\n", "-4\n-3\n", "-5\n", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto db = BRDatabase::sharedDataBase();
        for (const char* table : {"brivanta_customer", "brivanta_customer_address", "brivanta_customer_attribute",
                                  "brivanta_customer_contact", "brivanta_customer_unsent"})
            ASSERT_TRUE(db->executeUpdate(std::string("delete from ") + table));
        auto copy = m_home.path() / (std::string("old-") + (c.prepare[0] == 'i' ? "a" : "b") + ".sqlite");
        ASSERT_TRUE(base::FileManager::copyItem(oldFile, copy));
        ASSERT_TRUE(exec(copy, c.prepare));
        ASSERT_TRUE(UnsentWork::copyFromDatabase(copy.string()));
        EXPECT_EQ(dump(newFile, "select customer_id from brivanta_customer order by 1"), c.customers);
        EXPECT_EQ(dump(newFile, "select id from brivanta_customer_address order by 1"), c.addresses);
        EXPECT_EQ(dump(newFile, "select contact_id from brivanta_customer_contact order by 1"), c.contacts);
        EXPECT_EQ(dump(newFile, "select * from brivanta_customer_unsent order by 1"), c.changes);
    }
}

TEST_F(UnsentWorkTest, AnUnreadableOldFileCopiesNothing)
{
    m_expectDBError = true;
    {
        std::ofstream junk(oldFile, std::ios::trunc);
        junk << std::string(8192, 'x');
    }
    EXPECT_FALSE(UnsentWork::copyFromDatabase(oldFile.string()));
    EXPECT_EQ(dump(newFile, "select count(*) from brivanta_quote_order"), "0\n");
    EXPECT_FALSE(UnsentWork::copyFromDatabase((m_home.path() / "missing/none.sqlite").string()));

    // One table failing mid-way (a line that breaks a rule of the new table) rolls back the rest.
    ASSERT_TRUE(base::FileManager::removeItem(oldFile));
    ASSERT_TRUE(base::FileManager::copyItem(templatePath(), oldFile));
    ASSERT_TRUE(exec(oldFile, "insert into brivanta_quote_order(order_id, uploaded) values (-1, 0);"
                              "insert into brivanta_customer(customer_id) values (-1);"
                              "drop table brivanta_customer_address;"
                              "create table brivanta_customer_address(id integer, customer_id integer);"
                              "insert into brivanta_customer_address values (-3, NULL);"));
    EXPECT_FALSE(UnsentWork::copyFromDatabase(oldFile.string()));
    EXPECT_EQ(dump(newFile, "select count(*) from brivanta_quote_order"), "0\n");
    EXPECT_EQ(dump(newFile, "select count(*) from brivanta_customer"), "0\n");
}

// Every statement went through and the COMMIT itself is refused (here by a check deferred to it:
// the new address of server customer 9001, which the fresh file lacks): nothing is carried and
// the shared connection is left outside any transaction, with the old file detached.
TEST_F(UnsentWorkTest, ARefusedCommitLeavesNoTransactionOpen)
{
    m_expectDBError = true;
    auto db = BRDatabase::sharedDataBase();
    ASSERT_TRUE(db->executeUpdate("PRAGMA foreign_keys = ON"));
    ASSERT_TRUE(db->executeUpdate("CREATE TABLE address_owner(customer_id INTEGER REFERENCES "
                                  "brivanta_customer(customer_id) DEFERRABLE INITIALLY DEFERRED)"));
    ASSERT_TRUE(db->executeUpdate("CREATE TRIGGER owned AFTER INSERT ON brivanta_customer_address "
                                  "BEGIN INSERT INTO address_owner VALUES (new.customer_id); END"));
    EXPECT_FALSE(UnsentWork::copyFromDatabase(oldFile.string()));
    EXPECT_TRUE(sqlite3_get_autocommit(db->sqliteHandle()));
    EXPECT_EQ(dump(newFile, "select count(*) from brivanta_quote_order"), "0\n");
    EXPECT_TRUE(db->executeUpdate("ATTACH DATABASE ? AS carried", oldFile.string()));
    EXPECT_TRUE(db->executeUpdate("DETACH DATABASE carried"));

    // Once the check is met, the same copy goes through.
    ASSERT_TRUE(db->executeUpdate("INSERT INTO brivanta_customer(customer_id, customer_name) VALUES (9001, 'Globex')"));
    EXPECT_TRUE(UnsentWork::copyFromDatabase(oldFile.string()));
    EXPECT_EQ(dump(newFile, "select count(*) from brivanta_quote_order"), "2\n");
}

} // namespace

namespace {

// What a full resync leaves in Documents when the program dies at each of its steps.
enum class CutAt { AfterTheMove, NewFolderWithoutDatabase, NewDatabaseNothingCarried, CarriedNotDropped, DatabaseDropped };

} // namespace

// The client folder moved aside, then a kill: the next launch puts the folder back when no new
// database was made, else carries the unsent work into the new one; once, however often it runs.
TEST_F(UnsentWorkTest, AResyncCutShortIsRecoveredOnceAtLaunch)
{
    DataAccessManager::releaseDataModel();
    const auto folder = documents() / "acmeco";
    const std::string orders = "select order_id, order_number, uploaded from brivanta_quote_order order by 1";
    const std::string lines = "select order_item_id, order_id from brivanta_quote_order_item order by 1";
    const std::string customers = "select customer_id, customer_name from brivanta_customer order by 1";
    const std::string addresses = "select id, customer_id from brivanta_customer_address order by 1";
    struct Case {
        const char* name;
        CutAt cut;
        const char* orders; // what the client's database holds after the launch
        const char* customers;
    } cases[] = {
        // The whole old folder is back, sent orders included.
        {"after the move", CutAt::AfterTheMove, "-2|alice-2|1\n-1|alice-1|0\n5|alice-5|0\n6|alice-6|1\n",
         "-1|Local Ltd\n9001|Globex\n"},
        {"new folder, no database yet", CutAt::NewFolderWithoutDatabase,
         "-2|alice-2|1\n-1|alice-1|0\n5|alice-5|0\n6|alice-6|1\n", "-1|Local Ltd\n9001|Globex\n"},
        // Only the unsent work goes into the new database.
        {"new database, nothing carried", CutAt::NewDatabaseNothingCarried, "-1|alice-1|0\n5|alice-5|0\n",
         "-1|Local Ltd\n"},
        {"carried, folder not yet dropped", CutAt::CarriedNotDropped, "-1|alice-1|0\n5|alice-5|0\n", "-1|Local Ltd\n"},
        {"old database already dropped", CutAt::DatabaseDropped, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(documents());
        std::filesystem::create_directories(folder);
        ASSERT_TRUE(base::FileManager::copyItem(oldFile, folder / "brivanta_lite.sqlite"));
        ASSERT_TRUE(base::FileManager::createDirectories((folder / "SkinImages").string()));
        // As the login does it: the folder marked, then moved aside.
        ASSERT_TRUE(UnsentWork::markAsideOrigin(folder.string()));
        const auto aside = documents() / (std::string(UnsentWork::kAsidePrefix) + "0A1B-2C3D");
        ASSERT_TRUE(base::FileManager::moveItem(folder, aside));
        if (c.cut != CutAt::AfterTheMove)
            std::filesystem::create_directories(folder / "Images");
        if (c.cut >= CutAt::NewDatabaseNothingCarried) {
            ASSERT_TRUE(base::FileManager::copyItem(templatePath(), folder / "brivanta_lite.sqlite"));
        }
        if (c.cut == CutAt::CarriedNotDropped) {
            BRDatabase db((folder / "brivanta_lite.sqlite").string());
            ASSERT_TRUE(db.open());
            ASSERT_TRUE(UnsentWork::copyFromDatabaseInto((aside / "brivanta_lite.sqlite").string(), db));
        }
        if (c.cut == CutAt::DatabaseDropped)
            std::filesystem::remove(aside / "brivanta_lite.sqlite");
        const std::string before[] = {dump(oldFile, lines), dump(oldFile, addresses)};

        EXPECT_EQ(UnsentWork::recoverAsideFolders(), 1);
        EXPECT_EQ(UnsentWork::recoverAsideFolders(), 0) << "nothing is left to recover";
        const auto file = folder / "brivanta_lite.sqlite";
        EXPECT_EQ(dump(file, orders), c.orders);
        EXPECT_EQ(dump(file, customers), c.customers);
        if (c.cut <= CutAt::NewFolderWithoutDatabase) {
            EXPECT_EQ(dump(file, lines), before[0]);
            EXPECT_EQ(dump(file, addresses), before[1]);
            EXPECT_TRUE(std::filesystem::is_directory(folder / "SkinImages")) << "the old folder itself";
        } else if (c.cut != CutAt::DatabaseDropped) {
            EXPECT_EQ(dump(file, "select order_item_id from brivanta_quote_order_item order by 1"), "-11\n-10\n13\n");
            EXPECT_EQ(dump(file, "select id from brivanta_customer_address order by 1"), "-4\n-3\n");
        }
        EXPECT_FALSE(std::filesystem::exists(folder / UnsentWork::kAsideOriginFile));
        std::vector<std::string> left;
        for (const auto& entry : std::filesystem::directory_iterator(documents()))
            left.push_back(entry.path().filename().string());
        EXPECT_EQ(left, std::vector<std::string>{"acmeco"}) << "no folder is left aside";
    }
}

// An aside folder is put back under the name it recorded: a name that would lead anywhere but
// a folder of Documents leaves it where it is, and touches nothing outside.
TEST_F(UnsentWorkTest, ARecordedNameNeverLeadsOutsideDocuments)
{
    DataAccessManager::releaseDataModel();
    const auto home = documents().parent_path();
    for (const char* name : {".", "..", "../outside", "acmeco/../..", "/tmp/elsewhere", "sub/folder", ".hidden",
                             "..\\outside", ""}) {
        SCOPED_TRACE(std::string("recorded name \"") + name + "\"");
        std::filesystem::remove_all(documents());
        std::filesystem::create_directories(documents());
        std::ofstream(documents() / "keep.txt") << "mine";
        std::ofstream(home / "keep-home.txt") << "mine";
        const auto aside = documents() / (std::string(UnsentWork::kAsidePrefix) + "0A1B-2C3D");
        std::filesystem::create_directories(aside);
        ASSERT_TRUE(base::FileManager::copyItem(oldFile, aside / "brivanta_lite.sqlite"));
        std::ofstream(aside / UnsentWork::kAsideOriginFile) << name << "\n";

        EXPECT_EQ(UnsentWork::recoverAsideFolders(), 0);
        EXPECT_TRUE(std::filesystem::exists(aside / "brivanta_lite.sqlite")) << "the work stays aside";
        EXPECT_TRUE(std::filesystem::exists(documents() / "keep.txt"));
        EXPECT_TRUE(std::filesystem::exists(home / "keep-home.txt"));
        EXPECT_FALSE(std::filesystem::exists(home / "outside"));
        EXPECT_FALSE(std::filesystem::exists("/tmp/elsewhere"));
    }
}
