#pragma once
#include <optional>
#include <string>

// One row of brivanta_customer.
struct brivanta_customer_Entity {
    int pid = 0; // in memory: the local (negative) id, paired with customer_id after an upload
    int customer_id = 0;
    std::optional<std::string> customer_info_id;
    std::optional<std::string> customer_name;
    int customer_publish = 0;
    int customer_ordering = 0;
    double discount = 0;
    int hidden = 0;
};
