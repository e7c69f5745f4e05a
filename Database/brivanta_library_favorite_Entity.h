#pragma once
#include "Database/brivanta_library_files_Entity.h"

// A favourite library file: file_id (column id) and file_name from brivanta_library_favorite.
struct brivanta_library_favorite_Entity : brivanta_library_files_Entity {
};
