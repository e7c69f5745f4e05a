#pragma once
#include <optional>
#include <string>

// One row of brivanta_library_files; file_id is the column id.
struct brivanta_library_files_Entity {
    int file_id = 0;
    std::optional<std::string> title;
    std::optional<std::string> file_name;
    int category = 0;
    std::optional<std::string> type;
    std::optional<std::string> date;
    std::optional<std::string> description;
    int ordering = 0;
    int published = 0;
    std::optional<std::string> cover_image;
    std::optional<std::string> info; // "<format>/<size> M", then optionally "," and a duration

    // The part of info before the first ",", or all of it.
    std::string infoShow() const;
    // The part after the first ","; "" when there is none or it is shorter than 2 characters.
    std::string duration() const;
    // The size info lists, in megabytes (the number after "/", " M" removed); 0 without one.
    double listedMegabytes() const;
};
