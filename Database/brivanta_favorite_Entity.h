#pragma once
#include "Database/brivanta_product_Entity.h"

// A favourite product: product_id, product_sku and product_name from brivanta_favorite.
struct brivanta_favorite_Entity : brivanta_product_Entity {
};
