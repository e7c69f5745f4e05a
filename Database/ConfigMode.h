#pragma once
#include "Database/BaseDataModel.h"
#include "Database/ConfigEntity.h"

#include <optional>
#include <string>
#include <vector>

// The client's configuration rows (module switches and runtime settings from the login),
// one row per setting type in Brivanta_component_config.
class ConfigMode : public BaseDataModel {
public:
    // Stores the rows in one transaction; NO for no list, a failed row or a failed commit.
    bool syncConfigData(const std::optional<std::vector<ConfigEntity>>& configs);
    // The row of that type; an empty record when there is none; nothing for no type.
    std::optional<ConfigEntity> queryConfig(const std::optional<std::string>& type);
    // Deletes every row; the shared connection stays open.
    void deleteConfig();
};
