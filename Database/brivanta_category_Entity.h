#pragma once
#include <optional>
#include <string>

// One row of brivanta_category.
struct brivanta_category_Entity {
    int category_id = 0;
    std::optional<std::string> category_name;
    std::optional<std::string> category_code;
    std::optional<std::string> category_type;
    int category_publish = 0;
    int category_ordering = 0;
    int category_parent_id = 0;
    int category_numberOfProducts = 0; // in memory: filled by the catalogue
};
