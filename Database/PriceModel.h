#pragma once
#include "Database/BaseDataModel.h"
#include "Database/brivanta_product_price_Entity.h"

#include <optional>
#include <string>
#include <vector>

// One price row per product (brivanta_product_price): list price, currency, a discount price
// valid in a date window, tier data and the stored (absolute) discount rate.
class PriceModel : public BaseDataModel {
public:
    // Always a record: the product's last row, or all zero with no discount. discount_flag
    // tells whether now lies in the window (both ends included) and the price is shown.
    brivanta_product_price_Entity getPriceEntityByProductId(int productId);
    // The last row's price; 0 without a row.
    double getPriceByProductId(int productId);
    // The last row's currency; "" without a row.
    std::string getpriceCurrencyByProductId(int productId);

    // Inserts or replaces by price_id in one transaction; NO for no list or any refused row.
    bool saveToDatabasePrice(const std::optional<std::vector<brivanta_product_price_Entity>>& prices);

    // Upgrade steps, each a no-op once applied; YES when the table has its current shape.
    bool updateVersion() override;
    // Rebuilds the table with price_id as its key, when it is not yet; all or nothing.
    bool alterProductPriceTable();
    bool alterProductPriceTableAddDiscountRat();
};
