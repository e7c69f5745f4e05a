#include "Platform/Net/Proxy.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdlib>

namespace net {

namespace {

std::string lower(std::string s)
{
    for (auto& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c + 32);
    return s;
}

std::string trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t");
    if (b == std::string::npos)
        return "";
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

} // namespace

std::string Proxy::description() const
{
    switch (type) {
    case Type::Direct: return "DIRECT";
    case Type::Http: return "PROXY " + host + ":" + std::to_string(port);
    case Type::Socks5: return "SOCKS5 " + host + ":" + std::to_string(port);
    }
    return "DIRECT";
}

std::optional<Proxy> SystemProxySettings::parseProxyValue(const std::string& raw)
{
    std::string value = trim(raw);
    if (value.empty())
        return std::nullopt;
    if (value.find("://") == std::string::npos)
        value = "http://" + value;
    auto url = URL::parse(value);
    if (!url || url->host().empty())
        return std::nullopt;
    Proxy p;
    p.host = url->host();
    const std::string& scheme = url->scheme();
    if (scheme == "http") {
        p.type = Proxy::Type::Http;
        p.port = url->port().value_or(1080);
    } else if (scheme == "socks5" || scheme == "socks5h" || scheme == "socks") {
        p.type = Proxy::Type::Socks5;
        p.port = url->port().value_or(1080);
    } else {
        // https:// proxies and SOCKS4 are not offered.
        return std::nullopt;
    }
    if (p.port <= 0 || p.port > 65535)
        return std::nullopt;
    return p;
}

SystemProxySettings SystemProxySettings::fromEnvironment()
{
    return fromEnvironment([](const std::string& name) -> std::optional<std::string> {
        if (const char* v = std::getenv(name.c_str()))
            return std::string(v);
        return std::nullopt;
    });
}

SystemProxySettings SystemProxySettings::fromEnvironment(const Environment& getenv)
{
    auto either = [&](const std::string& name, bool upperToo) -> std::optional<std::string> {
        if (auto v = getenv(name); v && !v->empty())
            return v;
        std::string upper = name;
        for (auto& c : upper)
            c = char(std::toupper(static_cast<unsigned char>(c)));
        if (upperToo)
            if (auto v = getenv(upper); v && !v->empty())
                return v;
        return std::nullopt;
    };
    SystemProxySettings s;
    if (auto v = either("http_proxy", false))
        s.m_http = parseProxyValue(*v);
    if (auto v = either("https_proxy", true))
        s.m_https = parseProxyValue(*v);
    if (auto v = either("all_proxy", true))
        s.m_all = parseProxyValue(*v);
    if (auto v = either("no_proxy", true))
        s.m_noProxy = *v;
    return s;
}

bool SystemProxySettings::bypasses(const std::string& noProxy, const URL& url)
{
    std::string host = lower(url.host());
    int port = url.effectivePort();
    size_t pos = 0;
    while (pos <= noProxy.size()) {
        size_t comma = noProxy.find_first_of(", ", pos);
        std::string rule = lower(trim(noProxy.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos)));
        pos = comma == std::string::npos ? noProxy.size() + 1 : comma + 1;
        if (rule.empty())
            continue;
        if (rule == "*")
            return true;
        // An optional ":port" (not inside a bare IPv6 literal).
        int rulePort = -1;
        size_t colon = rule.rfind(':');
        if (colon != std::string::npos && rule.find(':') == colon) {
            rulePort = std::atoi(rule.c_str() + colon + 1);
            rule.erase(colon);
        }
        if (rule.size() > 1 && rule.front() == '[' && rule.back() == ']')
            rule = rule.substr(1, rule.size() - 2);
        if (rulePort >= 0 && rulePort != port)
            continue;
        if (rule.starts_with("*."))
            rule.erase(0, 1);
        if (rule.front() == '.') {
            if (host.ends_with(rule) || host == rule.substr(1))
                return true;
            continue;
        }
        if (host == rule || (host.size() > rule.size() && host.ends_with("." + rule)))
            return true;
    }
    return false;
}

Proxy SystemProxySettings::proxyFor(const URL& url) const
{
    if (!m_noProxy.empty() && bypasses(m_noProxy, url))
        return {};
    const std::optional<Proxy>* choice = nullptr;
    if (url.scheme() == "http" && m_http)
        choice = &m_http;
    else if (url.scheme() == "https" && m_https)
        choice = &m_https;
    else if (m_all)
        choice = &m_all;
    return choice ? **choice : Proxy{};
}

namespace socks5 {

std::string greeting() { return std::string("\x05\x01\x00", 3); }

std::string connectRequest(const std::string& host, int port)
{
    std::string out("\x05\x01\x00", 3);
    unsigned char addr[16];
    if (::inet_pton(AF_INET, host.c_str(), addr) == 1) {
        out += '\x01';
        out.append(reinterpret_cast<char*>(addr), 4);
    } else if (::inet_pton(AF_INET6, host.c_str(), addr) == 1) {
        out += '\x04';
        out.append(reinterpret_cast<char*>(addr), 16);
    } else {
        // The proxy resolves names itself; a name is at most 255 bytes.
        out += '\x03';
        out += char(std::min<size_t>(host.size(), 255));
        out += host.substr(0, 255);
    }
    out += char((port >> 8) & 0xff);
    out += char(port & 0xff);
    return out;
}

size_t replyLength(const uint8_t* first5)
{
    switch (first5[3]) {
    case 1: return 4 + 4 + 2;
    case 4: return 4 + 16 + 2;
    case 3: return 4 + 1 + first5[4] + 2;
    default: return 0;
    }
}

std::string replyText(int code)
{
    switch (code) {
    case 1: return "general SOCKS server failure";
    case 2: return "connection not allowed by ruleset";
    case 3: return "network unreachable";
    case 4: return "host unreachable";
    case 5: return "connection refused";
    case 6: return "TTL expired";
    case 7: return "command not supported";
    case 8: return "address type not supported";
    default: return "SOCKS reply " + std::to_string(code);
    }
}

} // namespace socks5

} // namespace net
