#pragma once
#include "Platform/Net/Proxy.h"
#include "Platform/Net/URL.h"

#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace net {

// A proxy auto-configuration script: its FindProxyForURL(url, host) is run in a fresh
// JavaScript heap with the customary helper functions (host and domain tests, DNS look-ups,
// address masks, shell patterns, weekday, date and time ranges).
class PacScript {
public:
    // What the helpers ask of the machine; tests give fixed answers.
    struct Environment {
        // A host name's IPv4 address as text; nothing when it does not resolve.
        std::function<std::optional<std::string>(const std::string&)> resolve;
        // This machine's IPv4 address as text.
        std::function<std::string()> myAddress;
        std::function<std::time_t()> now;

        // Blocking look-ups, the first non-loopback IPv4 interface, the system clock.
        static Environment system();
    };

    explicit PacScript(std::string source, Environment environment = Environment::system());

    // The script's answer for a URL and its host; nothing when the script does not compile,
    // throws, or answers anything but a string. `error` then says why.
    std::optional<std::string> findProxyForURL(const std::string& url, const std::string& host,
                                               std::string* error = nullptr) const;
    // The proxies the script names for `url`, in its order; nothing when the script fails.
    // The URL's user, password and fragment are not shown to the script.
    std::optional<std::vector<Proxy>> proxiesFor(const URL& url, std::string* error = nullptr) const;

    // "PROXY h:p; SOCKS h:p; DIRECT" (keywords in any case; "HTTP" and "SOCKS5" too): the
    // entries this layer can use, in order. Without a port: 80 for HTTP, 1080 for SOCKS.
    static std::vector<Proxy> parseAnswer(std::string_view answer);
    // Script bytes as text: UTF-8 when they are valid UTF-8, else ISO Latin-1.
    static std::string decode(std::string_view bytes);

private:
    std::string m_source;
    Environment m_environment;
};

} // namespace net
