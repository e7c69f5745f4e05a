#pragma once
#include "Protocol/NetBaseRst.h"

#include <optional>
#include <string>

// The account's user information.
class GetUserinfoRst : public NetBaseRst {
public:
    std::optional<std::string> email;
    std::optional<std::string> companyName; // "" when the server leaves it out
    std::optional<std::string> companyLink; // "" when the server leaves it out
    int userAccess = 0;
};
