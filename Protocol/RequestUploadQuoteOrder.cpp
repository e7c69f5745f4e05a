#include "Protocol/RequestUploadQuoteOrder.h"

#include "Protocol/CommandParameters.h"
#include "Protocol/LoginMode.h"
#include "Protocol/UploadQuoteOrderRst.h"

RequestUploadQuoteOrder::RequestUploadQuoteOrder()
{
    static constexpr const ServerCommand* command = findServerCommand("RequestUploadQuoteOrder");
    setCommand(*command);
}

std::optional<std::string> RequestUploadQuoteOrder::RequestEncode()
{
    RequestBody body(requestHead());
    commandparameters::addSessionMethodAccountClient(body, LoginMode::sharedInstance()->sessionId(), methodName());
    body.addElemValueForKey(m_syncData, "syncData");
    return body.requestStr();
}

std::shared_ptr<NetBaseRst> RequestUploadQuoteOrder::RequestDecode(const std::optional<base::Value>& answer)
{
    auto result = std::make_shared<UploadQuoteOrderRst>();
    DecodeResults(*result, answer);
    if (const base::Dictionary* content = commandparameters::objectContent(*result, answer))
        result->orderIdUpdateArray = commandparameters::objectsOf(content->find("orders"));
    return result;
}
