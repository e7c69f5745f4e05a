#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace net {

// Header fields in arrival (or insertion) order; names match without regard to ASCII case.
class HttpHeaders {
public:
    using Field = std::pair<std::string, std::string>;

    // A name must be a token; a value may hold no CR, LF or NUL. Refused fields change nothing.
    static bool isValidName(std::string_view name);
    static bool isValidValue(std::string_view value);

    // Replaces every field of that name with one; false when refused.
    bool set(std::string_view name, std::string_view value);
    // Adds one more field of that name; false when refused.
    bool add(std::string_view name, std::string_view value);
    void remove(std::string_view name);

    bool has(std::string_view name) const;
    std::optional<std::string> first(std::string_view name) const;
    std::vector<std::string> all(std::string_view name) const;
    // Every value of the name joined by ", " (not meaningful for Set-Cookie: use all()).
    std::optional<std::string> combined(std::string_view name) const;

    const std::vector<Field>& fields() const { return m_fields; }
    size_t size() const { return m_fields.size(); }
    bool empty() const { return m_fields.empty(); }

    static bool equalsIgnoringCase(std::string_view a, std::string_view b);

private:
    std::vector<Field> m_fields;
};

} // namespace net
