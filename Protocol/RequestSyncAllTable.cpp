#include "Protocol/RequestSyncAllTable.h"

#include "Protocol/CommandParameters.h"
#include "Protocol/LoginMode.h"
#include "Protocol/SyncAllTableRst.h"

RequestSyncAllTable::RequestSyncAllTable()
{
    static constexpr const ServerCommand* command = findServerCommand("RequestSyncAllTable");
    setCommand(*command);
    m_sessionId = LoginMode::sharedInstance()->sessionId();
}

std::optional<std::string> RequestSyncAllTable::RequestEncode()
{
    RequestBody body(requestHead());
    commandparameters::addSyncTableParameters(body, m_sessionId, methodName(), m_syncType, m_isFull);
    return body.requestStr();
}

std::shared_ptr<NetBaseRst> RequestSyncAllTable::RequestDecode(const std::optional<base::Value>& answer)
{
    auto result = std::make_shared<SyncAllTableRst>();
    DecodeResults(*result, answer);
    if (const base::Array* content = commandparameters::arrayContent(*result, answer))
        result->readContent(*content);
    return result;
}

std::shared_ptr<NetBaseRst> RequestSyncAllTable::RequestDecodeText(AnswerText answer)
{
    auto result = std::make_shared<SyncAllTableRst>();
    result->readAnswer(std::move(answer));
    return result;
}
