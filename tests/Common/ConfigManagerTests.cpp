#include "Common/BoolText.h"
#include "Common/ConfigManager.h"
#include "Database/DataAccessManager.h"
#include "Database/SQLite/BRDatabase.h"
#include "Database/SQLite/BRResultSet.h"
#include "Platform/Base/UserDefaults.h"
#include "Protocol/LoginMode.h"
#include "tests/Platform/Base/FileTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class ConfigManagerTest : public ::testing::Test {
protected:
    ConfigManagerTest()
    {
        base::UserDefaults::resetStandard();
        LoginMode::freeInstance();
        ConfigManager::freeInstance();
        login("u1");
    }
    ~ConfigManagerTest() override
    {
        ConfigManager::freeInstance();
        DataAccessManager::releaseDataModel();
        BRDatabase::releaseDataBase();
        LoginMode::freeInstance();
        base::UserDefaults::resetStandard();
    }
    static void login(const std::string& account)
    {
        auto login = LoginMode::sharedInstance();
        login->setClientID("AbC");
        login->setAcountID(account);
    }
    static ConfigEntity row(const std::string& type, std::optional<std::string> desc)
    {
        ConfigEntity e;
        e.clientid = "AbC";
        e.configType = type;
        e.desc = std::move(desc);
        e.update_date = "05/07/2013 14:30:00";
        return e;
    }
    static int rowsOfType(const std::string& type)
    {
        auto rs = BRDatabase::sharedDataBase()->executeQuery("select count(*) from Brivanta_component_config where cfg_type = ?", type);
        return rs && rs->next() ? rs->intForColumnIndex(0) : -1;
    }
    static bool databaseFileOpen()
    {
        for (auto& entry : fs::directory_iterator("/proc/self/fd")) {
            std::error_code ec;
            auto target = fs::read_symlink(entry.path(), ec);
            if (!ec && target.filename() == "brivanta_lite.sqlite")
                return true;
        }
        return false;
    }
    basetest::TempHome m_home;
};

TEST(BoolText, ReadsSwitchTextsTheWayTheServerWritesThem)
{
    for (const char* on : {" 1", "+01", "-1", "Yes", "true", "T", "9", "y"})
        EXPECT_TRUE(boolValueOfText(on)) << on;
    for (const char* off : {"0", "00", "no", "", " ", "-", "false", "N"})
        EXPECT_FALSE(boolValueOfText(off)) << off;
}

TEST_F(ConfigManagerTest, ModuleSwitchesFollowTheStoredConfiguration)
{
    auto config = ConfigManager::sharedInstance();
    for (int i = 0; i <= 6; ++i)
        EXPECT_FALSE(config->isOnShow(i)) << i;
    EXPECT_TRUE(config->isOnShow(ConfigManager::kSettingsModule));

    EXPECT_FALSE(config->syncConfigData(std::vector<ConfigEntity>{row("configuration", "1,1,0,1,1,1,1")}));
    for (int i : {0, 1, 3, 4, 5, 6, 7})
        EXPECT_TRUE(config->isOnShow(i)) << i;
    for (int i : {2, 8, -1})
        EXPECT_FALSE(config->isOnShow(i)) << i;

    config->syncConfigData(std::vector<ConfigEntity>{row("configuration", "0,1")});
    EXPECT_EQ(config->queryConfig()->desc, "0,1");
    EXPECT_EQ(rowsOfType("configuration"), 1);
    EXPECT_FALSE(config->isOnShow(0));
    EXPECT_FALSE(config->isOnShow(2));
    EXPECT_FALSE(config->syncConfigData(std::nullopt));
    EXPECT_EQ(config->modelDescArray()->size(), 2u);

    ConfigManager::freeInstance();
    auto fresh = ConfigManager::sharedInstance();
    EXPECT_FALSE(fresh->modelDescArray().has_value());
    EXPECT_FALSE(fresh->isOnShow(1));
    EXPECT_TRUE(fresh->flagDic().empty());
}

TEST_F(ConfigManagerTest, RuntimeSettings)
{
    auto config = ConfigManager::sharedInstance();
    EXPECT_FALSE(config->couldModifyPrice());
    EXPECT_EQ(config->orderMethodType(), 2);
    EXPECT_FALSE(config->leftPanelType().has_value());
    config->syncConfigData(std::vector<ConfigEntity>{row("modify_price", "  "), row("order_method", "3"),
                                                     row("left_panel", "normal"), row("date_format", "yy/MM/dd")});
    EXPECT_FALSE(config->couldModifyPrice());
    EXPECT_EQ(config->orderMethodType(), 3);
    EXPECT_EQ(config->leftPanelType(), "normal");
    EXPECT_EQ(config->queryDateFormat()->desc, "yy/MM/dd");
    for (const char* yes : {"1", "256"}) {
        config->syncConfigData(std::vector<ConfigEntity>{row("modify_price", yes)});
        EXPECT_TRUE(config->couldModifyPrice()) << yes;
    }
    config->deleteConfig();
    EXPECT_EQ(config->orderMethodType(), 2);
}

TEST_F(ConfigManagerTest, ShowAllCustomersIsPerUserAndClient)
{
    auto config = ConfigManager::sharedInstance();
    EXPECT_TRUE(config->isShowAllCustomer());
    config->setIsShowAllCustomer(false);
    login("u2");
    EXPECT_TRUE(config->isShowAllCustomer());
    config->setIsShowAllCustomer(true);
    base::UserDefaults::resetStandard();
    auto stored = base::UserDefaults::standard();
    EXPECT_EQ(stored->objectForKey("u1_AbC_showAllCustomer"), base::Value(false));
    EXPECT_EQ(stored->objectForKey("u2_AbC_showAllCustomer"), base::Value(true));
    login("u1");
    EXPECT_FALSE(config->isShowAllCustomer());
}

TEST_F(ConfigManagerTest, ResetUserDataClosesTheDatabaseFile)
{
    auto config = ConfigManager::sharedInstance();
    config->syncConfigData(std::vector<ConfigEntity>{row("configuration", "1")});
    ASSERT_TRUE(databaseFileOpen());
    config->resetUserData();
    EXPECT_FALSE(databaseFileOpen());
}

} // namespace
