#include "Database/IconModel.h"

#include "Database/BulkSave.h"

brivanta_icon_Entity IconModel::getIconByIconId(int iconId)
{
    auto rows = readRows(
        [](BRResultSet& rs) {
            brivanta_icon_Entity icon;
            icon._id = rs.intForColumn("id");
            icon.title = rs.stringForColumn("title");
            icon.name = rs.stringForColumn("name");
            icon.width = rs.intForColumn("width");
            icon.height = rs.intForColumn("height");
            icon.description = rs.stringForColumn("description");
            icon.category = rs.stringForColumn("category");
            icon.publish = rs.intForColumn("publish");
            return icon;
        },
        "select * from brivanta_icon where id = ?", iconId);
    return rows.empty() ? brivanta_icon_Entity{} : rows.back();
}

std::vector<std::string> IconModel::getAllIconAddress()
{
    std::vector<std::string> list;
    // An empty name names no file: the sync would download the folder itself.
    for (auto& name : readRows([](BRResultSet& rs) { return rs.stringForColumn("name"); },
                               "select * from brivanta_icon")) {
        if (name && !name->empty())
            list.push_back(std::move(*name));
    }
    return list;
}

bool IconModel::saveToDatabaseIcon(const std::optional<std::vector<brivanta_icon_Entity>>& icons)
{
    if (!icons)
        return false;
    BulkSave save("saveToDatabaseIcon");
    for (const auto& i : *icons) {
        if (!save.run("INSERT or REPLACE INTO brivanta_icon(id,title,name,width,height,description,"
                      "category,publish) VALUES(?,?,?,?,?,?,?,?);",
                      i._id, i.title, i.name, i.width, i.height, i.description, i.category, i.publish))
            break;
    }
    return save.commit();
}
