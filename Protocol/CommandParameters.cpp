#include "Protocol/CommandParameters.h"

#include "Common/AppSession.h"
#include "Platform/Base/Bundle.h"
#include "Protocol/LoginMode.h"
#include "Protocol/ServerCommands.h"

#include <cstdio>

namespace commandparameters {

std::string currentVersion()
{
    if (auto app = AppSession::shared(); app && !app->currentVersion().empty())
        return app->currentVersion();
    return base::Bundle::shortVersion();
}

std::string decimal(int number)
{
    char text[16];
    std::snprintf(text, sizeof text, "%d", number);
    return text;
}

void addSessionMethodAccountClient(RequestBody& body, const std::string& sessionId, const std::string& methodName)
{
    auto login = LoginMode::sharedInstance();
    body.addElemValueForKey(sessionId, "jsessionId");
    body.addElemValueForKey(methodName, "methodName");
    body.addElemValueForKey(login->acountID(), "accountId");
    body.addElemValueForKey(login->clientID(), "clientId");
}

void addSyncTableParameters(RequestBody& body, const std::string& sessionId, const std::string& methodName,
                            const std::string& syncType, const std::string& isFull)
{
    addSessionMethodAccountClient(body, sessionId, methodName);
    body.addElemValueForKey(LoginMode::sharedInstance()->deviceID(), "deviceId");
    body.addElemValueForKey(syncType, "syncType");
    body.addElemValueForKey(isFull, "isFull");
}

const base::Dictionary* anyObjectContent(const std::optional<base::Value>& answer)
{
    if (!answer)
        return nullptr;
    const base::Value& content = (*answer)["content"];
    return content.isDictionary() ? &content.asDictionary() : nullptr;
}

const base::Dictionary* objectContent(const NetBaseRst& result, const std::optional<base::Value>& answer)
{
    return result.status == kStatusSuccess ? anyObjectContent(answer) : nullptr;
}

const base::Array* arrayContent(const NetBaseRst& result, const std::optional<base::Value>& answer)
{
    if (result.status != kStatusSuccess || !answer)
        return nullptr;
    const base::Value& content = (*answer)["content"];
    return content.isArray() ? &content.asArray() : nullptr;
}

base::Array objectsOf(const base::Value* list)
{
    base::Array objects;
    if (!list || !list->isArray())
        return objects;
    for (const base::Value& element : list->asArray()) {
        if (element.isDictionary())
            objects.push_back(element);
    }
    return objects;
}

} // namespace commandparameters
