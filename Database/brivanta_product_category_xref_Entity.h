#pragma once

// One row of brivanta_product_category_xref: a product filed under a category.
struct brivanta_product_category_xref_Entity {
    int category_id = 0;
    int product_id = 0;
};
