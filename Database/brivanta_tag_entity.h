#pragma once
#include <optional>
#include <string>
#include <vector>

// One row of brivanta_product_tag, with the ids of the products carrying the tag.
struct brivanta_tag_entity {
    std::optional<std::string> tag_name;
    int tag_id = 0;
    std::vector<int> products; // in memory: product ids
};
