#pragma once

// One row of brivanta_product_related_tag: a tag on a product.
struct brivanta_product_related_tag_Entity {
    int product_id = 0;
    int tag_id = 0;
};
