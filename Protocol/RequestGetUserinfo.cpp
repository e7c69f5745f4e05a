#include "Protocol/RequestGetUserinfo.h"

#include "Protocol/CommandParameters.h"
#include "Protocol/GetUserinfoRst.h"
#include "Protocol/LoginMode.h"
#include "Protocol/ServerFields.h"

namespace {

using serverfields::Conversion;
using serverfields::Field;

constexpr Field<GetUserinfoRst> kUserinfoFields[] = {
    {"email", &GetUserinfoRst::email},
    {"company_name", &GetUserinfoRst::companyName, Conversion::TextOrEmpty},
    {"link", &GetUserinfoRst::companyLink, Conversion::TextOrEmpty},
    {"user_access", &GetUserinfoRst::userAccess},
};

} // namespace

RequestGetUserinfo::RequestGetUserinfo()
{
    static constexpr const ServerCommand* command = findServerCommand("RequestGetUserinfo");
    setCommand(*command);
    auto login = LoginMode::sharedInstance();
    m_userName = login->acountID();
    m_clientID = login->clientID();
}

std::optional<std::string> RequestGetUserinfo::RequestEncode()
{
    RequestBody body(requestHead());
    body.addElemValueForKey(methodName(), "methodName");
    body.addElemValueForKey(m_userName, "accountId");
    body.addElemValueForKey(m_clientID, "clientId");
    return body.requestStr();
}

std::shared_ptr<NetBaseRst> RequestGetUserinfo::RequestDecode(const std::optional<base::Value>& answer)
{
    auto result = std::make_shared<GetUserinfoRst>();
    DecodeResults(*result, answer);
    if (const base::Dictionary* content = commandparameters::objectContent(*result, answer))
        serverfields::fill(*result, *content, kUserinfoFields);
    return result;
}
