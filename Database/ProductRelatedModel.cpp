#include "Database/ProductRelatedModel.h"

#include "Database/BulkSave.h"
#include "Database/ProductModel.h"

std::optional<std::vector<brivanta_product_Entity>> ProductRelatedModel::getrelatedProductIDsByProductid(int productId)
{
    auto db = database();
    if (!db)
        return std::nullopt;
    auto list = db->stringForQuery("select related_product_sku from brivanta_product_related where "
                                   "product_id = ? limit 0,1",
                                   productId);
    if (!list || list->size() <= 1)
        return std::nullopt;
    // The pieces stay untrimmed: blanks around a comma are part of the SKU.
    std::vector<std::string> skus;
    size_t start = 0;
    for (size_t comma; (comma = list->find(',', start)) != std::string::npos; start = comma + 1)
        skus.push_back(list->substr(start, comma - start));
    skus.push_back(list->substr(start));
    return getProductByProductSKU(skus);
}

std::vector<brivanta_product_Entity> ProductRelatedModel::getProductByProductSKU(const std::vector<std::string>& skus)
{
    if (skus.empty())
        return {};
    std::string sql = "select * from brivanta_product where product_publish = 1 and product_sku in (?";
    for (size_t i = 1; i < skus.size(); ++i)
        sql += ",?";
    sql += ") order by product_name";
    ProductModel::SkuRule rule;
    return readRows([&rule](BRResultSet& rs) { return ProductModel::productFromRow(rs, &rule); }, sql,
                    std::vector<base::Value>(skus.begin(), skus.end()));
}

bool ProductRelatedModel::saveToDatabaseProductrelated(
    const std::optional<std::vector<brivanta_product_related_Entity>>& related)
{
    if (!related)
        return false;
    BulkSave save("saveToDatabaseProductrelated");
    for (const auto& r : *related) {
        if (!save.run("INSERT or REPLACE INTO brivanta_product_related(product_id,related_product_sku) "
                      "VALUES(?,?);",
                      r.product_id, r.related_product_sku))
            break;
    }
    return save.commit();
}
