#pragma once
#include "Platform/Base/Value.h"

#include <optional>
#include <string>

// Builds the body of one command: {"root":{"parameters":{...}}} with texts as values.
class RequestBody {
public:
    RequestBody() = default;
    explicit RequestBody(std::optional<std::string> head) : m_strHead(std::move(head)) {}

    const std::optional<std::string>& strHead() const { return m_strHead; }
    const base::Dictionary& parameters() const { return m_parameters; }

    // Sets the parameter (a later value replaces an earlier one); an absent value or key
    // sets nothing and answers NO, so that parameter is not sent.
    bool addElemValueForKey(const std::optional<std::string>& value, const std::optional<std::string>& key);

    // The envelope without "jsessionId" (the session never travels in the body); absent
    // when the writer refuses the parameters.
    std::optional<std::string> requestStr() const;

private:
    std::optional<std::string> m_strHead;
    base::Dictionary m_parameters;
};
