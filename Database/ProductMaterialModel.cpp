#include "Database/ProductMaterialModel.h"

#include "Database/BulkSave.h"
#include "Database/LibraryFilesModel.h"

std::vector<brivanta_library_files_Entity> ProductMaterialModel::getProductRelatedFilesByProductId(int productId)
{
    // Linked through the product's SKU as it is now, not the stored product id.
    return readRows([](BRResultSet& rs) { return LibraryFilesModel::fileFromRow(rs); },
                    "select t1.* from brivanta_library_files t1, brivanta_product_related_file "
                    "t2,brivanta_product t3 where t1.id = t2.file_id and t2.product_sku = "
                    "t3.product_sku and t1.published = 1 and t3.product_id = ? order by title",
                    productId);
}

bool ProductMaterialModel::saveToDatabaseProductRelatedFile(
    const std::optional<std::vector<brivanta_product_related_files_Entity>>& links)
{
    if (!links || links->empty())
        return false;
    BulkSave save("saveToDatabaseProductRelatedFile");
    save.run("delete from brivanta_product_related_file;");
    for (const auto& link : *links) {
        if (!save.run("INSERT or REPLACE INTO brivanta_product_related_file(file_id,product_sku,"
                      "product_id) VALUES(?,?,?);",
                      link.file_id, link.product_sku, link.product_id))
            break;
    }
    return save.commit();
}

bool ProductMaterialModel::updateVersion()
{
    BaseDataModel::updateVersion();
    bool table = createProductRelatedFileTable();
    bool column = alterProductRelatedFileTable();
    return table && column;
}

bool ProductMaterialModel::createProductRelatedFileTable()
{
    auto db = goodDatabase();
    if (!db)
        return false;
    return db->executeUpdate("create table if not exists brivanta_product_related_file(id INTEGER "
                             "PRIMARY KEY AUTOINCREMENT NOT NULL,file_id INTEGER NOT NULL,"
                             "product_sku varchar)");
}

bool ProductMaterialModel::alterProductRelatedFileTable()
{
    return addColumnIfMissing("brivanta_product_related_file", "product_id",
                              "ALTER TABLE brivanta_product_related_file ADD product_id integer ");
}
