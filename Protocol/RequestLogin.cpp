#include "Protocol/RequestLogin.h"

#include "Common/PublicFunction.h"
#include "Platform/Base/Text.h"
#include "Platform/Base/UserDefaults.h"
#include "Protocol/CommandParameters.h"
#include "Protocol/LoginMode.h"
#include "Protocol/LoginRst.h"
#include "Protocol/ServerFields.h"

RequestLogin::RequestLogin()
{
    static constexpr const ServerCommand* command = findServerCommand("RequestLogin");
    setCommand(*command);
    auto login = LoginMode::sharedInstance();
    m_userName = login->acountID();
    m_deviceID = login->deviceID();
    m_passWord = login->password();
    m_clientID = login->clientID();
}

std::string RequestLogin::passwordDigest(std::string_view plain)
{
    return base::lowercased(PublicFunction::encryptMD5(plain));
}

bool RequestLogin::isPasswordDigest(std::string_view text)
{
    if (text.size() != 32)
        return false;
    for (char c : text) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    return true;
}

std::optional<std::string> RequestLogin::RequestEncode()
{
    // A held digest travels as it is; anything else is made one, so that a credential that
    // reached here undigested still never leaves the device in plain.
    if (!isPasswordDigest(m_passWord))
        m_passWord = passwordDigest(m_passWord);
    auto login = LoginMode::sharedInstance();
    bool synced = base::UserDefaults::standard()->objectForKey(login->clientID() + "-FileSynced").has_value();

    RequestBody body(requestHead());
    body.addElemValueForKey(methodName(), "methodName");
    body.addElemValueForKey(commandparameters::currentVersion(), "version");
    body.addElemValueForKey(m_userName, "accountId");
    body.addElemValueForKey(m_deviceID, "deviceId");
    body.addElemValueForKey(m_passWord, "password");
    body.addElemValueForKey(m_clientID, "clientId");
    body.addElemValueForKey(std::string(synced ? "NO" : "YES"), "firstLogin");
    return body.requestStr();
}

std::shared_ptr<NetBaseRst> RequestLogin::RequestDecode(const std::optional<base::Value>& answer)
{
    auto result = std::make_shared<LoginRst>();
    DecodeResults(*result, answer);
    if (const base::Dictionary* content = commandparameters::objectContent(*result, answer))
        result->readContent(*content);
    return result;
}

namespace {

using serverfields::Conversion;
using serverfields::Field;

constexpr Field<LoginRst> kLoginFields[] = {
    {"sessionId", &LoginRst::sessionId},
    {"email", &LoginRst::email},
    {"company_name", &LoginRst::companyName, Conversion::TextOrEmpty},
    {"link", &LoginRst::companyLink, Conversion::TextOrEmpty},
    {"user_access", &LoginRst::userAccess},
};

constexpr Field<LoginRst> kVendorFields[] = {
    {"account", &LoginRst::account, Conversion::TextOrEmpty},
    {"clientId", &LoginRst::clientId, Conversion::TextOrEmpty},
    {"device_id", &LoginRst::device_id, Conversion::TextOrEmpty},
    {"device_token", &LoginRst::device_token, Conversion::TextOrEmpty},
    {"discount", &LoginRst::discount, Conversion::TextOrEmpty},
    {"is_locked", &LoginRst::is_locked, Conversion::TextOrEmpty},
    {"password", &LoginRst::password, Conversion::TextOrEmpty},
    {"phone", &LoginRst::phone, Conversion::TextOrEmpty},
    {"username", &LoginRst::username, Conversion::TextOrEmpty},
    {"vendor_group_id", &LoginRst::vendor_group_id},
    {"vendor_id", &LoginRst::vendor_id},
    {"vendor_state_id", &LoginRst::vendor_state_id},
};

} // namespace

void LoginRst::readContent(const base::Dictionary& content)
{
    serverfields::fill(*this, content, kLoginFields);
    needUpdate = serverfields::intOf(content.find("dataUpdated")) != 0;
    needUpdateSkin = serverfields::intOf(content.find("skinUpdated")) != 0;
    needSyncAll = serverfields::intOf(content.find("syncAll")) != 0;
    if (const base::Value* vendor = content.find("vendor"); vendor && vendor->isDictionary())
        serverfields::fill(*this, vendor->asDictionary(), kVendorFields);
}
