#pragma once
#include <optional>
#include <string>

// One row of brivanta_customer_attribute: one customer's value of one attribute field.
struct brivanta_customer_attribute_Entity {
    int pID = 0; // in memory: the local id before upload
    int attribute_id = 0;
    int customer_id = 0;
    int attribute_fields_id = 0;
    std::optional<std::string> attribute_value;
};
