#pragma once
#include "Protocol/RequestInterfaceBase.h"

#include <string>

// Asks whether this device or user was locked (262); the status alone is the answer.
class RequestCheckDeviceStatus : public RequestInterfaceBase {
public:
    // Takes user, device and client from the login state.
    RequestCheckDeviceStatus();

    const std::string& userName() const { return m_userName; }
    const std::string& deviceID() const { return m_deviceID; }
    const std::string& clientID() const { return m_clientID; }

    std::optional<std::string> RequestEncode() override;
    std::shared_ptr<NetBaseRst> RequestDecode(const std::optional<base::Value>& answer) override;

private:
    std::string m_userName;
    std::string m_deviceID;
    std::string m_clientID;
};
