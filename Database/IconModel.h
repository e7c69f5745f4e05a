#pragma once
#include "Database/BaseDataModel.h"
#include "Database/brivanta_icon_Entity.h"

#include <optional>
#include <string>
#include <vector>

// The server's icons and interface pictures (brivanta_icon).
class IconModel : public BaseDataModel {
public:
    // The icon of any publish state; the empty record when there is none.
    brivanta_icon_Entity getIconByIconId(int iconId);
    // Every icon's file name, published or not; rows naming no file are left out.
    std::vector<std::string> getAllIconAddress();

    // Inserts or replaces every row in one transaction; NO for no list or any refused row.
    bool saveToDatabaseIcon(const std::optional<std::vector<brivanta_icon_Entity>>& icons);
};
