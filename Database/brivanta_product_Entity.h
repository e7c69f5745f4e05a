#pragma once
#include "Platform/Base/Date.h"

#include <optional>
#include <string>

// One row of brivanta_product, with what the order sheet keeps beside it.
struct brivanta_product_Entity {
    int _id = 0;
    int product_id = 0;
    std::optional<std::string> product_sku;
    std::optional<std::string> product_name;
    std::optional<std::string> product_s_desc;
    std::optional<std::string> product_l_desc;
    int product_publish = 0;
    int product_ordering = 0;
    int product_stock = 0;
    int product_sale = 0;
    int product_buy = 0;
    int count = 0; // in memory: the quantity chosen on the add-to-order sheet
    std::optional<base::Date> product_c_date;
    std::optional<base::Date> product_m_date;
    std::optional<std::string> product_tags; // tag names joined by ","
    std::optional<std::string> attributes;   // in memory: "field:value" pairs joined by ","
    int itemNumberInOrder = 0;               // in memory: how many the current order holds

    // One line per chosen attribute, each ending in a line feed; "" when there are none.
    std::string attributesShow() const;
};
