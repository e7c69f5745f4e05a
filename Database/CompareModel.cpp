#include "Database/CompareModel.h"

#include "Database/ProductModel.h"
#include "Database/SQLite/BRDatabase.h"
#include "Platform/Base/Log.h"

std::vector<brivanta_compare_Entity> CompareModel::getCompares()
{
    std::vector<brivanta_compare_Entity> list;
    auto db = BRDatabase::sharedDataBase();
    if (!db)
        return list;
    ProductModel::SkuRule rule;
    // A left join: an entry whose product row is gone stays in the list.
    auto rs = db->executeQuery("select c.product_id,c.product_sku,c.product_name from brivanta_compare c "
                               "left join brivanta_product p on p.product_id = c.product_id "
                               "where p.product_publish is null or p.product_publish <> -1 "
                               "order by c.rowid");
    while (rs && rs->next()) {
        brivanta_compare_Entity compare;
        compare.product_id = rs->intForColumnIndex(0);
        compare.product_sku = rule.shown(rs->stringForColumnIndex(1), compare.product_id);
        compare.product_name = rs->stringForColumnIndex(2);
        list.push_back(std::move(compare));
    }
    return list;
}

int CompareModel::getPublishByCompareId(int productId)
{
    auto db = BRDatabase::sharedDataBase();
    return db ? db->intForQuery("select product_publish from brivanta_product where product_id = ?", productId)
              : 0;
}

std::optional<brivanta_compare_Entity> CompareModel::getCompareByCompareId(int productId)
{
    auto db = BRDatabase::sharedDataBase();
    if (!db)
        return std::nullopt;
    auto rs = db->executeQuery("select * from brivanta_compare where  product_id = ?", productId);
    if (!rs || !rs->next())
        return std::nullopt;
    brivanta_compare_Entity compare;
    compare.product_id = rs->intForColumn("product_id");
    compare.product_sku = rs->stringForColumn("product_sku");
    compare.product_name = rs->stringForColumn("product_name");
    rs->close();
    return compare;
}

bool CompareModel::saveToDatabaseCompareSkuName(int productId, const std::optional<std::string>& sku,
                                                const std::optional<std::string>& name)
{
    auto db = BRDatabase::sharedDataBase();
    return db && db->executeUpdate("INSERT INTO brivanta_compare(product_id,product_sku,product_name) "
                                   "VALUES(?,?,?);",
                                   productId, sku, name);
}

void CompareModel::deleteSingleCompareByCompareId(int productId)
{
    std::string sql = "delete from brivanta_compare where product_id =" + std::to_string(productId);
    base::logf("%s", sql.c_str());
    if (auto db = BRDatabase::sharedDataBase())
        db->executeUpdate(sql);
}

void CompareModel::deleteAllCompare()
{
    if (auto db = BRDatabase::sharedDataBase())
        db->executeUpdate("delete  from brivanta_compare");
}
