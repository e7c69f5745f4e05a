#include "Platform/Net/URL.h"

#include <cctype>

namespace net {

namespace {

bool isAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isHex(char c)
{
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int hexValue(char c)
{
    if (isDigit(c))
        return c - '0';
    return (c | 0x20) - 'a' + 10;
}

bool isUnreserved(char c)
{
    return isAlpha(c) || isDigit(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

// Anything a URI may hold outside percent escapes. Brackets are let through everywhere
// because real query strings carry them.
bool isUriChar(char c)
{
    static constexpr std::string_view delims = ":/?#[]@!$&'()*+,;=";
    return isUnreserved(c) || delims.find(c) != std::string_view::npos;
}

bool validEscapes(std::string_view text)
{
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '%') {
            if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2]))
                return false;
            i += 2;
        } else if (!isUriChar(c)) {
            return false;
        }
    }
    return true;
}

std::string lower(std::string_view s)
{
    std::string out(s);
    for (auto& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

// A reference split by the generic syntax; unset parts are absent, not empty.
struct Reference {
    std::optional<std::string> scheme;
    std::optional<std::string> authority;
    std::string path;
    std::optional<std::string> query;
    std::optional<std::string> fragment;
};

std::optional<Reference> split(std::string_view text)
{
    if (!validEscapes(text))
        return std::nullopt;
    Reference ref;
    size_t schemeEnd = text.find_first_of(":/?#");
    if (schemeEnd != std::string_view::npos && schemeEnd > 0 && text[schemeEnd] == ':') {
        std::string_view scheme = text.substr(0, schemeEnd);
        bool valid = isAlpha(scheme[0]);
        for (char c : scheme)
            valid = valid && (isAlpha(c) || isDigit(c) || c == '+' || c == '-' || c == '.');
        if (!valid)
            return std::nullopt;
        ref.scheme = lower(scheme);
        text.remove_prefix(schemeEnd + 1);
    }
    if (text.starts_with("//")) {
        text.remove_prefix(2);
        size_t end = text.find_first_of("/?#");
        ref.authority = std::string(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end);
    }
    size_t hash = text.find('#');
    if (hash != std::string_view::npos) {
        ref.fragment = std::string(text.substr(hash + 1));
        text = text.substr(0, hash);
    }
    size_t question = text.find('?');
    if (question != std::string_view::npos) {
        ref.query = std::string(text.substr(question + 1));
        text = text.substr(0, question);
    }
    ref.path = std::string(text);
    return ref;
}

std::string removeDotSegments(std::string_view input)
{
    std::string output;
    while (!input.empty()) {
        if (input.starts_with("../")) {
            input.remove_prefix(3);
        } else if (input.starts_with("./")) {
            input.remove_prefix(2);
        } else if (input.starts_with("/./")) {
            input.remove_prefix(2);
        } else if (input == "/.") {
            input = "/";
        } else if (input.starts_with("/../") || input == "/..") {
            input = input.size() == 3 ? std::string_view("/") : input.substr(3);
            size_t slash = output.rfind('/');
            output.erase(slash == std::string::npos ? 0 : slash);
        } else if (input == "." || input == "..") {
            input = {};
        } else {
            size_t next = input.find('/', input[0] == '/' ? 1 : 0);
            if (next == std::string_view::npos)
                next = input.size();
            output.append(input.substr(0, next));
            input.remove_prefix(next);
        }
    }
    return output;
}

} // namespace

std::optional<URL> URL::parse(std::string_view text)
{
    auto ref = split(text);
    if (!ref || !ref->scheme)
        return std::nullopt;
    URL url;
    url.m_scheme = *ref->scheme;
    if (ref->authority) {
        url.m_hasAuthority = true;
        std::string_view authority = *ref->authority;
        size_t at = authority.rfind('@');
        if (at != std::string_view::npos) {
            url.m_userInfo = std::string(authority.substr(0, at));
            authority.remove_prefix(at + 1);
        }
        std::string_view portText;
        if (authority.starts_with("[")) {
            size_t close = authority.find(']');
            if (close == std::string_view::npos)
                return std::nullopt;
            url.m_host = lower(authority.substr(1, close - 1));
            url.m_ipv6 = true;
            authority.remove_prefix(close + 1);
            if (!authority.empty()) {
                if (authority[0] != ':')
                    return std::nullopt;
                portText = authority.substr(1);
            }
        } else {
            size_t colon = authority.find(':');
            url.m_host = lower(authority.substr(0, colon));
            if (colon != std::string_view::npos)
                portText = authority.substr(colon + 1);
            if (url.m_host.find_first_of("[]") != std::string::npos)
                return std::nullopt;
        }
        if (!portText.empty()) {
            if (portText.size() > 5)
                return std::nullopt;
            int port = 0;
            for (char c : portText) {
                if (!isDigit(c))
                    return std::nullopt;
                port = port * 10 + (c - '0');
            }
            if (port > 65535)
                return std::nullopt;
            url.m_port = port;
        }
    }
    url.m_path = std::move(ref->path);
    url.m_query = std::move(ref->query);
    url.m_fragment = std::move(ref->fragment);
    return url;
}

std::optional<URL> URL::parse(std::string_view reference, const URL& base)
{
    auto ref = split(reference);
    if (!ref)
        return std::nullopt;
    if (ref->scheme)
        return parse(reference);

    // Target built as text, then parsed: one path validates every result.
    std::string authority;
    bool hasAuthority;
    std::string path;
    std::optional<std::string> query;
    if (ref->authority) {
        hasAuthority = true;
        authority = *ref->authority;
        path = removeDotSegments(ref->path);
        query = ref->query;
    } else {
        hasAuthority = base.m_hasAuthority;
        authority = base.authority();
        if (ref->path.empty()) {
            path = base.m_path;
            query = ref->query ? ref->query : base.m_query;
        } else {
            if (ref->path.starts_with("/")) {
                path = removeDotSegments(ref->path);
            } else {
                std::string merged;
                if (base.m_hasAuthority && base.m_path.empty()) {
                    merged = "/" + ref->path;
                } else {
                    size_t slash = base.m_path.rfind('/');
                    merged = (slash == std::string::npos ? std::string() : base.m_path.substr(0, slash + 1)) + ref->path;
                }
                path = removeDotSegments(merged);
            }
            query = ref->query;
        }
    }
    std::string text = base.m_scheme + ":";
    if (hasAuthority)
        text += "//" + authority;
    text += path;
    if (query)
        text += "?" + *query;
    if (ref->fragment)
        text += "#" + *ref->fragment;
    return parse(text);
}

std::optional<std::string> URL::user() const
{
    if (!m_userInfo)
        return std::nullopt;
    return percentDecode(std::string_view(*m_userInfo).substr(0, m_userInfo->find(':')));
}

std::optional<std::string> URL::password() const
{
    if (!m_userInfo)
        return std::nullopt;
    size_t colon = m_userInfo->find(':');
    if (colon == std::string::npos)
        return std::nullopt;
    return percentDecode(std::string_view(*m_userInfo).substr(colon + 1));
}

int URL::defaultPort(std::string_view scheme)
{
    if (scheme == "http")
        return 80;
    if (scheme == "https")
        return 443;
    return -1;
}

int URL::effectivePort() const
{
    return m_port ? *m_port : defaultPort(m_scheme);
}

std::string URL::hostAndPort() const
{
    std::string out = m_ipv6 ? "[" + m_host + "]" : m_host;
    if (m_port && *m_port != defaultPort(m_scheme))
        out += ":" + std::to_string(*m_port);
    return out;
}

std::string URL::authority() const
{
    std::string out;
    if (m_userInfo)
        out += *m_userInfo + "@";
    out += m_ipv6 ? "[" + m_host + "]" : m_host;
    if (m_port)
        out += ":" + std::to_string(*m_port);
    return out;
}

std::string URL::string() const
{
    std::string out = m_scheme + ":";
    if (m_hasAuthority)
        out += "//" + authority();
    out += m_path;
    if (m_query)
        out += "?" + *m_query;
    if (m_fragment)
        out += "#" + *m_fragment;
    return out;
}

std::string URL::requestTarget() const
{
    std::string out = m_path.empty() ? "/" : m_path;
    if (m_query)
        out += "?" + *m_query;
    return out;
}

URL URL::withoutUserInfo() const
{
    URL copy = *this;
    copy.m_userInfo.reset();
    return copy;
}

URL URL::withoutFragment() const
{
    URL copy = *this;
    copy.m_fragment.reset();
    return copy;
}

std::string percentEncode(std::string_view text, std::string_view keep)
{
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (isUnreserved(c) || keep.find(c) != std::string_view::npos) {
            out += c;
        } else {
            auto b = static_cast<unsigned char>(c);
            out += '%';
            out += digits[b >> 4];
            out += digits[b & 15];
        }
    }
    return out;
}

std::optional<std::string> percentDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2]))
            return std::nullopt;
        out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
        i += 2;
    }
    return out;
}

} // namespace net
