#include "Platform/Net/HttpHeaders.h"

namespace net {

namespace {

bool isTokenChar(unsigned char c)
{
    if (c >= '0' && c <= '9')
        return true;
    if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z')
        return true;
    switch (c) {
    case '!': case '#': case '$': case '%': case '&': case '\'': case '*': case '+':
    case '-': case '.': case '^': case '_': case '`': case '|': case '~':
        return true;
    default:
        return false;
    }
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }

} // namespace

bool HttpHeaders::isValidName(std::string_view name)
{
    if (name.empty())
        return false;
    for (unsigned char c : name)
        if (!isTokenChar(c))
            return false;
    return true;
}

bool HttpHeaders::isValidValue(std::string_view value)
{
    for (char c : value)
        if (c == '\r' || c == '\n' || c == '\0')
            return false;
    return true;
}

bool HttpHeaders::equalsIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

bool HttpHeaders::set(std::string_view name, std::string_view value)
{
    if (!isValidName(name) || !isValidValue(value))
        return false;
    remove(name);
    m_fields.emplace_back(std::string(name), std::string(value));
    return true;
}

bool HttpHeaders::add(std::string_view name, std::string_view value)
{
    if (!isValidName(name) || !isValidValue(value))
        return false;
    m_fields.emplace_back(std::string(name), std::string(value));
    return true;
}

void HttpHeaders::remove(std::string_view name)
{
    std::erase_if(m_fields, [&](const Field& f) { return equalsIgnoringCase(f.first, name); });
}

bool HttpHeaders::has(std::string_view name) const
{
    for (const auto& f : m_fields)
        if (equalsIgnoringCase(f.first, name))
            return true;
    return false;
}

std::optional<std::string> HttpHeaders::first(std::string_view name) const
{
    for (const auto& f : m_fields)
        if (equalsIgnoringCase(f.first, name))
            return f.second;
    return std::nullopt;
}

std::vector<std::string> HttpHeaders::all(std::string_view name) const
{
    std::vector<std::string> out;
    for (const auto& f : m_fields)
        if (equalsIgnoringCase(f.first, name))
            out.push_back(f.second);
    return out;
}

std::optional<std::string> HttpHeaders::combined(std::string_view name) const
{
    std::optional<std::string> out;
    for (const auto& f : m_fields) {
        if (!equalsIgnoringCase(f.first, name))
            continue;
        if (out)
            *out += ", " + f.second;
        else
            out = f.second;
    }
    return out;
}

} // namespace net
