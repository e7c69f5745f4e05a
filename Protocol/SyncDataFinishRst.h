#pragma once
#include "Protocol/NetBaseRst.h"

#include <optional>
#include <string>

// The server's confirmation of a table sync (517, with the part confirmed) or of one library
// file's download (519).
class SyncDataFinishRst : public NetBaseRst {
public:
    std::optional<std::string> tableType;
};
