#pragma once
#include "Database/BaseDataModel.h"
#include "Database/brivanta_library_files_Entity.h"
#include "Database/brivanta_product_related_files_Entity.h"

#include <optional>
#include <vector>

// The library files attached to products, linked through the product's SKU.
class ProductMaterialModel : public BaseDataModel {
public:
    // The product's published files by title.
    std::vector<brivanta_library_files_Entity> getProductRelatedFilesByProductId(int productId);
    // Replaces every link; an empty list answers NO and keeps them.
    bool saveToDatabaseProductRelatedFile(
        const std::optional<std::vector<brivanta_product_related_files_Entity>>& links);

    bool updateVersion() override;
    bool createProductRelatedFileTable();
    bool alterProductRelatedFileTable();
};
