#pragma once
#include "Platform/Base/Date.h"

#include <optional>
#include <string>

// One row of brivanta_product_price. A negative price is not shown.
struct brivanta_product_price_Entity {
    int price_id = 0;
    int product_id = 0;
    std::optional<std::string> vendor_group_id_list;
    std::optional<std::string> vendor_state_id_list;
    std::optional<std::string> vendor_id_list;
    std::optional<std::string> customer_id_list;
    double price = 0;
    std::optional<std::string> currency;
    double discount_price = 0;
    std::optional<std::string> discount_identifier;
    std::optional<base::Date> discount_start_date;
    std::optional<base::Date> discount_end_date;
    int discount_publish = 0;
    std::optional<base::Date> tier_start_date;
    std::optional<base::Date> tier_end_date;
    std::optional<std::string> tier_quantity_price;
    int tier_publish = 0;
    bool discount_flag = false; // in memory: set by the price table model
    double discontRat = 0;      // column discount_rat, held as the shown rate

    bool isHidden() const { return price < 0; }
    // Currency sign and money text; "" when the price is hidden.
    std::string strPrice() const;
    std::string strDiscountPrice() const;
};
