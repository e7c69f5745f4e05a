#include "Protocol/RequestCheckDeviceStatus.h"

#include "Protocol/CheckDeviceRst.h"
#include "Protocol/LoginMode.h"
#include "Protocol/RequestBody.h"

RequestCheckDeviceStatus::RequestCheckDeviceStatus()
{
    static constexpr const ServerCommand* command = findServerCommand("RequestCheckDeviceStatus");
    setCommand(*command);
    auto login = LoginMode::sharedInstance();
    m_userName = login->acountID();
    m_deviceID = login->deviceID();
    m_clientID = login->clientID();
}

std::optional<std::string> RequestCheckDeviceStatus::RequestEncode()
{
    RequestBody body(requestHead());
    body.addElemValueForKey(methodName(), "methodName");
    body.addElemValueForKey(m_userName, "accountId");
    body.addElemValueForKey(m_deviceID, "deviceId");
    body.addElemValueForKey(m_clientID, "clientId");
    return body.requestStr();
}

std::shared_ptr<NetBaseRst> RequestCheckDeviceStatus::RequestDecode(const std::optional<base::Value>& answer)
{
    auto result = std::make_shared<CheckDeviceRst>();
    DecodeResults(*result, answer);
    return result;
}
