#include "DatabaseTestSupport.h"

#include "Database/CustomerModel.h"
#include "Database/LibraryCategoryModel.h"
#include "Database/LoginUserModel.h"
#include "Platform/Base/Date.h"
#include "tests/Support/DatabaseRows.h"

#include <sqlite3.h>

#include <set>

namespace {

// The tables of the customer, library and login models, whose columns the upgrade must bring
// to the template's.
const char* const kTables[] = {"brivanta_customer", "brivanta_customer_attribute",
                               "brivanta_fields_customer_attribute", "brivanta_customer_address",
                               "brivanta_customer_contact", "brivanta_library_category",
                               "brivanta_library_files", "brivanta_update",
                               "brivanta_product_related_file", "brivanta_login_user",
                               "brivanta_customer_unsent", "brivanta_customer_changed",
                               "brivanta_customer_sent"};

// name|type|notnull|default|pk of each column, read straight from a database file.
std::string columnsOf(sqlite3* handle, const std::string& table)
{
    return dbtest::rowsOf(handle, "PRAGMA table_info(" + table + ")", 1, 6);
}

std::string templateColumns(const std::string& table)
{
    sqlite3* handle = nullptr;
    auto path = dbtest::binaryFolder() / "Resources/brivanta_lite.sqlite";
    sqlite3_open_v2(path.c_str(), &handle, SQLITE_OPEN_READONLY, nullptr);
    std::string text = columnsOf(handle, table);
    sqlite3_close(handle);
    return text;
}

class CustomerLibraryUpgradeTest : public dbtest::DatabaseTest {
protected:
    void TearDown() override
    {
        db.reset();
        manager.reset();
        base::Date::setFixedNow(std::nullopt);
        DatabaseTest::TearDown();
    }

    // Opens the client's database made from the legacy fixture instead of the template.
    void openLegacy()
    {
        ASSERT_TRUE(base::FileManager::removeItem(templatePath()));
        ASSERT_TRUE(base::FileManager::copyItem(
            dbtest::binaryFolder() / "fixtures/brivanta_lite_legacy.sqlite", templatePath()));
        open();
    }
    void open()
    {
        logIn("AcMe");
        base::Date::setFixedNow(base::Date(1367937000));
        manager = DataAccessManager::sharedDataModel();
        ASSERT_TRUE(manager->hasModels());
        db = BRDatabase::sharedDataBase();
    }
    void exec(const std::string& sql) { ASSERT_TRUE(db->executeUpdate(sql)) << sql; }
    std::string rowsOf(const std::string& table)
    {
        return testsupport::rowsText(*db, "select * from " + table + " order by 1");
    }
    std::string allRows()
    {
        std::string text;
        for (const char* table : kTables)
            text += std::string(table) + ":\n" + rowsOf(table);
        return text;
    }

    std::shared_ptr<DataAccessManager> manager;
    std::shared_ptr<BRDatabase> db;
};

TEST_F(CustomerLibraryUpgradeTest, LegacyTablesGetTheTemplatesColumnsAndKeepTheirRows)
{
    openLegacy();
    ASSERT_FALSE(db->columnExistsColumnName("brivanta_customer", "hidden"));
    ASSERT_FALSE(db->tableExists("brivanta_login_user"));
    ASSERT_FALSE(db->tableExists("brivanta_customer_unsent"));
    ASSERT_FALSE(db->tableExists("brivanta_customer_changed"));
    ASSERT_FALSE(db->tableExists("brivanta_customer_sent"));
    exec("insert into brivanta_customer(customer_id,customer_name,customer_publish,discount) "
         "values(1,'Old customer',1,0.25)");
    exec("insert into brivanta_library_category(id,name,ordering,published) values(3,'Brochures',1,1)");
    exec("insert into brivanta_update(fileId) values(8)");

    manager->updateVersion();
    manager->updateVersion();

    for (const char* table : kTables)
        EXPECT_EQ(columnsOf(db->sqliteHandle(), table), templateColumns(table)) << table;
    EXPECT_EQ(rowsOf("brivanta_customer"), "1|NULL|Old customer|1|0|0.25|0|\n");
    EXPECT_EQ(rowsOf("brivanta_library_category"), "3|Brochures|1|1|0|\n");
    EXPECT_EQ(rowsOf("brivanta_update"), "8|NULL|NULL|\n");
    // The per-customer deletes of a customer save have their indexes.
    EXPECT_EQ(db->intForQuery("select count(*) from sqlite_master where type = 'index' and name in "
                              "('idx_caddr_customer','idx_ccontact_customer')"),
              2);

    // The upgraded tables work for the models.
    auto customers = manager->customerModel()->getAllCustomers(false);
    ASSERT_EQ(customers.count(1), 1u);
    EXPECT_EQ(customers[1].discount, 0.25);
    EXPECT_EQ(manager->libraryCategoryModel()->getLibSubCategoriesByParentCategoryID(0).size(), 1u);
    // Changes made on the device are counted from the upgrade on.
    ASSERT_TRUE(db->tableExists("brivanta_customer_unsent"));
    EXPECT_TRUE(manager->customerModel()->markCustomerChanged(1));
    EXPECT_TRUE(manager->customerModel()->markCustomerChanged(1));
    EXPECT_EQ(manager->customerModel()->customerChangeCount(1), 2);
    EXPECT_EQ(manager->customerModel()->customersWithUnsentChanges(), std::set<int>{1});
    // So are the fields the user changed, and the uploads waiting for an answer.
    CustomerRecord before = manager->customerModel()->readCustomerRecord(1);
    CustomerRecord after = before;
    after.customer.customer_name = "Renamed";
    EXPECT_TRUE(manager->customerModel()->recordChangedFields(1, before, after));
    EXPECT_EQ(manager->customerModel()->changedFields(1),
              (std::vector<ChangedField>{{"customer", 0, "customer_name"}}));
    EXPECT_TRUE(manager->customerModel()->rememberSentUpload(-3, "sent"));
    EXPECT_EQ(manager->customerModel()->sentUploads(), (std::map<int, std::string>{{-3, "sent"}}));
}

// An upload waiting for its answer, kept by the version before the server customers alike were
// kept with it: it stays, with none alike.
TEST_F(CustomerLibraryUpgradeTest, AnUnansweredUploadKeptBeforeTheAlikeColumnStays)
{
    openLegacy();
    exec("create table brivanta_customer_sent(customer_id INTEGER PRIMARY KEY NOT NULL,sent TEXT NOT NULL)");
    exec("insert into brivanta_customer_sent values(-2,'Old Ltd')");
    manager->updateVersion();
    manager->updateVersion();
    EXPECT_EQ(columnsOf(db->sqliteHandle(), "brivanta_customer_sent"), templateColumns("brivanta_customer_sent"));
    auto customers = manager->customerModel();
    EXPECT_TRUE(customers->rememberSentUpload(-3, "New Ltd", {9010, 9002}));
    EXPECT_EQ(customers->sentUploads(), (std::map<int, std::string>{{-3, "New Ltd"}, {-2, "Old Ltd"}}));
    EXPECT_EQ(customers->alikeWhenSent(-2), std::set<int>{});
    EXPECT_EQ(customers->alikeWhenSent(-3), (std::set<int>{9002, 9010}));
}

TEST_F(CustomerLibraryUpgradeTest, TheCurrentSchemaIsLeftAsItIs)
{
    open();
    auto customers = manager->customerModel();
    brivanta_customer_Entity hidden;
    hidden.customer_id = 4;
    hidden.customer_name = "Hidden";
    hidden.customer_publish = 1;
    ASSERT_TRUE(customers->saveToDatabaseCustomer(std::vector{hidden}));
    ASSERT_TRUE(customers->updateCustomerTableHiddenWithCustomerIdWithHidden(4, true));
    ASSERT_TRUE(customers->markCustomerChanged(4));
    brivanta_library_category_Entity category;
    category.categoryID = 3;
    category.name = "Brochures";
    category.published = 1;
    category.parent_id = 2;
    ASSERT_TRUE(manager->libraryCategoryModel()->saveToDatabaseLibraryCategory(std::vector{category}));
    LoginInfo user;
    user.accountId = "bob";
    user.passWord = "pw";
    user.clientId = "AcMe";
    user.deviceId = "dev1";
    ASSERT_TRUE(manager->loginUserModel()->saveUserInfo(user));
    auto before = allRows();
    auto schema = db->stringForQuery("select group_concat(sql, ';') from sqlite_master");

    manager->updateVersion();
    manager->updateVersion();
    EXPECT_EQ(allRows(), before);
    EXPECT_EQ(db->stringForQuery("select group_concat(sql, ';') from sqlite_master"), schema);
    EXPECT_TRUE(manager->customerModel()->updateVersion());
    EXPECT_TRUE(manager->libraryCategoryModel()->updateVersion());
}

TEST_F(CustomerLibraryUpgradeTest, EachMissingColumnIsAddedOnItsOwn)
{
    openLegacy();
    exec("ALTER TABLE brivanta_update ADD old_file_name VARCHAR DEFAULT NULL;");
    exec("ALTER TABLE brivanta_update ADD old_file_type VARCHAR DEFAULT NULL;");
    exec("create table brivanta_login_user(indexId INTEGER PRIMARY KEY AUTOINCREMENT NOT NULL,"
         "useName VARCHAR(20) NOT NULL UNIQUE,password VARCHAR(64) NOT NULL,clientId VARCHAR(20) "
         "NOT NULL,deviceId VARCHAR(20) NOT NULL,lastLoginTime VARCHAR(15), companyName VARCHAR(20))");
    ASSERT_FALSE(db->columnExistsColumnName("brivanta_library_category", "parent_id"));

    EXPECT_TRUE(manager->libraryCategoryModel()->updateVersion());
    EXPECT_TRUE(db->columnExistsColumnName("brivanta_library_category", "parent_id"));
    EXPECT_TRUE(manager->loginUserModel()->alterLoginUserTable());
    EXPECT_EQ(columnsOf(db->sqliteHandle(), "brivanta_login_user").size(),
              templateColumns("brivanta_login_user").size());
}

} // namespace
