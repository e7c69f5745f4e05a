#include "Database/LibraryCategoryModel.h"

#include "Database/BulkSave.h"
#include "Database/LibraryFilesModel.h"
#include "Platform/Base/Log.h"

namespace {

brivanta_library_category_Entity readCategory(BRResultSet& rs)
{
    brivanta_library_category_Entity category;
    category.categoryID = rs.intForColumn("id");
    category.name = rs.stringForColumn("name");
    category.ordering = rs.intForColumn("ordering");
    category.published = rs.intForColumn("published");
    category.parent_id = rs.intForColumn("parent_id");
    return category;
}

brivanta_library_files_update_Entity readUpdate(BRResultSet& rs)
{
    brivanta_library_files_update_Entity update;
    update.fileID = rs.intForColumn("fileId");
    update.oldFileName = rs.stringForColumn("old_file_name");
    update.oldFileType = rs.stringForColumn("old_file_type");
    return update;
}

} // namespace

std::vector<brivanta_library_category_Entity> LibraryCategoryModel::getLibraryCategorys()
{
    return readRows(readCategory,
                    "select * from brivanta_library_category where published = 1 order by name");
}

std::vector<brivanta_library_category_Entity> LibraryCategoryModel::getLibSubCategoriesByParentCategoryID(
    int parentId)
{
    return readRows(readCategory,
                    "select * from brivanta_library_category where published = 1 and parent_id = ? "
                    "order by name",
                    parentId);
}

brivanta_library_category_Entity LibraryCategoryModel::getLibraryCategoryByCategoryid(int categoryId)
{
    auto rows = readRows(readCategory,
                         "select * from brivanta_library_category where published = 1 and id = ? "
                         "order by name",
                         categoryId);
    return rows.empty() ? brivanta_library_category_Entity{} : rows.front();
}

int LibraryCategoryModel::getLibParentCategoryIDByCategoryID(int categoryId)
{
    return intForQuery("select parent_id from brivanta_library_category where id = ?", categoryId);
}

std::map<int, int> LibraryCategoryModel::getLibCategoryParentMap()
{
    std::map<int, int> parents;
    for (const auto& [id, parent] : readRows(
             [](BRResultSet& rs) { return std::pair(rs.intForColumn("id"), rs.intForColumn("parent_id")); },
             "select id, parent_id from brivanta_library_category"))
        parents[id] = parent;
    return parents;
}

std::vector<brivanta_library_files_Entity> LibraryCategoryModel::getLibraryFilesByCategory_id(int categoryId)
{
    auto read = [](BRResultSet& rs) { return LibraryFilesModel::fileFromRow(rs, false); };
    if (categoryId == 0) {
        return readRows(read,
                        "select * from brivanta_library_files f where f.category = 0 and "
                        "f.published = 1 order by title");
    }
    // Only the file's columns: its id, ordering and published, not the category's.
    return readRows(read,
                    "select f.* from brivanta_library_category c,brivanta_library_files f where c.id "
                    "= f.category and  c.published=1 and f.published = 1  and c.id  = ? order by "
                    "title",
                    categoryId);
}

std::vector<std::string> LibraryCategoryModel::getLibraryFilesNameByCategoryName(
    const std::optional<std::string>& name)
{
    std::vector<std::string> names;
    if (!name)
        return names;
    auto rows = readRows([](BRResultSet& rs) { return rs.stringForColumn("file_name"); },
                         "select f.file_name from brivanta_library_category c,brivanta_library_files "
                         "f where c.id =f.category and  c.published=1 and f.published = 1  and "
                         "c.name  = ?",
                         *name);
    for (auto& fileName : rows) {
        if (fileName)
            names.push_back(std::move(*fileName));
    }
    return names;
}

bool LibraryCategoryModel::saveToDatabaseLibraryCategory(
    const std::optional<std::vector<brivanta_library_category_Entity>>& categories)
{
    if (!categories)
        return false;
    BulkSave save("saveToDatabaseLibraryCategory");
    for (const auto& category : *categories) {
        if (!save.run("INSERT or REPLACE INTO brivanta_library_category(id,name,ordering,published,"
                      "parent_id) VALUES(?,?,?,?,?);",
                      category.categoryID, category.name, category.ordering, category.published,
                      category.parent_id))
            break;
    }
    return save.commit();
}

bool LibraryCategoryModel::saveToDatabaseLibraryUpdate(
    const std::optional<brivanta_library_files_update_Entity>& update)
{
    auto db = database();
    if (!update || !db)
        return false;
    return db->executeUpdate("INSERT or REPLACE INTO brivanta_update(fileId,old_file_name,"
                             "old_file_type) VALUES(?,?,?);",
                             update->fileID, update->oldFileName, update->oldFileType);
}

std::vector<int> LibraryCategoryModel::getAllLibFileUpdateIDs()
{
    return readRows([](BRResultSet& rs) { return rs.intForColumn("fileId"); },
                    "select * from brivanta_update");
}

std::optional<brivanta_library_files_update_Entity> LibraryCategoryModel::getLibFileUpdateByFileID(int fileId)
{
    auto rows = readRows(readUpdate, "select * from brivanta_update where fileId = ?", fileId);
    if (rows.empty())
        return std::nullopt;
    return rows.front();
}

void LibraryCategoryModel::deleteFileUpdateWithFileID(int fileId)
{
    auto db = database();
    if (db && !db->executeUpdate("delete from brivanta_update where fileId = ?", fileId))
        base::logf("the update entry of file %d stays: %s", fileId, db->lastErrorMessage().c_str());
}

bool LibraryCategoryModel::updateVersion()
{
    BaseDataModel::updateVersion();
    // Independent steps: a database that already has the update columns still gets parent_id.
    bool updates = alterLibFileUpdateTable();
    bool parents = alterLibraryCategoryTable();
    return updates && parents;
}

bool LibraryCategoryModel::alterLibFileUpdateTable()
{
    if (!goodDatabase())
        return false;
    bool name = addColumnIfMissing("brivanta_update", "old_file_name",
                                   "ALTER TABLE brivanta_update ADD old_file_name VARCHAR DEFAULT NULL;");
    bool type = addColumnIfMissing("brivanta_update", "old_file_type",
                                   "ALTER TABLE brivanta_update ADD old_file_type VARCHAR DEFAULT NULL;");
    return name && type;
}

bool LibraryCategoryModel::alterLibraryCategoryTable()
{
    return addColumnIfMissing("brivanta_library_category", "parent_id",
                              "ALTER TABLE brivanta_library_category ADD parent_id integer DEFAULT 0;");
}
