#pragma once
#include <optional>
#include <string>

// One row of brivanta_image (the column names' spelling is the stored one).
struct brivanta_image_Entity {
    int image_id = 0;
    int key_id = 0;
    std::optional<std::string> key_type;
    std::optional<std::string> image_thumb_address;
    std::optional<std::string> image_full_address;
    int image_isdault = 0;
    std::optional<std::string> image_s_desc;
    std::optional<std::string> image_l_desc;
    int image_publis = 0;
    int image_ordering = 0;
};
