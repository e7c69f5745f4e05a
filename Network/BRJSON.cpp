#include "Network/BRJSON.h"

BRJSON::BRJSON() : m_jsonParser(std::make_unique<BRJsonParser>()), m_jsonWriter(std::make_unique<BRJsonWriter>())
{
    setMaxDepth(kDefaultMaxDepth);
}

void BRJSON::setMaxDepth(uint32_t maxDepth)
{
    BRJsonBase::setMaxDepth(maxDepth);
    m_jsonParser->setMaxDepth(maxDepth);
    m_jsonWriter->setMaxDepth(maxDepth);
}

void BRJSON::takeErrorTrace(const BRJsonBase& component, base::ErrorPtr* error)
{
    auto trace = component.errorTrace();
    if (error)
        *error = trace && !trace->empty() ? trace->back() : nullptr;
    setErrorTrace(std::move(trace));
}

std::optional<std::string> BRJSON::stringWithObject(const base::Value& value)
{
    return stringWithObjectAllowScalarError(value, false, nullptr);
}

std::optional<base::Value> BRJSON::objectWithString(std::optional<std::string_view> text)
{
    return objectWithStringAllowScalarError(text, false, nullptr);
}

std::optional<std::string> BRJSON::stringWithObjectAllowScalarError(const base::Value& value, bool allowScalar,
                                                                    base::ErrorPtr* error)
{
    auto text = allowScalar ? m_jsonWriter->stringWithFragment(value) : m_jsonWriter->stringWithObject(value);
    if (!text)
        takeErrorTrace(*m_jsonWriter, error);
    return text;
}

std::optional<base::Value> BRJSON::objectWithStringAllowScalarError(std::optional<std::string_view> text,
                                                                    bool allowScalar, base::ErrorPtr* error)
{
    auto value = allowScalar ? m_jsonParser->fragmentWithString(text) : m_jsonParser->objectWithString(text);
    if (!value)
        takeErrorTrace(*m_jsonParser, error);
    return value;
}

std::optional<std::string> BRJSON::stringWithFragmentError(const base::Value& value, base::ErrorPtr* error)
{
    return stringWithObjectAllowScalarError(value, true, error);
}

std::optional<std::string> BRJSON::stringWithObjectError(const base::Value& value, base::ErrorPtr* error)
{
    return stringWithObjectAllowScalarError(value, false, error);
}

std::optional<base::Value> BRJSON::fragmentWithStringError(std::optional<std::string_view> text,
                                                           base::ErrorPtr* error)
{
    return objectWithStringAllowScalarError(text, true, error);
}

std::optional<base::Value> BRJSON::objectWithStringError(std::optional<std::string_view> text, base::ErrorPtr* error)
{
    return objectWithStringAllowScalarError(text, false, error);
}

namespace {

BRJsonParser& sharedParser()
{
    thread_local BRJsonParser parser;
    return parser;
}

BRJsonWriter& sharedWriter()
{
    thread_local BRJsonWriter writer;
    return writer;
}

} // namespace

std::optional<base::Value> JSONValue(std::optional<std::string_view> text)
{
    return sharedParser().objectWithString(text);
}

std::optional<base::Value> JSONFragmentValue(std::optional<std::string_view> text)
{
    return sharedParser().fragmentWithString(text);
}

std::optional<std::string> JSONRepresentation(const base::Value& value)
{
    return sharedWriter().stringWithObject(value);
}

std::optional<std::string> JSONFragment(const base::Value& value)
{
    return sharedWriter().stringWithFragment(value);
}
