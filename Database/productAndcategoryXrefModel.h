#pragma once
#include "Database/BaseDataModel.h"
#include "Database/brivanta_product_category_xref_Entity.h"

#include <optional>
#include <string>
#include <vector>

// The links between products and categories (brivanta_product_category_xref). Category 0
// holds the products outside any category.
class productAndcategoryXrefModel : public BaseDataModel {
public:
    // The product's category ids as decimal texts, in storage order.
    std::vector<std::string> getCategoryIDsByProductid(int productId);
    // Replaces the links of every product the list names by the list's links, in one
    // transaction; products absent from the list keep theirs. NO for no list or a refused row.
    bool saveToDatabasePxrefC(const std::optional<std::vector<brivanta_product_category_xref_Entity>>& links);
};
