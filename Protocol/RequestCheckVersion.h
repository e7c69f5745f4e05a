#pragma once
#include "Protocol/RequestInterfaceBase.h"

// Asks whether a newer version of the application exists (263).
class RequestCheckVersion : public RequestInterfaceBase {
public:
    RequestCheckVersion();

    std::optional<std::string> RequestEncode() override;
    std::shared_ptr<NetBaseRst> RequestDecode(const std::optional<base::Value>& answer) override;
};
