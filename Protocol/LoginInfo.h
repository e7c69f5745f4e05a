#pragma once
#include <optional>
#include <string>

// The credentials of one login: filled by the login form, stored by the local login-user
// table for offline logins.
struct LoginInfo {
    std::optional<std::string> accountId; // user name
    std::optional<std::string> deviceId;
    std::optional<std::string> passWord;
    std::optional<std::string> clientId;
    std::optional<std::string> sessionId;
    std::optional<std::string> email;
    std::optional<std::string> companyName;
    std::optional<std::string> companyLink;
    int userAccess = 0;
};
