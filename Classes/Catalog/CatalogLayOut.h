#pragma once
#include "Database/brivanta_product_Entity.h"

#include <cstdint>
#include <vector>

// The object of "setCatalogLayOut": open the product page on products[index], with the list
// the page pages through.
struct CatalogLayOut {
    static constexpr const char* kNotification = "setCatalogLayOut";
    uint32_t index = 0;
    std::vector<brivanta_product_Entity> products;
};
