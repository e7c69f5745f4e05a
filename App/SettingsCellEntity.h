#pragma once
#include <any>
#include <string>

// One row of the settings table: its type, its title key's text and what it shows or opens.
struct SettingsCellEntity {
    int32_t cellType = 0;
    std::string cellTitle;
    // The account rows, the language names, a text or a switch state, by row.
    std::any cellValue;
};
