#include "DatabaseTestSupport.h"

#include "Database/ConfigMode.h"
#include "Database/SQLite/BRResultSet.h"

#include <sys/stat.h>

namespace {

using dbtest::DatabaseTest;

mode_t modeOf(const std::filesystem::path& path)
{
    struct stat st {};
    stat(path.c_str(), &st);
    return st.st_mode & 0777;
}

ConfigEntity config(const std::string& type, const std::string& desc)
{
    ConfigEntity entity;
    entity.clientid = LoginMode::sharedInstance()->clientID();
    entity.configType = type;
    entity.desc = desc;
    entity.update_date = "05/07/2013 14:30:00";
    return entity;
}

class DataAccessManagerTest : public DatabaseTest {};

TEST_F(DataAccessManagerTest, EachClientGetsItsOwnFileFromTheTemplate)
{
    logIn("AcMe");
    auto manager = DataAccessManager::sharedDataModel();
    ASSERT_TRUE(manager->hasModels());
    auto acme = documents() / "acme/brivanta_lite.sqlite";
    EXPECT_EQ(DataAccessManager::dataFilePath(), acme.string());
    ASSERT_TRUE(base::FileManager::exists(acme));
    EXPECT_EQ(modeOf(acme.parent_path()), 0700u);
    EXPECT_EQ(modeOf(acme), 0600u);
    EXPECT_EQ(DataAccessManager::sharedDataModel(), manager);
    EXPECT_TRUE(BRDatabase::sharedDataBase()->shouldCacheStatements());

    ASSERT_TRUE(manager->syncConfigData(std::vector{config("date_format", "MM/dd/yy")}));
    manager.reset();
    DataAccessManager::releaseDataModel();
    EXPECT_FALSE(BRDatabase::sharedDataBase());
    // A changed template is not copied over an existing file.
    ASSERT_TRUE(base::FileManager::removeItem(templatePath()));
    EXPECT_EQ(DataAccessManager::sharedDataModel()->queryConfig("date_format")->desc, "MM/dd/yy");
    auto acmeBytes = base::FileManager::readFile(acme);

    DataAccessManager::releaseDataModel();
    ASSERT_TRUE(base::FileManager::copyItem(dbtest::binaryFolder() / "Resources/brivanta_lite.sqlite",
                                            templatePath()));
    logIn("b");
    manager = DataAccessManager::sharedDataModel();
    ASSERT_TRUE(manager->hasModels());
    EXPECT_EQ(BRDatabase::sharedDataBase()->databasePath(),
              (documents() / "b/brivanta_lite.sqlite").string());
    EXPECT_FALSE(manager->queryConfig("date_format")->desc);
    ASSERT_TRUE(manager->syncConfigData(std::vector{config("date_format", "yy/MM/dd")}));
    EXPECT_EQ(base::FileManager::readFile(acme), acmeBytes);

    // Dropping only the manager keeps b's connection; the next client's manager must not
    // write into it.
    DataAccessManager::destoryDataModel();
    logIn("acme");
    manager = DataAccessManager::sharedDataModel();
    EXPECT_EQ(BRDatabase::sharedDataBase()->databasePath(), acme.string());
    EXPECT_EQ(manager->queryConfig("date_format")->desc, "MM/dd/yy");

    DataAccessManager::releaseDataModel();
    BRDatabase::databaseWithPath(std::nullopt);
    DataAccessManager::releaseDataModel();
    EXPECT_FALSE(BRDatabase::sharedDataBase());
}

TEST_F(DataAccessManagerTest, UnsafeIdsAndAMissingTemplateCreateNothing)
{
    for (const char* id : {"", ".", "..", "../x", "a/b"}) {
        DataAccessManager::releaseDataModel();
        logIn(id);
        auto manager = DataAccessManager::sharedDataModel();
        EXPECT_FALSE(manager->hasModels()) << id;
        EXPECT_FALSE(manager->configMode()) << id;
        EXPECT_FALSE(DataAccessManager::dataFilePath()) << id;
        EXPECT_FALSE(manager->queryConfig("date_format"));
        EXPECT_FALSE(manager->syncConfigData(std::vector{config("date_format", "x")}));
    }
    EXPECT_TRUE(m_log.contains("Open database error!"));
    auto home = base::FileManager::contentsOfDirectory(m_home.path());
    EXPECT_TRUE(home.empty() || home == std::vector<std::string>{"Documents"});
    EXPECT_TRUE(base::FileManager::contentsOfDirectory(documents()).empty());

    DataAccessManager::releaseDataModel();
    logIn("Acme");
    ASSERT_TRUE(base::FileManager::removeItem(templatePath()));
    EXPECT_FALSE(DataAccessManager::sharedDataModel()->hasModels());
    EXPECT_FALSE(base::FileManager::exists(documents() / "acme/brivanta_lite.sqlite"));
    EXPECT_EQ(base::FileManager::contentsOfDirectory(documents() / "acme"), std::vector<std::string>{});

    ASSERT_TRUE(base::FileManager::copyItem(dbtest::binaryFolder() / "Resources/brivanta_lite.sqlite",
                                            templatePath()));
    auto manager = DataAccessManager::sharedDataModel();
    EXPECT_TRUE(manager->hasModels());
    EXPECT_TRUE(manager->syncConfigData(std::vector{config("modify_price", "1")}));
}

TEST_F(DataAccessManagerTest, ConfigurationKeepsOneRowPerSetting)
{
    logIn("acme");
    auto manager = DataAccessManager::sharedDataModel();
    auto model = manager->configMode();
    ASSERT_TRUE(model);
    EXPECT_FALSE(model->updateVersion());

    ASSERT_TRUE(model->syncConfigData(std::vector{config("date_format", "MM/dd/yy"),
                                                  config("modify_price", "0")}));
    ASSERT_TRUE(model->syncConfigData(std::vector{config("date_format", "yy/MM/dd")}));
    auto stored = model->queryConfig("date_format");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->desc, "yy/MM/dd");
    EXPECT_EQ(stored->clientid, "acme");
    EXPECT_EQ(stored->update_date, "05/07/2013 14:30:00");
    EXPECT_TRUE(stored->_id);
    auto db = BRDatabase::sharedDataBase();
    EXPECT_EQ(db->intForQuery("select count(*) from Brivanta_component_config where cfg_type = ?",
                              "date_format"),
              1);

    auto unknown = model->queryConfig("left_panel");
    ASSERT_TRUE(unknown);
    EXPECT_FALSE(unknown->desc);
    EXPECT_FALSE(unknown->configType);
    auto quoted = model->queryConfig("it's");
    ASSERT_TRUE(quoted);
    EXPECT_FALSE(quoted->desc);
    EXPECT_FALSE(m_log.contains("sqlite3_step"));
    EXPECT_FALSE(model->queryConfig(std::nullopt));

    EXPECT_TRUE(model->syncConfigData(std::vector<ConfigEntity>{}));
    EXPECT_FALSE(model->syncConfigData(std::nullopt));

    model->deleteConfig();
    EXPECT_EQ(db->intForQuery("select count(*) from Brivanta_component_config"), 0);
    EXPECT_TRUE(db->goodConnection());
    EXPECT_FALSE(model->queryConfig("date_format")->desc);
    EXPECT_TRUE(model->syncConfigData(std::vector{config("order_method", "1")}));
    EXPECT_EQ(model->queryConfig("order_method")->desc, "1");
}

TEST_F(DataAccessManagerTest, AFailedRowLeavesTheStoredConfigurationAsItWas)
{
    logIn("acme");
    auto model = DataAccessManager::sharedDataModel()->configMode();
    ASSERT_TRUE(model->syncConfigData(std::vector{config("date_format", "MM/dd/yy")}));
    auto db = BRDatabase::sharedDataBase();
    // A trigger stands in for a row the database refuses.
    ASSERT_TRUE(db->executeUpdate("create temp trigger refuse before insert on Brivanta_component_config "
                                  "when new.cfg_type = 'bad' begin select raise(abort, 'refused'); end"));
    EXPECT_FALSE(model->syncConfigData(std::vector{config("date_format", "yy/MM/dd"),
                                                   config("bad", "x")}));
    EXPECT_EQ(model->queryConfig("date_format")->desc, "MM/dd/yy");
    EXPECT_TRUE(sqlite3_get_autocommit(db->sqliteHandle()));
}

TEST_F(DataAccessManagerTest, ATransactionKeepsAllItsSavesOrNone)
{
    logIn("acme");
    auto manager = DataAccessManager::sharedDataModel();
    auto db = BRDatabase::sharedDataBase();
    ASSERT_TRUE(db->executeUpdate("create temp trigger refuse before insert on Brivanta_component_config "
                                  "when new.cfg_type = 'bad' begin select raise(abort, 'refused'); end"));
    m_expectDBError = true;
    struct Case {
        const char* name;
        std::vector<ConfigEntity> second;
        bool blockSays;
        bool stored;
    } cases[] = {
        {"both saves and the block agree", {config("b", "2")}, true, true},
        {"the block says no", {config("b", "2")}, false, false},
        {"a nested save fails", {config("bad", "x")}, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        manager->deleteConfig();
        bool answered = manager->runInTransaction([&] {
            bool first = manager->syncConfigData(std::vector{config("a", "1")});
            return manager->syncConfigData(c.second) && first && c.blockSays;
        });
        EXPECT_EQ(answered, c.stored);
        EXPECT_EQ(manager->queryConfig("a")->desc == std::optional<std::string>("1"), c.stored);
        EXPECT_TRUE(sqlite3_get_autocommit(db->sqliteHandle()));
    }
}

TEST_F(DataAccessManagerTest, TheTemplateHasTheUpgradedShapeAndTheFixtureTheLegacyOne)
{
    BRDatabase current(templatePath().string());
    ASSERT_TRUE(current.open());
    BRDatabase legacy((dbtest::binaryFolder() / "fixtures/brivanta_lite_legacy.sqlite").string());
    ASSERT_TRUE(legacy.openWithFlags(SQLITE_OPEN_READONLY));
    for (auto [table, column] : {std::pair{"brivanta_customer", "hidden"},
                                 {"brivanta_product_price", "discount_rat"},
                                 {"brivanta_quote_order", "bankAccount"},
                                 {"brivanta_update", "old_file_type"}}) {
        EXPECT_TRUE(current.columnExistsColumnName(table, column)) << table << "." << column;
        EXPECT_TRUE(legacy.tableExists(table)) << table;
        EXPECT_FALSE(legacy.columnExistsColumnName(table, column)) << table << "." << column;
    }
    EXPECT_TRUE(current.tableExists("brivanta_login_user"));
    EXPECT_FALSE(legacy.tableExists("brivanta_login_user"));
    EXPECT_EQ(current.intForQuery("select count(*) from sqlite_master where name = 'customerView'"), 1);
    EXPECT_EQ(legacy.intForQuery("select count(*) from sqlite_master where name = 'customerView'"), 0);
}

} // namespace
