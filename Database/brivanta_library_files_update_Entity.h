#pragma once
#include <optional>
#include <string>

// One row of brivanta_update: a library file replaced on the server whose older version is
// still on the device.
struct brivanta_library_files_update_Entity {
    int fileID = 0;                          // column fileId
    std::optional<std::string> oldFileName;  // column old_file_name
    std::optional<std::string> oldFileType;  // column old_file_type
};
