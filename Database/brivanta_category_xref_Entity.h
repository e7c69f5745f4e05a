#pragma once

// A parent-child link between categories.
struct brivanta_category_xref_Entity {
    int category_parent_id = 0;
    int category_child_id = 0;
};
