#pragma once
#include "Protocol/RequestInterfaceBase.h"

#include <optional>
#include <string>

// Loads the runtime part of the client's configuration (261): date format and price editing.
class RequestRuntimeConfig : public RequestInterfaceBase {
public:
    RequestRuntimeConfig();

    const std::optional<std::string>& clientId() const { return m_clientId; }
    void setClientId(std::optional<std::string> v) { m_clientId = std::move(v); }

    std::optional<std::string> RequestEncode() override;
    std::shared_ptr<NetBaseRst> RequestDecode(const std::optional<base::Value>& answer) override;

private:
    std::optional<std::string> m_clientId;
};
