#pragma once
#include "Network/BRJsonBase.h"
#include "Platform/Base/Value.h"

#include <optional>
#include <string>

// Turns a value tree into JSON text: compact by default, members in the dictionary's order
// unless sortKeys is set. One instance serves one thread at a time.
class BRJsonWriter : public BRJsonBase {
public:
    // Only a dictionary or an array (code 4 otherwise); nullopt on error.
    std::optional<std::string> stringWithObject(const base::Value& value);
    // Any value JSON can hold; nullopt on error.
    std::optional<std::string> stringWithFragment(const base::Value& value);

    bool humanReadable() const { return m_humanReadable; }
    void setHumanReadable(bool humanReadable) { m_humanReadable = humanReadable; }
    bool sortKeys() const { return m_sortKeys; }
    void setSortKeys(bool sortKeys) { m_sortKeys = sortKeys; }

private:
    struct Frame;

    bool appendValue(const base::Value& root, std::string& out);
    bool appendScalar(const base::Value& value, std::string& out);
    void appendIndent(std::string& out) const;

    bool m_sortKeys = false;
    bool m_humanReadable = false;
};
