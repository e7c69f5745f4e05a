#include "Database/FavoriteModel.h"

#include "Database/ProductModel.h"
#include "Database/SQLite/BRDatabase.h"

std::vector<brivanta_favorite_Entity> FavoriteModel::getFavorites()
{
    std::vector<brivanta_favorite_Entity> list;
    auto db = BRDatabase::sharedDataBase();
    if (!db)
        return list;
    ProductModel::SkuRule rule;
    auto rs = db->executeQuery("SELECT t1.*  FROM brivanta_favorite t1,brivanta_product t2 where "
                               "t1.product_id = t2.product_id and t2.product_publish <> -1");
    while (rs && rs->next()) {
        brivanta_favorite_Entity favorite;
        favorite.product_id = rs->intForColumn("product_id");
        favorite.product_sku = rule.shown(rs->stringForColumn("product_sku"), favorite.product_id);
        favorite.product_name = rs->stringForColumn("product_name");
        list.push_back(std::move(favorite));
    }
    return list;
}

std::optional<brivanta_favorite_Entity> FavoriteModel::getFavoriteByFavoriteId(int productId)
{
    auto db = BRDatabase::sharedDataBase();
    if (!db)
        return std::nullopt;
    auto rs = db->executeQuery("select * from brivanta_favorite where  product_id = ?", productId);
    if (!rs || !rs->next())
        return std::nullopt;
    brivanta_favorite_Entity favorite;
    favorite.product_id = rs->intForColumn("product_id");
    favorite.product_sku = rs->stringForColumn("product_sku");
    favorite.product_name = rs->stringForColumn("product_name");
    rs->close();
    return favorite;
}

bool FavoriteModel::saveToDatabaseFavoriteSkuName(int productId, const std::optional<std::string>& sku,
                                                  const std::optional<std::string>& name)
{
    auto db = BRDatabase::sharedDataBase();
    return db && db->executeUpdate("INSERT INTO brivanta_favorite(product_id,product_sku,product_name) "
                                   "VALUES(?,?,?);",
                                   productId, sku, name);
}

void FavoriteModel::deleteSingleFavoriteByFavoriteId(int productId)
{
    if (auto db = BRDatabase::sharedDataBase())
        db->executeUpdate("delete from brivanta_favorite where product_id = ?", productId);
}

void FavoriteModel::deleteAllFavorites()
{
    if (auto db = BRDatabase::sharedDataBase())
        db->executeUpdate("delete from brivanta_favorite");
}
