#pragma once
#include "Protocol/RequestInterfaceBase.h"

#include <string>

// Pulls the catalogue's tables (513).
class RequestSyncAllTable : public RequestInterfaceBase {
public:
    RequestSyncAllTable();

    const std::string& sessionId() const { return m_sessionId; }
    void setSessionId(std::string v) { m_sessionId = std::move(v); }
    const std::string& syncType() const { return m_syncType; }
    // "true" for every row, "false" for what changed since the last confirmed sync.
    const std::string& isFull() const { return m_isFull; }
    void setIsFull(std::string v) { m_isFull = std::move(v); }

    std::optional<std::string> RequestEncode() override;
    std::shared_ptr<NetBaseRst> RequestDecode(const std::optional<base::Value>& answer) override;
    // The rows stay in the text, read batch by batch (SyncAllTableRst::forEachBatch).
    std::shared_ptr<NetBaseRst> RequestDecodeText(AnswerText answer) override;

private:
    std::string m_sessionId;
    std::string m_syncType = "product";
    std::string m_isFull = "true";
};
