#include "Protocol/RequestInterfaceBase.h"

#include "Common/Language.h"
#include "Network/BRJSON.h"

namespace {

// The text of a status; a status the tables do not know shows that of "115".
std::string statusText(const std::string& status)
{
    std::string text = Language::stringWithName(status);
    if (text.empty())
        text = Language::stringWithName(std::string(kStatusNoStatus));
    return text;
}

// A text as it is, a number as its decimal text; anything else is no status.
std::optional<std::string> statusOf(const base::Value& value)
{
    if (value.isString())
        return value.asString();
    if (value.isNumber())
        return value.toString();
    return std::nullopt;
}

} // namespace

void RequestInterfaceBase::setCommand(const ServerCommand& command)
{
    m_cmdCode = command.code;
    m_requestHead = std::string(command.head);
    m_methodName = std::string(command.methodName);
    m_requestType = command.requestType;
}

std::optional<std::string> RequestInterfaceBase::RequestEncode()
{
    return std::nullopt;
}

std::shared_ptr<NetBaseRst> RequestInterfaceBase::RequestDecode(const std::optional<base::Value>& answer)
{
    auto result = std::make_shared<NetBaseRst>();
    DecodeResults(*result, answer);
    return result;
}

std::shared_ptr<NetBaseRst> RequestInterfaceBase::RequestDecodeText(AnswerText answer)
{
    if (!answer)
        return RequestDecode(std::nullopt);
    return RequestDecode(JSONValue(answer.text()));
}

void RequestInterfaceBase::DecodeResults(NetBaseRst& result, const std::optional<base::Value>& recData)
{
    bool decided = false;
    if (recData && recData->isDictionary()) {
        const base::Value& results = (*recData)["results"];
        if (results.isArray()) {
            for (const base::Value& entry : results.asArray()) {
                if (!entry.isDictionary())
                    continue;
                std::string status = statusOf(entry["status"]).value_or(std::string(kStatusNoStatus));
                result.detail = entry["detail"].toString();
                result.message = statusText(status);
                result.status = std::move(status);
                decided = true;
            }
        }
    }
    if (!decided) {
        result.status = std::string(kStatusNoStatus);
        result.message = statusText(result.status);
    }
}
