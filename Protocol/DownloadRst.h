#pragma once
#include "Protocol/NetBaseRst.h"

// The answer about one file of a download command.
class DownloadRst : public NetBaseRst {
public:
    int fileId = 0;
    // The command's file type.
    int type = -1;
    int downloadId = 0;
    std::string fileName;
};
