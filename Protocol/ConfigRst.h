#pragma once
#include "Database/ConfigEntity.h"
#include "Platform/Base/Value.h"
#include "Protocol/NetBaseRst.h"

#include <vector>

// The client's configuration as rows of the configuration table, stamped with the client and
// the time they arrived.
class ConfigRst : public NetBaseRst {
public:
    std::vector<ConfigEntity> configTable;

    // The module switches and the settings (260), or only the runtime rows "date_format" and
    // "modify_price" (261).
    void readContent(const base::Dictionary& content, bool runtimeOnly);
};
