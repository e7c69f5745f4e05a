#pragma once
#include <optional>
#include <string>

// One row of brivanta_compare.
struct brivanta_compare_Entity {
    int _id = 0;
    int product_id = 0;
    std::optional<std::string> product_sku;
    std::optional<std::string> product_name;
};
