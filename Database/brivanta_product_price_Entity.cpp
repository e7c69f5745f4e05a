#include "Database/brivanta_product_price_Entity.h"

#include "Common/PublicFunction.h"

std::string brivanta_product_price_Entity::strPrice() const
{
    if (isHidden())
        return {};
    return PublicFunction::flagWithCurrency(currency.value_or(""))
        + PublicFunction::doubleFormate(price);
}

std::string brivanta_product_price_Entity::strDiscountPrice() const
{
    // Hidden follows the regular price, not the discount price.
    if (isHidden())
        return {};
    return PublicFunction::flagWithCurrency(currency.value_or(""))
        + PublicFunction::doubleFormate(discount_price);
}
