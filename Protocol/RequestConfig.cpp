#include "Protocol/RequestConfig.h"

#include "Protocol/CommandParameters.h"
#include "Protocol/ConfigRst.h"

RequestConfig::RequestConfig()
{
    static constexpr const ServerCommand* command = findServerCommand("RequestConfig");
    setCommand(*command);
}

std::optional<std::string> RequestConfig::RequestEncode()
{
    RequestBody body(requestHead());
    body.addElemValueForKey(methodName(), "methodName");
    body.addElemValueForKey(m_clientId, "clientId");
    return body.requestStr();
}

std::shared_ptr<NetBaseRst> RequestConfig::RequestDecode(const std::optional<base::Value>& answer)
{
    auto result = std::make_shared<ConfigRst>();
    DecodeResults(*result, answer);
    if (const base::Dictionary* content = commandparameters::objectContent(*result, answer))
        result->readContent(*content, false);
    return result;
}
