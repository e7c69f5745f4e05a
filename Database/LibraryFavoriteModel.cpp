#include "Database/LibraryFavoriteModel.h"
#include "Platform/Base/Log.h"


namespace {

constexpr const char* kFavoriteTable = "brivanta_library_favorite";

} // namespace

std::optional<brivanta_library_favorite_Entity> LibraryFavoriteModel::getFavoriteByFavoriteId(int fileId)
{
    auto db = database();
    // Before the first favourite there is no table: that is no favourite, not an error.
    if (!db || !db->tableExists(kFavoriteTable))
        return std::nullopt;
    return readFirstRow(
        [](BRResultSet& rs) {
            brivanta_library_favorite_Entity favorite;
            favorite.file_id = rs.intForColumn("id");
            favorite.file_name = rs.stringForColumn("file_name");
            return favorite;
        },
        "select * from brivanta_library_favorite where  id = ?", fileId);
}

std::vector<int> LibraryFavoriteModel::getAllFavoriteIds()
{
    auto db = database();
    if (!db || !db->tableExists(kFavoriteTable))
        return {};
    return readRows([](BRResultSet& rs) { return rs.intForColumn("id"); }, "select id from brivanta_library_favorite");
}

bool LibraryFavoriteModel::saveToDatabaseFavoriteName(int fileId, const std::optional<std::string>& fileName)
{
    auto db = database();
    if (!db)
        return false;
    if (!db->executeUpdate("create table if not exists brivanta_library_favorite(id INTEGER PRIMARY KEY "
                           "NOT NULL,file_name VARCHAR(64))"))
        return false;
    return db->executeUpdate("INSERT OR REPLACE INTO brivanta_library_favorite(id,file_name) VALUES(?,?);",
                             fileId, fileName);
}

void LibraryFavoriteModel::deleteSingleFavoriteByFavoriteId(int fileId)
{
    auto db = database();
    if (db && db->tableExists(kFavoriteTable)
        && !db->executeUpdate("delete from brivanta_library_favorite where id = ?", fileId))
        base::logf("the favourite file %d stays: %s", fileId, db->lastErrorMessage().c_str());
}
