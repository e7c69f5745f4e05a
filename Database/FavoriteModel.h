#pragma once
#include "Database/BaseDataModel.h"
#include "Database/brivanta_favorite_Entity.h"

#include <optional>
#include <string>
#include <vector>

// The products the user marked as favourites (brivanta_favorite); written only by the user.
class FavoriteModel : public BaseDataModel {
public:
    // SKU rule applied; entries whose product is withdrawn or gone are left out.
    std::vector<brivanta_favorite_Entity> getFavorites();
    // The entry with its SKU as stored.
    std::optional<brivanta_favorite_Entity> getFavoriteByFavoriteId(int productId);
    // A plain insert: NO when the product is already a favourite.
    bool saveToDatabaseFavoriteSkuName(int productId, const std::optional<std::string>& sku,
                                       const std::optional<std::string>& name);
    void deleteSingleFavoriteByFavoriteId(int productId);
    void deleteAllFavorites();
};
