#pragma once
#include <optional>
#include <string>

// One row of brivanta_customer_address (columns id, customer_id, address, city, state,
// zip_code, isDefault).
struct brivanta_customer_address_Entity {
    int pID = 0; // in memory: the local id before upload
    int indexId = 0;
    int customerId = 0;
    std::optional<std::string> customerAddress;
    std::optional<std::string> customerCity;
    std::optional<std::string> customerState;
    std::optional<std::string> customerZipCode;
    bool isDefault = false;
};
