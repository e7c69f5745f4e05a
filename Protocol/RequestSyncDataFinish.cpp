#include "Protocol/RequestSyncDataFinish.h"

#include "Protocol/CommandParameters.h"
#include "Protocol/LoginMode.h"
#include "Protocol/SyncDataFinishRst.h"

RequestSyncDataFinish::RequestSyncDataFinish()
{
    static constexpr const ServerCommand* command = findServerCommand("RequestSyncDataFinish");
    setCommand(*command);
}

std::optional<std::string> RequestSyncDataFinish::RequestEncode()
{
    RequestBody body(requestHead());
    commandparameters::addSessionMethodAccountClient(body, LoginMode::sharedInstance()->sessionId(), methodName());
    body.addElemValueForKey(m_tableType, "tableType");
    return body.requestStr();
}

std::shared_ptr<NetBaseRst> RequestSyncDataFinish::RequestDecode(const std::optional<base::Value>& answer)
{
    auto result = std::make_shared<SyncDataFinishRst>();
    DecodeResults(*result, answer);
    // Whatever the answer, so the requester knows which part it is about.
    result->tableType = m_tableType;
    return result;
}
