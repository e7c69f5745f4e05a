#include "Database/CategoryModel.h"

#include "Database/BulkSave.h"
#include "Database/SQLite/BRDatabase.h"

namespace {

brivanta_category_Entity categoryFromRow(BRResultSet& rs)
{
    brivanta_category_Entity category;
    category.category_id = rs.intForColumn("category_id");
    category.category_name = rs.stringForColumn("category_name");
    category.category_code = rs.stringForColumn("category_code");
    category.category_type = rs.stringForColumn("category_type");
    category.category_publish = rs.intForColumn("category_publish");
    category.category_ordering = rs.intForColumn("category_ordering");
    category.category_parent_id = rs.intForColumn("category_parent_id");
    return category;
}

template <typename... Args>
std::vector<brivanta_category_Entity> categories(std::string_view sql, const Args&... args)
{
    return BaseDataModel::readRows(categoryFromRow, sql, args...);
}


} // namespace

std::vector<brivanta_category_Entity> CategoryModel::getAllCategory()
{
    return categories("select * from brivanta_category where category_publish = 1 order by category_name");
}

std::vector<brivanta_category_Entity> CategoryModel::getCategoryWithParentCategoryid(int parentId)
{
    return categories("select * from brivanta_category where category_publish = 1 and "
                      "category_parent_id = ? and category_id >0 order by category_name",
                      parentId);
}

brivanta_category_Entity CategoryModel::getCategoryWithCategoryid(int categoryId)
{
    auto list = categories("select * from brivanta_category where category_publish = 1 and "
                           "category_id = ? order by category_name",
                           categoryId);
    return list.empty() ? brivanta_category_Entity{} : list.back();
}

int CategoryModel::getParentCategoryId(int categoryId)
{
    return intForQuery("select category_parent_id from brivanta_category where category_id = ?", categoryId);
}

int CategoryModel::getCategoryCountUnderCategoryid(int categoryId)
{
    return intForQuery("select count(*) from brivanta_category where category_publish = 1  and "
                 "category_parent_id = ?",
                 categoryId);
}

int CategoryModel::getProductCountUnderCategoryid(int categoryId)
{
    return intForQuery("select count(*) from brivanta_category c,brivanta_product_category_xref  x where "
                 "c.category_publish = 1 and  x.category_id = c.category_id and "
                 "c.category_parent_id = ?",
                 categoryId);
}

bool CategoryModel::saveToDatabaseCategory(
    const std::optional<std::vector<brivanta_category_Entity>>& categories)
{
    if (!categories)
        return false;
    BulkSave save("saveToDatabaseCategory");
    for (const auto& c : *categories) {
        if (!save.run("INSERT or REPLACE INTO brivanta_category(category_id,category_name,"
                      "category_code,category_type,category_publish,category_ordering,"
                      "category_parent_id) VALUES(?,?,?,?,?,?,?);",
                      c.category_id, c.category_name, c.category_code, c.category_type,
                      c.category_publish, c.category_ordering, c.category_parent_id))
            break;
    }
    return save.commit();
}
