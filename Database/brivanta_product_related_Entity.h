#pragma once
#include <optional>
#include <string>

// One row of brivanta_product_related: the SKUs related to a product, joined by ",".
struct brivanta_product_related_Entity {
    int product_id = 0;
    std::optional<std::string> related_product_sku;
};
