#include "Protocol/RequestSyncFileTable.h"

#include "Protocol/CommandParameters.h"
#include "Protocol/LoginMode.h"
#include "Protocol/SyncFileTableRst.h"

RequestSyncFileTable::RequestSyncFileTable()
{
    static constexpr const ServerCommand* command = findServerCommand("RequestSyncFileTable");
    setCommand(*command);
    m_sessionId = LoginMode::sharedInstance()->sessionId();
}

std::optional<std::string> RequestSyncFileTable::RequestEncode()
{
    RequestBody body(requestHead());
    commandparameters::addSyncTableParameters(body, m_sessionId, methodName(), m_syncType, m_isFull);
    return body.requestStr();
}

std::shared_ptr<NetBaseRst> RequestSyncFileTable::RequestDecode(const std::optional<base::Value>& answer)
{
    auto result = std::make_shared<SyncFileTableRst>();
    DecodeResults(*result, answer);
    if (const base::Array* content = commandparameters::arrayContent(*result, answer))
        result->readContent(*content);
    return result;
}
