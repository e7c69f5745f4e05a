#pragma once
#include "Database/BaseDataModel.h"
#include "Database/brivanta_product_Entity.h"
#include "Database/brivanta_product_related_Entity.h"

#include <optional>
#include <string>
#include <vector>

// Each product's related products, kept as a list of SKUs joined by "," (brivanta_product_related).
class ProductRelatedModel : public BaseDataModel {
public:
    // The published products the product's SKU list names, by name; nothing without a row or
    // with a list of one character or none.
    std::optional<std::vector<brivanta_product_Entity>> getrelatedProductIDsByProductid(int productId);
    // The published products with those SKUs (matched exactly, blanks included), by name.
    std::vector<brivanta_product_Entity> getProductByProductSKU(const std::vector<std::string>& skus);

    // Inserts or replaces every row in one transaction; NO for no list or any refused row.
    bool saveToDatabaseProductrelated(
        const std::optional<std::vector<brivanta_product_related_Entity>>& related);
};
