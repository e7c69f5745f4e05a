#pragma once
#include <optional>
#include <string>

// One row of brivanta_fields_customer_attribute: the definition of a customer attribute field.
struct brivanta_fields_customer_attribute_Entity {
    int field_id = 0;
    std::optional<std::string> field_name;
    std::optional<std::string> description;
    std::optional<std::string> data_type;
    std::optional<std::string> selection_list;
    int display = 0;
    int published = 0;
};
