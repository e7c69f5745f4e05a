#include "Protocol/RequestDownloadFinish.h"

#include "Protocol/CommandParameters.h"
#include "Protocol/LoginMode.h"
#include "Protocol/SyncDataFinishRst.h"

RequestDownloadFinish::RequestDownloadFinish()
{
    static constexpr const ServerCommand* command = findServerCommand("RequestDownloadFinish");
    setCommand(*command);
}

std::optional<std::string> RequestDownloadFinish::RequestEncode()
{
    RequestBody body(requestHead());
    commandparameters::addSessionMethodAccountClient(body, LoginMode::sharedInstance()->sessionId(), methodName());
    body.addElemValueForKey(commandparameters::decimal(m_fileId), "fileIds");
    return body.requestStr();
}

std::shared_ptr<NetBaseRst> RequestDownloadFinish::RequestDecode(const std::optional<base::Value>& answer)
{
    auto result = std::make_shared<SyncDataFinishRst>();
    DecodeResults(*result, answer);
    return result;
}
