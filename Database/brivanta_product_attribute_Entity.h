#pragma once
#include <optional>
#include <string>

// One row of brivanta_product_attribute: one product's value of one attribute field.
struct brivanta_product_attribute_Entity {
    int attribute_id = 0;
    int product_id = 0;
    int attribute_fields_id = 0;
    std::optional<std::string> attribute_value;
    std::optional<std::string> default_value;
};
