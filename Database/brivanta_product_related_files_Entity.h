#pragma once
#include <optional>
#include <string>

// One row of brivanta_product_related_file: a library file linked to a product.
struct brivanta_product_related_files_Entity {
    int product_id = 0;
    std::optional<std::string> product_sku;
    int file_id = 0;
};
