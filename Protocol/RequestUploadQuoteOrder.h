#pragma once
#include "Protocol/RequestInterfaceBase.h"

#include <optional>
#include <string>

// Carries submitted orders to the server (518) and reads back their server ids.
class RequestUploadQuoteOrder : public RequestInterfaceBase {
public:
    RequestUploadQuoteOrder();

    // The order upload document as JSON text, sent as one text value.
    const std::optional<std::string>& syncData() const { return m_syncData; }
    void setSyncData(std::optional<std::string> v) { m_syncData = std::move(v); }

    std::optional<std::string> RequestEncode() override;
    std::shared_ptr<NetBaseRst> RequestDecode(const std::optional<base::Value>& answer) override;

private:
    std::optional<std::string> m_syncData;
};
