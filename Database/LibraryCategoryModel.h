#pragma once
#include "Database/BaseDataModel.h"
#include "Database/brivanta_library_category_Entity.h"
#include "Database/brivanta_library_files_Entity.h"
#include "Database/brivanta_library_files_update_Entity.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

// The sales library's category tree, and the files replaced on the server whose older
// version is still on the device (brivanta_update).
class LibraryCategoryModel : public BaseDataModel {
public:
    // Published categories by name.
    std::vector<brivanta_library_category_Entity> getLibraryCategorys();
    std::vector<brivanta_library_category_Entity> getLibSubCategoriesByParentCategoryID(int parentId);
    // An empty record (id 0, no name) for an unknown or unpublished id.
    brivanta_library_category_Entity getLibraryCategoryByCategoryid(int categoryId);
    // Published or not; 0 for an unknown id.
    int getLibParentCategoryIDByCategoryID(int categoryId);
    // Every category's parent, published or not, read in one statement.
    std::map<int, int> getLibCategoryParentMap();
    // The category's published files by title, without cover_image and info; 0 gives the
    // uncategorised files.
    std::vector<brivanta_library_files_Entity> getLibraryFilesByCategory_id(int categoryId);
    std::vector<std::string> getLibraryFilesNameByCategoryName(const std::optional<std::string>& name);
    bool saveToDatabaseLibraryCategory(
        const std::optional<std::vector<brivanta_library_category_Entity>>& categories);

    bool saveToDatabaseLibraryUpdate(const std::optional<brivanta_library_files_update_Entity>& update);
    std::vector<int> getAllLibFileUpdateIDs();
    std::optional<brivanta_library_files_update_Entity> getLibFileUpdateByFileID(int fileId);
    void deleteFileUpdateWithFileID(int fileId);

    // Each column is added when missing, independently of the others.
    bool updateVersion() override;
    bool alterLibFileUpdateTable();
    bool alterLibraryCategoryTable();
};
