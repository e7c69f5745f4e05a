#pragma once
#include "Protocol/RequestInterfaceBase.h"

#include <string>

// Fetches the account's user information (265 on the "Vendor?" head).
class RequestGetUserinfo : public RequestInterfaceBase {
public:
    // Takes user and client from the login state.
    RequestGetUserinfo();

    const std::string& userName() const { return m_userName; }
    const std::string& clientID() const { return m_clientID; }

    std::optional<std::string> RequestEncode() override;
    std::shared_ptr<NetBaseRst> RequestDecode(const std::optional<base::Value>& answer) override;

private:
    std::string m_userName;
    std::string m_clientID;
};
