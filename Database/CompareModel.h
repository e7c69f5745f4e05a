#pragma once
#include "Database/BaseDataModel.h"
#include "Database/brivanta_compare_Entity.h"

#include <optional>
#include <string>
#include <vector>

// The products the user picked for comparison (brivanta_compare); written only by the user.
class CompareModel : public BaseDataModel {
public:
    // Storage order, SKU rule applied. Withdrawn products (publish -1) are left out; entries
    // whose product is gone stay.
    std::vector<brivanta_compare_Entity> getCompares();
    // The product's publish value; 0 when it is not stored.
    int getPublishByCompareId(int productId);
    // The entry with its SKU as stored.
    std::optional<brivanta_compare_Entity> getCompareByCompareId(int productId);
    // A plain insert: NO when the product is already compared (the catalogue's toggle relies
    // on that).
    bool saveToDatabaseCompareSkuName(int productId, const std::optional<std::string>& sku,
                                      const std::optional<std::string>& name);
    // Writes its statement to the log.
    void deleteSingleCompareByCompareId(int productId);
    void deleteAllCompare();
};
