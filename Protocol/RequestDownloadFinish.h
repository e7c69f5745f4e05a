#pragma once
#include "Protocol/RequestInterfaceBase.h"

// Tells the server that one library file arrived on the device (519).
class RequestDownloadFinish : public RequestInterfaceBase {
public:
    RequestDownloadFinish();

    int fileId() const { return m_fileId; }
    void setFileId(int id) { m_fileId = id; }

    std::optional<std::string> RequestEncode() override;
    std::shared_ptr<NetBaseRst> RequestDecode(const std::optional<base::Value>& answer) override;

private:
    int m_fileId = 0;
};
