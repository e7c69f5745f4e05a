#include "Database/ConfigMode.h"

#include "Database/SQLite/BRDatabase.h"
#include "Database/SQLite/BRTransaction.h"

bool ConfigMode::syncConfigData(const std::optional<std::vector<ConfigEntity>>& configs)
{
    if (!configs)
        return false;
    auto db = BRDatabase::sharedDataBase();
    if (!db)
        return false;
    BRTransaction transaction(db.get());
    // The table keys rows by cfg_type, so a setting sent again replaces its row.
    for (const auto& config : *configs) {
        transaction.executeUpdate("INSERT OR REPLACE INTO Brivanta_component_config"
                                  "(client_id,cfg_type,desc,update_date) VALUES(?,?,?,?);",
                                  config.clientid, config.configType, config.desc,
                                  config.update_date);
    }
    return transaction.commit();
}

std::optional<ConfigEntity> ConfigMode::queryConfig(const std::optional<std::string>& type)
{
    if (!type)
        return std::nullopt;
    ConfigEntity config;
    auto db = BRDatabase::sharedDataBase();
    if (!db)
        return config;
    auto rs = db->executeQuery("SELECT * FROM Brivanta_component_config where cfg_type = ? limit 0,1;",
                               *type);
    if (rs && rs->next()) {
        config._id = rs->stringForColumn("id");
        config.clientid = rs->stringForColumn("client_id");
        config.configType = rs->stringForColumn("cfg_type");
        config.desc = rs->stringForColumn("desc");
        config.update_date = rs->stringForColumn("update_date");
    }
    if (rs)
        rs->close();
    return config;
}

void ConfigMode::deleteConfig()
{
    if (auto db = BRDatabase::sharedDataBase())
        db->executeUpdate("DELETE FROM Brivanta_component_config;");
}
