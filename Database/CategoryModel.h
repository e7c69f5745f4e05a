#pragma once
#include "Database/BaseDataModel.h"
#include "Database/brivanta_category_Entity.h"

#include <optional>
#include <vector>

// The catalogue's category tree (brivanta_category). Reads show published categories only,
// apart from the parent lookup.
class CategoryModel : public BaseDataModel {
public:
    // Published categories by name.
    std::vector<brivanta_category_Entity> getAllCategory();
    // Published children by name; ids of 0 or below are never children.
    std::vector<brivanta_category_Entity> getCategoryWithParentCategoryid(int parentId);
    // The published category, or the empty record (id 0, no texts).
    brivanta_category_Entity getCategoryWithCategoryid(int categoryId);
    // The parent of any category, published or not; 0 for an unknown id.
    int getParentCategoryId(int categoryId);
    // Published children of the category.
    int getCategoryCountUnderCategoryid(int categoryId);
    // Product links held by the published children of the category.
    int getProductCountUnderCategoryid(int categoryId);

    // Inserts or replaces every row in one transaction; NO for no list or any refused row.
    bool saveToDatabaseCategory(const std::optional<std::vector<brivanta_category_Entity>>& categories);
};
