#include "Protocol/RequestRuntimeConfig.h"

#include "Protocol/CommandParameters.h"
#include "Protocol/ConfigRst.h"

RequestRuntimeConfig::RequestRuntimeConfig()
{
    static constexpr const ServerCommand* command = findServerCommand("RequestRuntimeConfig");
    setCommand(*command);
}

std::optional<std::string> RequestRuntimeConfig::RequestEncode()
{
    RequestBody body(requestHead());
    body.addElemValueForKey(methodName(), "methodName");
    body.addElemValueForKey(m_clientId, "clientId");
    return body.requestStr();
}

std::shared_ptr<NetBaseRst> RequestRuntimeConfig::RequestDecode(const std::optional<base::Value>& answer)
{
    auto result = std::make_shared<ConfigRst>();
    DecodeResults(*result, answer);
    if (const base::Dictionary* content = commandparameters::objectContent(*result, answer))
        result->readContent(*content, true);
    return result;
}
