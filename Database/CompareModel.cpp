#include "Database/CompareModel.h"

#include "Database/ProductModel.h"
#include "Platform/Base/Log.h"

namespace {

brivanta_compare_Entity compareFromRow(BRResultSet& rs)
{
    brivanta_compare_Entity compare;
    compare.product_id = rs.intForColumn("product_id");
    compare.product_sku = rs.stringForColumn("product_sku");
    compare.product_name = rs.stringForColumn("product_name");
    return compare;
}

} // namespace

std::vector<brivanta_compare_Entity> CompareModel::getCompares()
{
    ProductModel::SkuRule rule;
    // A left join: an entry whose product row is gone stays in the list.
    return readRows(
        [&rule](BRResultSet& rs) {
            auto compare = compareFromRow(rs);
            compare.product_sku = rule.shown(compare.product_sku, compare.product_id);
            return compare;
        },
        "select c.product_id,c.product_sku,c.product_name from brivanta_compare c "
        "left join brivanta_product p on p.product_id = c.product_id "
        "where p.product_publish is null or p.product_publish <> -1 "
        "order by c.rowid");
}

int CompareModel::getPublishByCompareId(int productId)
{
    return intForQuery("select product_publish from brivanta_product where product_id = ?", productId);
}

std::optional<brivanta_compare_Entity> CompareModel::getCompareByCompareId(int productId)
{
    return readFirstRow(compareFromRow, "select * from brivanta_compare where  product_id = ?", productId);
}

bool CompareModel::saveToDatabaseCompareSkuName(int productId, const std::optional<std::string>& sku,
                                                const std::optional<std::string>& name)
{
    auto db = database();
    return db && db->executeUpdate("INSERT INTO brivanta_compare(product_id,product_sku,product_name) "
                                   "VALUES(?,?,?);",
                                   productId, sku, name);
}

void CompareModel::deleteSingleCompareByCompareId(int productId)
{
    // The statement is logged as it reads; the id itself is bound.
    base::logf("delete from brivanta_compare where product_id =%d", productId);
    auto db = database();
    if (db && !db->executeUpdate("delete from brivanta_compare where product_id = ?", productId))
        base::logf("the compare entry of product %d stays: %s", productId, db->lastErrorMessage().c_str());
}

void CompareModel::deleteAllCompare()
{
    auto db = database();
    if (db && !db->executeUpdate("delete  from brivanta_compare"))
        base::logf("the compare list stays: %s", db->lastErrorMessage().c_str());
}
