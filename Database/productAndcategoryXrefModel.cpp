#include "Database/productAndcategoryXrefModel.h"

#include "Database/BulkSave.h"
#include "Database/SQLite/BRDatabase.h"

#include <unordered_set>

std::vector<std::string> productAndcategoryXrefModel::getCategoryIDsByProductid(int productId)
{
    std::vector<std::string> ids;
    auto db = BRDatabase::sharedDataBase();
    if (!db)
        return ids;
    auto rs = db->executeQuery("select * from brivanta_product_category_xref where product_id = ?",
                               productId);
    while (rs && rs->next())
        ids.push_back(std::to_string(rs->intForColumn("category_id")));
    return ids;
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
