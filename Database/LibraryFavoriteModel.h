#pragma once
#include "Database/BaseDataModel.h"
#include "Database/brivanta_library_favorite_Entity.h"

#include <optional>
#include <string>
#include <vector>

// The user's bookmarked library files. The table is made by the first favourite save.
class LibraryFavoriteModel : public BaseDataModel {
public:
    // Nothing while the file is no favourite, or no favourite was ever saved.
    std::optional<brivanta_library_favorite_Entity> getFavoriteByFavoriteId(int fileId);
    // Every favourite's file id, in one read (empty before the first favourite).
    std::vector<int> getAllFavoriteIds();
    // Replaces the name of a file that is already a favourite.
    bool saveToDatabaseFavoriteName(int fileId, const std::optional<std::string>& fileName);
    void deleteSingleFavoriteByFavoriteId(int fileId);
};
