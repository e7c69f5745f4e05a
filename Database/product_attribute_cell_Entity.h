#pragma once
#include <optional>
#include <string>

// One attribute as a list shows it: the field, the chosen value and the choices.
struct product_attribute_cell_Entity {
    int field_id = 0;
    std::optional<std::string> fieldName;      // column field_name
    std::optional<std::string> attributeValue; // attribute_value, or the value of a "field:value" pair
    std::optional<std::string> attributeList;  // selection_list: the choices joined by ","
};
