#include "Database/ConfigMode.h"

#include "Database/SQLite/BRTransaction.h"
#include "Platform/Base/Log.h"

bool ConfigMode::syncConfigData(const std::optional<std::vector<ConfigEntity>>& configs)
{
    if (!configs)
        return false;
    auto db = database();
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
    // No row, or no connection, is an empty setting rather than none.
    auto config = readFirstRow(
        [](BRResultSet& rs) {
            ConfigEntity row;
            row._id = rs.stringForColumn("id");
            row.clientid = rs.stringForColumn("client_id");
            row.configType = rs.stringForColumn("cfg_type");
            row.desc = rs.stringForColumn("desc");
            row.update_date = rs.stringForColumn("update_date");
            return row;
        },
        "SELECT * FROM Brivanta_component_config where cfg_type = ? limit 0,1;", *type);
    return config.value_or(ConfigEntity{});
}

void ConfigMode::deleteConfig()
{
    auto db = database();
    if (db && !db->executeUpdate("DELETE FROM Brivanta_component_config;"))
        base::logf("the stored configuration stays: %s", db->lastErrorMessage().c_str());
}
