#pragma once
#include "Database/brivanta_library_category_Entity.h"
#include "Database/brivanta_library_files_Entity.h"
#include "Platform/Base/Value.h"
#include "Protocol/NetBaseRst.h"

#include <string>
#include <vector>

// The sales library's rows, and the ids of the files the server replaced.
class SyncFileTableRst : public NetBaseRst {
public:
    std::vector<brivanta_library_files_Entity> libFileTable;
    std::vector<brivanta_library_category_Entity> libCategoryTable;
    std::vector<std::string> libFileUpdateTable;

    // [0] files, [1] categories, [2] {"keyIDS": ids joined by ","}.
    void readContent(const base::Array& content);
};
