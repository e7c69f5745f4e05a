#pragma once
#include "Protocol/RequestInterfaceBase.h"

#include <string>

// Pulls the customer tables (516); the session is the login state's when it is written.
class RequestSyncCustomerTable : public RequestInterfaceBase {
public:
    RequestSyncCustomerTable();

    const std::string& syncType() const { return m_syncType; }
    // "true" for every row, "false" for what changed since the last confirmed sync.
    const std::string& isFull() const { return m_isFull; }
    void setIsFull(std::string v) { m_isFull = std::move(v); }

    std::optional<std::string> RequestEncode() override;
    std::shared_ptr<NetBaseRst> RequestDecode(const std::optional<base::Value>& answer) override;
    // The rows stay in the text, read batch by batch (SyncCustomerTableRst::forEachBatch).
    std::shared_ptr<NetBaseRst> RequestDecodeText(AnswerText answer) override;

private:
    std::string m_syncType = "customer";
    std::string m_isFull = "true";
};
