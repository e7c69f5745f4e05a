#include "Protocol/RequestSyncCustomerTable.h"

#include "Protocol/CommandParameters.h"
#include "Protocol/LoginMode.h"
#include "Protocol/SyncCustomerTableRst.h"

RequestSyncCustomerTable::RequestSyncCustomerTable()
{
    static constexpr const ServerCommand* command = findServerCommand("RequestSyncCustomerTable");
    setCommand(*command);
}

std::optional<std::string> RequestSyncCustomerTable::RequestEncode()
{
    RequestBody body(requestHead());
    const std::string& sessionId = LoginMode::sharedInstance()->sessionId();
    commandparameters::addSyncTableParameters(body, sessionId, methodName(), m_syncType, m_isFull);
    return body.requestStr();
}

std::shared_ptr<NetBaseRst> RequestSyncCustomerTable::RequestDecode(const std::optional<base::Value>& answer)
{
    auto result = std::make_shared<SyncCustomerTableRst>();
    DecodeResults(*result, answer);
    if (const base::Array* content = commandparameters::arrayContent(*result, answer))
        result->readContent(*content);
    return result;
}

std::shared_ptr<NetBaseRst> RequestSyncCustomerTable::RequestDecodeText(AnswerText answer)
{
    auto result = std::make_shared<SyncCustomerTableRst>();
    result->readAnswer(std::move(answer));
    return result;
}
