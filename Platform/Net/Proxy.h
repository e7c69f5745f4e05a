#pragma once
#include "Platform/Net/URL.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace net {

struct Proxy {
    enum class Type { Direct, Http, Socks5 };

    Type type = Type::Direct;
    std::string host;
    int port = 0;

    bool operator==(const Proxy& o) const { return type == o.type && host == o.host && port == o.port; }
    // "DIRECT", "PROXY host:port", "SOCKS5 host:port"
    std::string description() const;
};

// The system's proxy settings: the environment's http_proxy, https_proxy, all_proxy and
// no_proxy (upper-case forms too, except HTTP_PROXY, which CGI servers let a client set).
class SystemProxySettings {
public:
    using Environment = std::function<std::optional<std::string>(const std::string&)>;

    static SystemProxySettings fromEnvironment();
    static SystemProxySettings fromEnvironment(const Environment& getenv);

    // The proxy for a URL: Direct when none applies or no_proxy excludes the host.
    Proxy proxyFor(const URL& url) const;

    // A proxy setting's value: "host:port", "http://host:port/", "socks5://host:port", ...
    // Nothing when it names no usable proxy. Without a port, 1080.
    static std::optional<Proxy> parseProxyValue(const std::string& value);
    // no_proxy rules: "*", host names (matching the name and its subdomains, a leading "." or
    // "*." allowed), IP addresses, each with an optional ":port".
    static bool bypasses(const std::string& noProxy, const URL& url);

private:
    std::optional<Proxy> m_http, m_https, m_all;
    std::string m_noProxy;
};

namespace socks5 {
// The client's greeting: version 5, one method, "no authentication".
std::string greeting();
// The CONNECT request for a host (name or address) and port.
std::string connectRequest(const std::string& host, int port);
// Length of the server's reply to the CONNECT request once its first 5 bytes are known.
size_t replyLength(const uint8_t* first5);
// Text for a reply code.
std::string replyText(int code);
} // namespace socks5

} // namespace net
