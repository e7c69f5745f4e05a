#include "Protocol/RequestGetOrderHistory.h"

#include "Common/PublicFunction.h"
#include "Protocol/CommandParameters.h"
#include "Protocol/GetOrderHistoryRst.h"
#include "Protocol/LoginMode.h"

RequestGetOrderHistory::RequestGetOrderHistory()
{
    static constexpr const ServerCommand* command = findServerCommand("RequestGetOrderHistory");
    setCommand(*command);
    auto login = LoginMode::sharedInstance();
    m_userName = login->acountID();
    m_clientID = login->clientID();
}

std::optional<std::string> RequestGetOrderHistory::RequestEncode()
{
    RequestBody body(requestHead());
    body.addElemValueForKey(LoginMode::sharedInstance()->sessionId(), "jsessionId");
    body.addElemValueForKey(methodName(), "methodName");
    body.addElemValueForKey(m_userName, "accountId");
    body.addElemValueForKey(m_clientID, "clientId");
    body.addElemValueForKey(m_baseTime ? PublicFunction::changeToServerFormatFromLocal(*m_baseTime) : std::string(),
                            "baseTime");
    body.addElemValueForKey(commandparameters::decimal(m_numberOfOrder), "numberOfOrder");
    return body.requestStr();
}

std::shared_ptr<NetBaseRst> RequestGetOrderHistory::RequestDecode(const std::optional<base::Value>& answer)
{
    auto result = std::make_shared<GetOrderHistoryRst>();
    DecodeResults(*result, answer);
    if (const base::Dictionary* content = commandparameters::objectContent(*result, answer)) {
        result->orderHistoryArray = commandparameters::objectsOf(content->find("orders"));
        result->orderItemHistoryArray = commandparameters::objectsOf(content->find("items"));
    }
    return result;
}
