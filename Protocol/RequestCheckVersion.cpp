#include "Protocol/RequestCheckVersion.h"

#include "Common/LanguageManager.h"
#include "Protocol/CheckAppVersionRst.h"
#include "Protocol/CommandParameters.h"
#include "Protocol/ServerFields.h"

RequestCheckVersion::RequestCheckVersion()
{
    static constexpr const ServerCommand* command = findServerCommand("RequestCheckVersion");
    setCommand(*command);
}

std::optional<std::string> RequestCheckVersion::RequestEncode()
{
    RequestBody body(requestHead());
    body.addElemValueForKey(methodName(), "methodName");
    body.addElemValueForKey(commandparameters::currentVersion(), "version");
    return body.requestStr();
}

std::shared_ptr<NetBaseRst> RequestCheckVersion::RequestDecode(const std::optional<base::Value>& answer)
{
    auto result = std::make_shared<CheckAppVersionRst>();
    DecodeResults(*result, answer);
    const base::Dictionary* content = commandparameters::objectContent(*result, answer);
    if (!content)
        return result;
    auto text = [](const base::Value* value) { return serverfields::textOf(value).value_or(std::string()); };
    result->updateType = serverfields::intOf(content->find("update_status"));
    result->appVersion = text(content->find("latest_version"));
    result->appUrl = text(content->find("app_url"));
    if (const base::Value* messages = content->find("messages"); messages && messages->isDictionary()) {
        result->msgChinese = text(messages->asDictionary().find("zh"));
        result->msgEnglish = text(messages->asDictionary().find("en"));
    }
    return result;
}

const std::string& CheckAppVersionRst::updateMessage() const
{
    return LanguageManager::sharedInstance()->currentLanguage() == 2 ? msgChinese : msgEnglish;
}
