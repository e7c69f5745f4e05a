#include "Database/FavoriteModel.h"

#include "Database/ProductModel.h"
#include "Platform/Base/Log.h"

namespace {

brivanta_favorite_Entity favoriteFromRow(BRResultSet& rs)
{
    brivanta_favorite_Entity favorite;
    favorite.product_id = rs.intForColumn("product_id");
    favorite.product_sku = rs.stringForColumn("product_sku");
    favorite.product_name = rs.stringForColumn("product_name");
    return favorite;
}

} // namespace

std::vector<brivanta_favorite_Entity> FavoriteModel::getFavorites()
{
    ProductModel::SkuRule rule;
    return readRows(
        [&rule](BRResultSet& rs) {
            auto favorite = favoriteFromRow(rs);
            favorite.product_sku = rule.shown(favorite.product_sku, favorite.product_id);
            return favorite;
        },
        "SELECT t1.*  FROM brivanta_favorite t1,brivanta_product t2 where "
        "t1.product_id = t2.product_id and t2.product_publish <> -1");
}

std::optional<brivanta_favorite_Entity> FavoriteModel::getFavoriteByFavoriteId(int productId)
{
    return readFirstRow(favoriteFromRow, "select * from brivanta_favorite where  product_id = ?", productId);
}

bool FavoriteModel::saveToDatabaseFavoriteSkuName(int productId, const std::optional<std::string>& sku,
                                                  const std::optional<std::string>& name)
{
    auto db = database();
    return db && db->executeUpdate("INSERT INTO brivanta_favorite(product_id,product_sku,product_name) "
                                   "VALUES(?,?,?);",
                                   productId, sku, name);
}

void FavoriteModel::deleteSingleFavoriteByFavoriteId(int productId)
{
    auto db = database();
    if (db && !db->executeUpdate("delete from brivanta_favorite where product_id = ?", productId))
        base::logf("the favourite product %d stays: %s", productId, db->lastErrorMessage().c_str());
}

void FavoriteModel::deleteAllFavorites()
{
    auto db = database();
    if (db && !db->executeUpdate("delete from brivanta_favorite"))
        base::logf("the favourite products stay: %s", db->lastErrorMessage().c_str());
}
