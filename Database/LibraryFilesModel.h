#pragma once
#include "Database/BaseDataModel.h"
#include "Database/brivanta_library_files_Entity.h"

#include <optional>
#include <string>
#include <vector>

class BRResultSet;

// The sales library's documents. Reads list published files only.
class LibraryFilesModel : public BaseDataModel {
public:
    // A file row as a record; without cover_image and info unless full.
    static brivanta_library_files_Entity fileFromRow(BRResultSet& rs, bool full = true);

    std::vector<brivanta_library_files_Entity> getAllLibFiles();
    std::vector<brivanta_library_files_Entity> getAllLibFilesOrderByDate();
    std::vector<brivanta_library_files_Entity> getAllLibFilesOrderByType();
    std::vector<brivanta_library_files_Entity> getLibFilesBycatalogId(int categoryId);
    // Titles containing the text literally; the order is "title", "date desc" or "type desc",
    // anything else meaning "title".
    std::vector<brivanta_library_files_Entity> getLibFilesBysearchNameOrderBy(
        const std::optional<std::string>& text, const std::optional<std::string>& orderBy);
    std::optional<brivanta_library_files_Entity> getFilesByFileId(int fileId);
    // The distinct cover names; files without one are left out.
    std::vector<std::string> getAllFilesImg();

    std::optional<std::string> getCoverImageByFileName(const std::optional<std::string>& fileName);
    std::optional<std::string> getFileTypeByFileName(const std::optional<std::string>& fileName);
    std::optional<std::string> getTitleByFileName(const std::optional<std::string>& fileName);
    int getFileIDbyFileName(const std::optional<std::string>& fileName);
    std::optional<std::string> getFileNameByTitle(const std::optional<std::string>& title);
    std::optional<std::string> getFileNameById(int fileId);
    std::optional<std::string> getFileInfoByFileId(int fileId);

    bool saveToDatabaseLibraryFiles(const std::optional<std::vector<brivanta_library_files_Entity>>& files);
};
