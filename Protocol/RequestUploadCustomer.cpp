#include "Protocol/RequestUploadCustomer.h"

#include "Protocol/CommandParameters.h"
#include "Protocol/LoginMode.h"
#include "Protocol/SubmitCustomerRst.h"

RequestUploadCustomer::RequestUploadCustomer()
{
    static constexpr const ServerCommand* command = findServerCommand("RequestUploadCustomer");
    setCommand(*command);
}

std::optional<std::string> RequestUploadCustomer::RequestEncode()
{
    RequestBody body(requestHead());
    commandparameters::addSessionMethodAccountClient(body, LoginMode::sharedInstance()->sessionId(), methodName());
    body.addElemValueForKey(m_syncData, "syncData");
    return body.requestStr();
}

std::shared_ptr<NetBaseRst> RequestUploadCustomer::RequestDecode(const std::optional<base::Value>& answer)
{
    auto result = std::make_shared<SubmitCustomerRst>();
    DecodeResults(*result, answer);
    // Read whatever the status: the requester looks at the status before applying them.
    if (const base::Dictionary* content = commandparameters::anyObjectContent(answer))
        result->readContent(*content);
    return result;
}
