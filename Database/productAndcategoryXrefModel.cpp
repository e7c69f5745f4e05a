#include "Database/productAndcategoryXrefModel.h"

#include "Database/BulkSave.h"

#include <unordered_set>

std::vector<std::string> productAndcategoryXrefModel::getCategoryIDsByProductid(int productId)
{
    return readRows([](BRResultSet& rs) { return std::to_string(rs.intForColumn("category_id")); },
                    "select * from brivanta_product_category_xref where product_id = ?", productId);
}

bool productAndcategoryXrefModel::saveToDatabasePxrefC(
    const std::optional<std::vector<brivanta_product_category_xref_Entity>>& links)
{
    if (!links)
        return false;
    BulkSave save("saveToDatabasePxrefC");
    // All deletes before any insert: a product may come with several links in one list.
    std::unordered_set<int> cleared;
    for (const auto& link : *links) {
        if (cleared.insert(link.product_id).second
            && !save.run("DELETE FROM brivanta_product_category_xref WHERE product_id = ?;",
                         link.product_id))
            break;
    }
    for (const auto& link : *links) {
        if (!save.run("INSERT or REPLACE INTO brivanta_product_category_xref(category_id,product_id) "
                      "VALUES(?,?);",
                      link.category_id, link.product_id))
            break;
    }
    return save.commit();
}
