#include "Database/LibraryFilesModel.h"

#include "Database/BulkSave.h"
#include "Platform/Base/Text.h"

namespace {

std::vector<brivanta_library_files_Entity> readFiles(std::string_view sql)
{
    return BaseDataModel::readRows([](BRResultSet& rs) { return LibraryFilesModel::fileFromRow(rs); }, sql);
}

// The first published row of that file name, read by column.
std::optional<std::string> textByFileName(const std::optional<std::string>& fileName,
                                          std::string_view column)
{
    if (!fileName)
        return std::nullopt;
    auto rows = BaseDataModel::readRows([column](BRResultSet& rs) { return rs.stringForColumn(column); },
                         "select * from brivanta_library_files where file_name = ? and "
                         "published = 1 limit 0,1",
                         *fileName);
    return rows.empty() ? std::nullopt : rows.front();
}

} // namespace

brivanta_library_files_Entity LibraryFilesModel::fileFromRow(BRResultSet& rs, bool full)
{
    brivanta_library_files_Entity file;
    file.file_id = rs.intForColumn("id");
    file.title = rs.stringForColumn("title");
    file.file_name = rs.stringForColumn("file_name");
    file.category = rs.intForColumn("category");
    file.type = rs.stringForColumn("type");
    file.date = rs.stringForColumn("date");
    file.description = rs.stringForColumn("description");
    file.ordering = rs.intForColumn("ordering");
    file.published = rs.intForColumn("published");
    if (full) {
        file.cover_image = rs.stringForColumn("cover_image");
        file.info = rs.stringForColumn("info");
    }
    return file;
}

std::vector<brivanta_library_files_Entity> LibraryFilesModel::getAllLibFiles()
{
    return readFiles("select * from brivanta_library_files where published = 1 order by title");
}

std::vector<brivanta_library_files_Entity> LibraryFilesModel::getAllLibFilesOrderByDate()
{
    return readFiles("select * from brivanta_library_files where published = 1 order by date desc,title");
}

std::vector<brivanta_library_files_Entity> LibraryFilesModel::getAllLibFilesOrderByType()
{
    return readFiles("select * from brivanta_library_files where published = 1 order by type desc");
}

std::vector<brivanta_library_files_Entity> LibraryFilesModel::getLibFilesBycatalogId(int categoryId)
{
    return readRows([](BRResultSet& rs) { return fileFromRow(rs); },
                    "select * from brivanta_library_files where published = 1 and category = ? "
                    "order by title",
                    categoryId);
}

std::vector<brivanta_library_files_Entity> LibraryFilesModel::getLibFilesBysearchNameOrderBy(
    const std::optional<std::string>& text, const std::optional<std::string>& orderBy)
{
    if (!text)
        return {};
    // The order clause is chosen here, never taken from the caller's text.
    std::string_view order = "title";
    if (orderBy == "date desc")
        order = "date desc";
    else if (orderBy == "type desc")
        order = "type desc";
    std::string sql = "select * from brivanta_library_files where published = 1 and (folded(title) like "
                      "'%' || ? || '%' ESCAPE '\\') order by ";
    sql += order;
    return readRows([](BRResultSet& rs) { return fileFromRow(rs); }, sql, likeLiteral(base::folded(*text)));
}

std::optional<brivanta_library_files_Entity> LibraryFilesModel::getFilesByFileId(int fileId)
{
    auto rows = readRows([](BRResultSet& rs) { return fileFromRow(rs); },
                         "select * from brivanta_library_files where published = 1 and id = ? "
                         "limit 0,1",
                         fileId);
    if (rows.empty())
        return std::nullopt;
    return rows.front();
}

std::vector<std::string> LibraryFilesModel::getAllFilesImg()
{
    // An empty name names no file: sync would ask for the folder itself.
    auto rows = readRows([](BRResultSet& rs) { return rs.stringForColumn("cover_image"); },
                         "select distinct cover_image from brivanta_library_files where published "
                         "= 1 and cover_image is not null and cover_image != ''");
    std::vector<std::string> names;
    names.reserve(rows.size());
    for (auto& name : rows) {
        if (name)
            names.push_back(std::move(*name));
    }
    return names;
}

std::optional<std::string> LibraryFilesModel::getCoverImageByFileName(const std::optional<std::string>& fileName)
{
    return textByFileName(fileName, "cover_image");
}

std::optional<std::string> LibraryFilesModel::getFileTypeByFileName(const std::optional<std::string>& fileName)
{
    return textByFileName(fileName, "type");
}

std::optional<std::string> LibraryFilesModel::getTitleByFileName(const std::optional<std::string>& fileName)
{
    return textByFileName(fileName, "title");
}

int LibraryFilesModel::getFileIDbyFileName(const std::optional<std::string>& fileName)
{
    if (!fileName)
        return 0;
    return intForQuery("select id from brivanta_library_files where file_name = ? and "
                           "published = 1 limit 0,1",
                           *fileName);
}

std::optional<std::string> LibraryFilesModel::getFileNameByTitle(const std::optional<std::string>& title)
{
    if (!title)
        return std::nullopt;
    return stringForQuery("select file_name from brivanta_library_files where title = ? and "
                              "published = 1 limit 0,1",
                              *title);
}

std::optional<std::string> LibraryFilesModel::getFileNameById(int fileId)
{
    return stringForQuery("select file_name from brivanta_library_files where id = ? and "
                              "published = 1 limit 0,1",
                              fileId);
}

std::optional<std::string> LibraryFilesModel::getFileInfoByFileId(int fileId)
{
    return stringForQuery("select info from brivanta_library_files where id = ? and published "
                              "= 1 limit 0,1",
                              fileId);
}

bool LibraryFilesModel::saveToDatabaseLibraryFiles(
    const std::optional<std::vector<brivanta_library_files_Entity>>& files)
{
    if (!files)
        return false;
    BulkSave save("saveToDatabaseLibraryFiles");
    for (const auto& file : *files) {
        if (!save.run("INSERT or REPLACE INTO brivanta_library_files(id,title,file_name,category,type,"
                      "date,description,ordering,published,cover_image,info) "
                      "VALUES(?,?,?,?,?,?,?,?,?,?,?);",
                      file.file_id, file.title, file.file_name, file.category, file.type, file.date,
                      file.description, file.ordering, file.published, file.cover_image, file.info))
            break;
    }
    return save.commit();
}
