#pragma once
#include <string>

// The answer to the version check: whether a newer version exists and how pressing it is.
struct CheckAppVersionRst {
    std::string status;
    std::string message;   // the language text of the status
    int updateType = 0;    // 0 none, 1 and 2 optional, 3 mandatory
    std::string appVersion;
    std::string appUrl;    // where the new version is downloaded
    std::string updateMessage;
};
