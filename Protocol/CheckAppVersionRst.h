#pragma once
#include "Protocol/NetBaseRst.h"

#include <string>

// The answer to the version check: whether a newer version exists and how pressing it is.
class CheckAppVersionRst : public NetBaseRst {
public:
    int updateType = 0; // 0 none, 1 and 2 optional, 3 mandatory
    std::string appVersion;
    std::string appUrl; // where the new version is downloaded
    std::string msgChinese;
    std::string msgEnglish;

    // The message in the language shown now.
    const std::string& updateMessage() const;
};
