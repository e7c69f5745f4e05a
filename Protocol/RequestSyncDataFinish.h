#pragma once
#include "Protocol/RequestInterfaceBase.h"

#include <string>

// Tells the server that one part of the sync arrived (517): "product", "file", "customer"
// or "skin".
class RequestSyncDataFinish : public RequestInterfaceBase {
public:
    RequestSyncDataFinish();

    const std::string& tableType() const { return m_tableType; }
    void setTableType(std::string v) { m_tableType = std::move(v); }

    std::optional<std::string> RequestEncode() override;
    std::shared_ptr<NetBaseRst> RequestDecode(const std::optional<base::Value>& answer) override;

private:
    std::string m_tableType = "product";
};
