#include "Database/IconModel.h"

#include "Database/BulkSave.h"
#include "Database/SQLite/BRDatabase.h"

brivanta_icon_Entity IconModel::getIconByIconId(int iconId)
{
    brivanta_icon_Entity icon;
    auto db = BRDatabase::sharedDataBase();
    if (!db)
        return icon;
    auto rs = db->executeQuery("select * from brivanta_icon where id = ?", iconId);
    while (rs && rs->next()) {
        icon._id = rs->intForColumn("id");
        icon.title = rs->stringForColumn("title");
        icon.name = rs->stringForColumn("name");
        icon.width = rs->intForColumn("width");
        icon.height = rs->intForColumn("height");
        icon.description = rs->stringForColumn("description");
        icon.category = rs->stringForColumn("category");
        icon.publish = rs->intForColumn("publish");
    }
    return icon;
}

std::vector<std::string> IconModel::getAllIconAddress()
{
    std::vector<std::string> list;
    auto db = BRDatabase::sharedDataBase();
    if (!db)
        return list;
    auto rs = db->executeQuery("select * from brivanta_icon");
    while (rs && rs->next()) {
        // An empty name names no file: the sync would download the folder itself.
        if (auto name = rs->stringForColumn("name"); name && !name->empty())
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
