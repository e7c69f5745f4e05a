#pragma once
#include "Network/BRJsonBase.h"
#include "Network/BRJsonParser.h"
#include "Network/BRJsonWriter.h"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

// A parser and a writer behind one object; on failure its own trace is a copy of the failing
// component's.
class BRJSON : public BRJsonBase {
public:
    BRJSON();

    std::optional<std::string> stringWithObject(const base::Value& value);
    std::optional<base::Value> objectWithString(std::optional<std::string_view> text);

    // allowScalar picks the fragment operation; error, when given, receives the last error.
    std::optional<std::string> stringWithObjectAllowScalarError(const base::Value& value, bool allowScalar,
                                                                base::ErrorPtr* error);
    std::optional<base::Value> objectWithStringAllowScalarError(std::optional<std::string_view> text,
                                                                bool allowScalar, base::ErrorPtr* error);
    std::optional<std::string> stringWithFragmentError(const base::Value& value, base::ErrorPtr* error);
    std::optional<std::string> stringWithObjectError(const base::Value& value, base::ErrorPtr* error);
    std::optional<base::Value> fragmentWithStringError(std::optional<std::string_view> text, base::ErrorPtr* error);
    std::optional<base::Value> objectWithStringError(std::optional<std::string_view> text, base::ErrorPtr* error);

    bool humanReadable() const { return m_jsonWriter->humanReadable(); }
    void setHumanReadable(bool humanReadable) { m_jsonWriter->setHumanReadable(humanReadable); }
    bool sortKeys() const { return m_jsonWriter->sortKeys(); }
    void setSortKeys(bool sortKeys) { m_jsonWriter->setSortKeys(sortKeys); }

    uint32_t maxDepth() const override { return m_jsonParser->maxDepth(); }
    void setMaxDepth(uint32_t maxDepth) override;

private:
    void takeErrorTrace(const BRJsonBase& component, base::ErrorPtr* error);

    std::unique_ptr<BRJsonParser> m_jsonParser;
    std::unique_ptr<BRJsonWriter> m_jsonWriter;
};

// Conveniences over one parser and one writer per thread (the application uses them on the
// main thread only). Errors stay in those instances' traces.
std::optional<base::Value> JSONValue(std::optional<std::string_view> text);         // object or array
std::optional<base::Value> JSONFragmentValue(std::optional<std::string_view> text); // any value
std::optional<std::string> JSONRepresentation(const base::Value& value);            // object or array
std::optional<std::string> JSONFragment(const base::Value& value);                  // any value
