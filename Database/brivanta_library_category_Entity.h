#pragma once
#include <optional>
#include <string>

// One row of brivanta_library_category; categoryID is the column id.
struct brivanta_library_category_Entity {
    int categoryID = 0;
    std::optional<std::string> name;
    int ordering = 0;
    int published = 0;
    int parent_id = 0;
};
