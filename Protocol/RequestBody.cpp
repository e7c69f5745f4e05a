#include "Protocol/RequestBody.h"

#include "Network/BRJSON.h"

bool RequestBody::addElemValueForKey(const std::optional<std::string>& value, const std::optional<std::string>& key)
{
    if (!value || !key)
        return false;
    m_parameters.set(*key, base::Value(*value));
    return true;
}

std::optional<std::string> RequestBody::requestStr() const
{
    base::Dictionary parameters = m_parameters;
    parameters.remove("jsessionId");
    base::Dictionary root;
    root.set("parameters", base::Value(std::move(parameters)));
    base::Dictionary envelope;
    envelope.set("root", base::Value(std::move(root)));
    return JSONRepresentation(base::Value(std::move(envelope)));
}
