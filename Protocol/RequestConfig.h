#pragma once
#include "Protocol/RequestInterfaceBase.h"

#include <optional>
#include <string>

// Loads the client's configuration (260): module switches, date format, price editing and the
// catalogue's settings.
class RequestConfig : public RequestInterfaceBase {
public:
    RequestConfig();

    const std::optional<std::string>& clientId() const { return m_clientId; }
    void setClientId(std::optional<std::string> v) { m_clientId = std::move(v); }

    std::optional<std::string> RequestEncode() override;
    std::shared_ptr<NetBaseRst> RequestDecode(const std::optional<base::Value>& answer) override;

private:
    std::optional<std::string> m_clientId;
};
